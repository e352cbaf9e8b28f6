// The resources a program links into its executable, as its resource
// script does on Windows: LoadIconW finds the program's icons here. The
// program's build provides the table; an executable without one (a test, a
// benchmark) has no icons.
#pragma once

#include <stdint.h>

namespace ostrevin::win32 {

struct IconResource {
  int id;                // the resource id, as MAKEINTRESOURCE passes it
  int size;              // width and height in pixels
  const uint8_t* rgba;   // size * size pixels, rows top to bottom, straight alpha
};

// Ends with an entry whose id is 0; LoadIconW reads at most eight icons.
extern const IconResource kProgramIcons[];

}  // namespace ostrevin::win32
