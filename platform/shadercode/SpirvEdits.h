// Edits of glslang's SPIR-V made before SPIRV-Cross reads it, where the
// meaning of the module has to change (not only names and decorations).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

namespace ostrevin {

// HLSL's ldexp(x, e) is x * 2^e for any float e, but glslang passes it on
// as GLSL.std.450 Ldexp, whose exponent is an integer: SPIRV-Cross would
// truncate e. Each Ldexp becomes Exp2 and a multiplication.
std::vector<uint32_t> ExpandLdexp(const std::vector<uint32_t>& in);

// The Input or Output variables `ids` made Private (plain globals), with
// the pointers into them, and taken off the entry point's interface: the
// translator declares the interface variable they stand for itself and
// copies between the two at the start or end of main.
std::vector<uint32_t> MakePrivate(std::vector<uint32_t> words, const std::set<uint32_t>& ids);

}  // namespace ostrevin
