// D3DXCompileShader: HLSL in, the layer's shader code out.
//
// The code buffer holds the layer's shader code (ShaderCode.h): the
// constant table as D3DX would lay it out in registers, then the SPIR-V.
// Every compile is also translated to GLSL once, so that a shader the
// OpenGL device could not use fails here, with a message. Unlike D3DX,
// constants the shader never reads stay in the table. Initial values of
// globals are not kept, so SetDefaults writes nothing.
#include <d3dx9.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/Buffer.h"
#include "shader/ConstantTable.h"
#include "shader/GlslangDriver.h"
#include "shader/RegisterAllocation.h"
#include "shader/SourceScan.h"

namespace {

using ostrevin::ShaderCode;
using ostrevin::ShaderStage;

struct Profile {
  const char* name;
  ShaderStage stage;
  uint32_t major, minor;
};

const Profile kProfiles[] = {
    {"vs_1_1", ShaderStage::Vertex, 1, 1}, {"vs_2_0", ShaderStage::Vertex, 2, 0},
    {"vs_2_a", ShaderStage::Vertex, 2, 1}, {"vs_2_sw", ShaderStage::Vertex, 2, 0xFF},
    {"vs_3_0", ShaderStage::Vertex, 3, 0}, {"ps_2_0", ShaderStage::Pixel, 2, 0},
    {"ps_2_a", ShaderStage::Pixel, 2, 1},  {"ps_2_b", ShaderStage::Pixel, 2, 2},
    {"ps_2_sw", ShaderStage::Pixel, 2, 0xFF}, {"ps_3_0", ShaderStage::Pixel, 3, 0},
};

const Profile* FindProfile(const char* name) {
  for (const Profile& p : kProfiles) {
    if (std::strcmp(p.name, name) == 0) return &p;
  }
  return nullptr;
}

struct Result {
  HRESULT hr = E_FAIL;
  std::string messages;
  ShaderCode code;
};

Result Compile(LPCSTR pSrcData, UINT srcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
               LPCSTR pFunctionName, const Profile& profile, DWORD flags) {
  Result result;
  ostrevin::HlslInput input;
  input.source = pSrcData;
  input.length = static_cast<int>(srcDataLen);
  if (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) input.preamble += "#pragma pack_matrix(row_major)\n";
  for (const D3DXMACRO* m = pDefines; m != nullptr && m->Name != nullptr; ++m) {
    input.preamble +=
        std::string("#define ") + m->Name + " " + (m->Definition != nullptr ? m->Definition : "1") + "\n";
  }
  input.entryPoint = pFunctionName;
  input.stage = profile.stage;
  input.include = pInclude;
  ostrevin::HlslFrontEnd frontEnd(input);

  // Preprocessed once first: register annotations and redefinitions are
  // looked for in the text glslang will parse, macros and includes expanded.
  std::string preprocessed;
  if (!frontEnd.Preprocess(&preprocessed, &result.messages)) return result;
  std::string refused;
  int refusedLine = 0;
  if (ostrevin::FindUnparsable(preprocessed, &refused, &refusedLine)) {
    result.messages =
        std::string(ostrevin::kHlslSourceName) + "(" + std::to_string(refusedLine) + "): " + refused + "\n";
    return result;
  }

  std::vector<uint32_t> spirv;
  if (!frontEnd.Parse(&spirv, &result.messages)) return result;

  ShaderCode code;
  code.stage = profile.stage;
  code.majorVersion = profile.major;
  code.minorVersion = profile.minor;
  code.spirv = std::move(spirv);
  std::string error;
  try {
    if (!ostrevin::BuildConstants(code.spirv, profile.stage,
                                  ostrevin::ScanRegisters(preprocessed.data(), preprocessed.size()), &code.constants,
                                  &error)) {
      result.messages += error + "\n";
      return result;
    }
  } catch (const std::exception& e) {
    result.messages += std::string("error: ") + e.what() + "\n";
    return result;
  }

  // The device will need GLSL; find out now whether it can have it.
  ostrevin::GlslShader glsl;
  if (!ostrevin::TranslateShaderToGlsl(code, ostrevin::GlslOptions(), &glsl, &error)) {
    result.messages += "error: " + error + "\n";
    return result;
  }
  result.code = std::move(code);
  result.hr = D3D_OK;
  return result;
}

}  // namespace

HRESULT WINAPI D3DXCompileShader(LPCSTR pSrcData, UINT srcDataLen, const D3DXMACRO* pDefines,
                                 LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                 LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                 LPD3DXCONSTANTTABLE* ppConstantTable) {
  if (ppShader != nullptr) *ppShader = nullptr;
  if (ppErrorMsgs != nullptr) *ppErrorMsgs = nullptr;
  if (ppConstantTable != nullptr) *ppConstantTable = nullptr;

  auto fail = [&](HRESULT hr, const std::string& text) {
    if (ppErrorMsgs != nullptr && !text.empty()) ostrevin::MakeTextBuffer(text, ppErrorMsgs);
    return hr;
  };
  if (pSrcData == nullptr || pFunctionName == nullptr || pProfile == nullptr) {
    return fail(D3DERR_INVALIDCALL, "error: no source, entry point or profile\n");
  }
  const Profile* profile = FindProfile(pProfile);
  if (profile == nullptr) {
    return fail(E_FAIL, std::string("error X3000: unsupported or unknown target profile '") + pProfile + "'\n");
  }
  if (srcDataLen == 0 || srcDataLen > 0x7FFFFFFFu) {
    return fail(E_FAIL, "memory(1): error: empty source\n");
  }
  if (pFunctionName[0] == '\0') return fail(E_FAIL, "error: empty entry point name\n");

  Result result = Compile(pSrcData, srcDataLen, pDefines, pInclude, pFunctionName, *profile, Flags);
  if (FAILED(result.hr)) {
    if (result.messages.empty()) result.messages = "error: compilation failed\n";
    return fail(result.hr, result.messages);
  }

  const std::vector<uint32_t> words = ostrevin::EncodeShaderCode(result.code);
  ID3DXBuffer* code = nullptr;
  HRESULT hr = ostrevin::MakeBuffer(words.data(), words.size() * 4, &code);
  if (FAILED(hr)) return hr;
  ID3DXConstantTable* table = nullptr;
  if (ppConstantTable != nullptr) {
    hr = ostrevin::MakeConstantTable(result.code.stage, result.code.majorVersion, result.code.minorVersion,
                                     std::move(result.code.constants), &table);
    if (FAILED(hr)) {
      code->Release();
      return hr;
    }
  }
  // Warnings travel in the message buffer on success too, as D3DX does.
  if (ppErrorMsgs != nullptr && !result.messages.empty()) ostrevin::MakeTextBuffer(result.messages, ppErrorMsgs);
  if (ppShader != nullptr) {
    *ppShader = code;
  } else {
    code->Release();
  }
  if (ppConstantTable != nullptr) *ppConstantTable = table;
  return D3D_OK;
}

