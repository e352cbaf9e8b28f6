// The identity of this build of the program, which names the shader cache's
// folder: a change of the program, the layer or the compiler libraries
// linked into it gives another. Empty where the build carries none; the
// cache is then off.
#pragma once

#include <string>

namespace ostrevin {

std::string ProgramBuildId();

}  // namespace ostrevin
