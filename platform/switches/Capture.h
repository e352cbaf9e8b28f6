// OSTREVIN_CAPTURE: the back buffer read back from GL and written as a PNG
// (8-bit RGB, top row first).
#pragma once

#include <cstdint>
#include <string>

#include "Switches.h"

namespace ostrevin::switches {

// Reads `backBuffer` (its context current) and writes DIR/frame-NNNNN.png;
// a failure is reported on standard error.
void CaptureFrame(const BackBufferView& backBuffer, const std::string& dir, unsigned frame);

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgbTopRowFirst);

}  // namespace ostrevin::switches
