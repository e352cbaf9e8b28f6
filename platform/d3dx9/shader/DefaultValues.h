// The initial values of a compiled shader's constants, laid out in their
// registers as D3DX keeps them (D3DXCONSTANT_DESC::DefaultValue).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ShaderCode.h"

namespace ostrevin {

// Which register and component value `k` of a constant's data (HLSL
// element-major, row-major order) lands in: a column_major matrix keeps a
// column per register, a row_major one a row; a bool register holds one
// value. The setters of ID3DXConstantTable and the default values share it.
inline void PlaceValue(const ShaderConstant& c, uint64_t k, uint64_t* reg, uint64_t* comp) {
  if (c.registerSet == D3DXRS_BOOL) {
    *reg = k;
    *comp = 0;
    return;
  }
  const uint64_t perElement = uint64_t(c.rows) * c.columns;
  const uint64_t element = k / perElement;
  const uint64_t row = (k % perElement) / c.columns;
  const uint64_t col = k % c.columns;
  if (c.parameterClass == D3DXPC_MATRIX_COLUMNS) {
    *reg = element * c.columns + col;
    *comp = row;
  } else if (c.parameterClass == D3DXPC_MATRIX_ROWS) {
    *reg = element * c.rows + row;
    *comp = col;
  } else {
    *reg = element;
    *comp = col;
  }
}

// Gives each constant of `constants` whose name `initialisers` holds (see
// ScanInitialisers) its default value. The values fill the constant's
// registers as SetFloatArray would write them, unused components 0: a
// float3 is {x, y, z, 0}, a column_major matrix one column per register.
// One value broadcasts over a vector or matrix (`float4 v = 0;`); a value
// list of any other length gives no default.
void AttachDefaultValues(const std::map<std::string, std::vector<double>>& initialisers,
                         std::vector<ShaderConstant>* constants);

}  // namespace ostrevin
