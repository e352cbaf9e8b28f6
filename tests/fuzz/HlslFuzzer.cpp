// HLSL compile (and with it SPIR-V -> GLSL) on arbitrary source bytes, and
// the source model with its readers on the same text.
#include <d3dx9.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shadercode/ShaderCode.h"
#include "shader/InitialiserScan.h"
#include "shader/SourceRewrite.h"
#include "shader/SourceScan.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Every input compiled, none read back: a cache would make a second run
  // differ from the first (fuzz_shadercache covers the cache).
  setenv("OSTREVIN_SHADER_CACHE", "0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 65536) return 0;
  // The same bytes as shader code: the decoder must refuse them safely.
  std::vector<uint32_t> words((size + 3) / 4, 0);
  std::memcpy(words.data(), data, size);
  ostrevin::ShaderCode decoded;
  ostrevin::DecodeShaderCode(words.data(), size, &decoded);

  // The model and its readers see text glslang refuses too.
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const ostrevin::SourceModel model = ostrevin::BuildSourceModel(text, "main");
  ostrevin::ScanInitialisers(model);
  ostrevin::ScanRegisters(model);
  std::string message, file;
  int line = 0;
  ostrevin::FindUnparsable(model, &message, &file, &line);
  ostrevin::ApplyEdits(text, ostrevin::RewritesForGlslang(model, text));

  const char* profile = (data[0] & 1) ? "ps_2_0" : "vs_2_0";
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* messages = nullptr;
  ID3DXConstantTable* table = nullptr;
  const HRESULT hr = D3DXCompileShader(reinterpret_cast<const char*>(data + 1), static_cast<UINT>(size - 1), nullptr,
                                       nullptr, "main", profile, 0, &code, &messages, &table);
  if (SUCCEEDED(hr)) {
    if (code == nullptr || !ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()),
                                                        code->GetBufferSize(), &decoded)) {
      __builtin_trap();
    }
    D3DXCONSTANTTABLE_DESC desc;
    if (table == nullptr || FAILED(table->GetDesc(&desc)) || desc.Constants != decoded.constants.size()) {
      __builtin_trap();
    }
  } else if (messages == nullptr ||
             static_cast<const char*>(messages->GetBufferPointer())[messages->GetBufferSize() - 1] != '\0') {
    __builtin_trap();
  }
  if (code) code->Release();
  if (messages) messages->Release();
  if (table) table->Release();
  return 0;
}
