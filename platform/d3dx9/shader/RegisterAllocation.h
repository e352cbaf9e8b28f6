// The constant table of a compiled shader: its constants, read from the
// SPIR-V's global block and samplers, placed in D3D9 registers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/SourceScan.h"

namespace ostrevin {

// Only the constants the code reads are kept. Every global float constant gets its own range of FLOAT4 registers
// (float/floatN: 1 per element; matrices: one register per column for
// column_major, one per row for row_major), samplers one SAMPLER index per
// element. Annotated constants take their register; the rest fill the
// lowest free registers in declaration order. False with a message when a
// constant has no D3D9 form or the registers do not fit.
bool BuildConstants(const std::vector<uint32_t>& spirv, ShaderStage stage,
                    const std::map<std::string, ExplicitRegister>& explicitRegs, std::vector<ShaderConstant>* out,
                    std::string* error);

}  // namespace ostrevin
