// Initialisers' values placed in the registers of their constants.
#include "shader/DefaultValues.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace ostrevin {
namespace {

// The 32-bit word a register of the constant's set holds for value x of
// the constant's type.
uint32_t Word(const ShaderConstant& c, double x) {
  if (c.parameterType == D3DXPT_INT) x = std::isfinite(x) ? std::trunc(x) : 0.0;
  if (c.parameterType == D3DXPT_BOOL) x = x != 0.0 ? 1.0 : 0.0;
  if (c.registerSet == D3DXRS_FLOAT4) {
    float f;
    if (std::isnan(x)) {
      f = std::numeric_limits<float>::quiet_NaN();
    } else if (std::fabs(x) > FLT_MAX) {
      f = x > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    } else {
      f = static_cast<float>(x);
    }
    uint32_t w;
    std::memcpy(&w, &f, sizeof w);
    return w;
  }
  if (c.registerSet == D3DXRS_BOOL) return x != 0.0 ? 1u : 0u;
  // INT4: clamped to the int range.
  if (!(x > -2147483648.0)) return 0x80000000u;
  if (x > 2147483647.0) return 0x7FFFFFFFu;
  return static_cast<uint32_t>(static_cast<int32_t>(x));
}

}  // namespace

void AttachDefaultValues(const std::map<std::string, std::vector<double>>& initialisers,
                         std::vector<ShaderConstant>* constants) {
  for (ShaderConstant& c : *constants) {
    const auto it = initialisers.find(c.name);
    if (it == initialisers.end() || c.registerSet == D3DXRS_SAMPLER || c.parameterClass == D3DXPC_STRUCT) continue;
    const std::vector<double>& values = it->second;
    const uint64_t perElement = uint64_t(c.rows) * c.columns;
    const uint64_t total = perElement * c.elements;
    if (values.size() != total && !(values.size() == 1 && c.elements == 1)) continue;
    const uint32_t wordsPerRegister = c.registerSet == D3DXRS_BOOL ? 1 : 4;
    std::vector<uint32_t> words(uint64_t(c.registerCount) * wordsPerRegister, Word(c, 0.0));
    for (uint64_t k = 0; k < total; ++k) {
      uint64_t reg, comp;
      PlaceValue(c, k, &reg, &comp);
      if (reg >= c.registerCount) continue;
      words[reg * wordsPerRegister + comp] = Word(c, values.size() == 1 ? values[0] : values[k]);
    }
    c.defaultValue = std::move(words);
  }
}

}  // namespace ostrevin
