// The switches as parsed from the environment, for this room's own files:
// the production paths ask the hooks of Switches.h instead.
#pragma once

#include <string>
#include <vector>

namespace ostrevin::switches {

// OSTREVIN_KEYS=UP:10-20,LEFT:15-30: a virtual key held down in frames FIRST to LAST.
struct ScriptedKey {
  int vk;
  unsigned first, last;
};

struct Switches {
  unsigned exitAfter = 0;                // OSTREVIN_EXIT_AFTER
  std::string captureDir;                // OSTREVIN_CAPTURE
  std::vector<unsigned> captureFrames;   // OSTREVIN_CAPTURE_FRAMES
  std::vector<unsigned> presentFail;     // OSTREVIN_PRESENT_FAIL
  int vsync = -1;                        // OSTREVIN_VSYNC: -1 = as the present parameters say
  bool stats = false;                    // OSTREVIN_STATS
  std::vector<ScriptedKey> keys;         // OSTREVIN_KEYS
  bool nativeMessageBox = true;          // OSTREVIN_MESSAGEBOX=0 turns the native box off
  bool shaderCache = true;               // OSTREVIN_SHADER_CACHE=0 turns the compiled-shader cache off
};

// Parsed on first use; a malformed entry is reported on standard error and skipped.
const Switches& Get();

}  // namespace ostrevin::switches
