// The initial values of a compiled shader's constants, laid out in their
// registers as D3DX keeps them (D3DXCONSTANT_DESC::DefaultValue).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ShaderCode.h"

namespace ostrevin {

// Gives each constant of `constants` whose name `initialisers` holds (see
// ScanInitialisers) its default value. The values fill the constant's
// registers as SetFloatArray would write them, unused components 0: a
// float3 is {x, y, z, 0}, a column_major matrix one column per register.
// One value broadcasts over a vector or matrix (`float4 v = 0;`); a value
// list of any other length gives no default.
void AttachDefaultValues(const std::map<std::string, std::vector<double>>& initialisers,
                         std::vector<ShaderConstant>* constants);

}  // namespace ostrevin
