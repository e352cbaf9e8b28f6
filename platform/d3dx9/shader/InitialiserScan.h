// The initial values of globals, read from the source model: glslang drops
// these initialisers from the SPIR-V.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "shader/SourceModel.h"

namespace ostrevin {

// The initial value of each global constant declared with one (`float4
// tint = {1, 2, 3, 4};`, not `static`), the values in declaration order
// (element by element, a matrix row by row; bools as 0 and 1). Literals,
// braced lists, constructors (`float4(1, 2, 3, 4)`), casts, + - * / %, the
// math intrinsics (`normalize`, `sin`, `pow`, `lerp`...) and names of
// globals initialised before are evaluated; a global whose initialiser
// holds anything else (a user function, a swizzle, a comparison) is left out.
std::map<std::string, std::vector<double>> ScanInitialisers(const SourceModel& model);

}  // namespace ostrevin
