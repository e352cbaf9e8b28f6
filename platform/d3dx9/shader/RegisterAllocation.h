// The constant table of a compiled shader: its constants, read from the
// SPIR-V's global block and samplers, placed in D3D9 registers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/SourceModel.h"

namespace ostrevin {

// Only the constants the code reads are kept. A float constant gets its own
// range of FLOAT4 registers (float/floatN: 1 per element; matrices: one
// register per column for column_major, one per row for row_major); a struct
// one range holding its members one after another; samplers one SAMPLER
// index per element. Where the profile has static flow control
// (`flowControlRegisters`), a bool read only to decide branches gets BOOL
// registers (one per component) and an int read only as a loop count INT4
// registers (one per element); other bools and ints are read as floats.
// Annotated constants take their register (register(bN)/register(iN) also
// choose the set); the rest fill the lowest free registers in declaration
// order. False with a message when a constant has no D3D9 form or the
// registers do not fit.
bool BuildConstants(const std::vector<uint32_t>& spirv, ShaderStage stage, bool flowControlRegisters,
                    const std::map<std::string, ExplicitRegister>& explicitRegs, std::vector<ShaderConstant>* out,
                    std::string* error);

}  // namespace ostrevin
