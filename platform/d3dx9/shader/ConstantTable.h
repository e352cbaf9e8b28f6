// ID3DXConstantTable: the description of a shader's constants, and the
// setters that write their values into the device's registers.
#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <vector>

#include "ShaderCode.h"

namespace ostrevin {

HRESULT MakeConstantTable(ShaderStage stage, uint32_t major, uint32_t minor, std::vector<ShaderConstant>&& constants,
                          ID3DXConstantTable** pp);

}  // namespace ostrevin
