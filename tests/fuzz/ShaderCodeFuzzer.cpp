// libFuzzer target: shader code as a program hands it to the layer, i.e. to
// IDirect3DDevice9::CreateVertexShader / CreatePixelShader (checked,
// decoded and translated to GLSL as the device does before it makes any GL
// object) and to D3DXGetShaderConstantTable, whose table is then used.
// Seeds: the compiled code of the shader corpus and the demo's shaders
// (scripts/fuzz.sh makes them with fuzz_seeds).
#include <d3dx9.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ShaderCode.h"
#include "platform/d3d9/ShaderTranslation.h"
#include "tests/fuzz/ConstantTableUse.h"

namespace {

bool SameCode(const ostrevin::ShaderCode& a, const ostrevin::ShaderCode& b) {
  if (a.stage != b.stage || a.majorVersion != b.majorVersion || a.minorVersion != b.minorVersion ||
      a.spirv != b.spirv || a.constants.size() != b.constants.size())
    return false;
  for (size_t i = 0; i < a.constants.size(); ++i) {
    const ostrevin::ShaderConstant& x = a.constants[i];
    const ostrevin::ShaderConstant& y = b.constants[i];
    if (x.name != y.name || x.registerSet != y.registerSet || x.registerIndex != y.registerIndex ||
        x.registerCount != y.registerCount || x.parameterClass != y.parameterClass ||
        x.parameterType != y.parameterType || x.rows != y.rows || x.columns != y.columns || x.elements != y.elements ||
        x.structMembers != y.structMembers || x.defaultValue != y.defaultValue)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // Exactly the input's words: a read past the code is a read past this.
  std::vector<DWORD> words((size + 3) / 4, 0);
  if (size > 0) std::memcpy(words.data(), data, size);

  ostrevin::ShaderCode code;
  const bool decoded = ostrevin::DecodeShaderCode(words.data(), size, &code);
  if (decoded) {
    // What decodes encodes to a buffer that decodes the same.
    const std::vector<uint32_t> again = ostrevin::EncodeShaderCode(code);
    ostrevin::ShaderCode copy;
    if (!ostrevin::DecodeShaderCode(again.data(), again.size() * 4, &copy) || !SameCode(code, copy)) std::abort();
  }

  // The device and D3DXGetShaderConstantTable take a pointer without a
  // size and trust the header's; only code whose header stays inside the
  // input can be handed to them.
  if (size < 56 || ostrevin::ShaderCodeSize(words.data()) > words.size() * 4) return 0;
  for (const ostrevin::ShaderStage stage : {ostrevin::ShaderStage::Vertex, ostrevin::ShaderStage::Pixel}) {
    ostrevin::GlslShader glsl;
    const HRESULT hr = ostrevin::d3d9::TranslateShaderCode(stage, words.data(), ostrevin::d3d9::ShaderOptions(false, false), &glsl);
    if (SUCCEEDED(hr)) {
      if (!decoded || code.stage != stage || glsl.stage != stage || glsl.source.empty()) std::abort();
      if (stage == ostrevin::ShaderStage::Vertex && !glsl.samplers.empty()) std::abort();
    }
  }
  ID3DXConstantTable* table = nullptr;
  if (SUCCEEDED(D3DXGetShaderConstantTable(words.data(), &table))) {
    if (table == nullptr) std::abort();
    fuzz_support::UseConstantTable(table);
    if (table->Release() != 0) std::abort();
  } else if (decoded && ostrevin::ShaderCodeSize(words.data()) <= size) {
    std::abort();  // code the bounded decode accepts must give a table
  }
  return 0;
}
