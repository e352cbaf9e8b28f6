#include "ShaderTranslation.h"

#include <cstdio>
#include <string>

namespace ostrevin::d3d9 {

GlslOptions ShaderOptions(bool clipControl, bool es) {
  GlslOptions options;
  options.remapDepth = !clipControl;
  options.es300 = es;
  return options;
}

HRESULT TranslateShaderCode(ShaderStage stage, const DWORD* pFunction, const GlslOptions& options, GlslShader* out) {
  ShaderCode code;
  if (pFunction == nullptr || !DecodeShaderCode(pFunction, 0, &code) || code.stage != stage)
    return D3DERR_INVALIDCALL;
  GlslShader glsl;
  std::string error;
  if (!TranslateShaderToGlsl(code, options, &glsl, &error)) {
    std::fprintf(stderr, "ostrevin: shader translation failed: %s\n", error.c_str());
    return D3DERR_INVALIDCALL;
  }
  // No vertex texture fetch: the vertex samplers (D3DVERTEXTEXTURESAMPLER0-3)
  // are not offered, so a vertex shader that samples is refused.
  if (stage == ShaderStage::Vertex && !glsl.samplers.empty()) return D3DERR_INVALIDCALL;
  *out = std::move(glsl);
  return D3D_OK;
}

}  // namespace ostrevin::d3d9
