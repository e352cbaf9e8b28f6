// D3DXCompileShader: HLSL in, the layer's shader code out, through the
// cache of compiled shaders when it holds the result.
//
// The code buffer holds the layer's shader code (ShaderCode.h): the
// constant table as D3DX would lay it out in registers, then the SPIR-V.
// Every compile is also translated to GLSL once, so that a shader the
// OpenGL device could not use fails here, with a message and, where the
// SPIR-V's line information gives it, the HLSL line. As in D3DX, constants
// the shader never reads are not in the table. glslang drops the
// initialisers of globals; they are read from the source text instead and
// kept as the constants' default values.
#include <d3dx9.h>

#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/Buffer.h"
#include "shader/ConstantTable.h"
#include "shader/DefaultValues.h"
#include "shader/GlslangDriver.h"
#include "shader/InitialiserScan.h"
#include "shader/RegisterAllocation.h"
#include "shader/ShaderCache.h"
#include "shader/SourceRewrite.h"
#include "shader/SourceScan.h"
#include "WarmUp.h"

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
  std::vector<uint32_t> words;  // code, encoded
};

Result Compile(const ostrevin::HlslInput& input, const Profile& profile) {
  Result result;
  ostrevin::HlslFrontEnd frontEnd(input);

  // Preprocessed once first: register annotations and redefinitions are
  // looked for in the text glslang will parse, macros and includes expanded.
  std::string preprocessed;
  if (!frontEnd.Preprocess(&preprocessed, &result.messages)) return result;
  // The one model of the source that everything after reads.
  const ostrevin::SourceModel model = ostrevin::BuildSourceModel(preprocessed, input.entryPoint);
  std::string refused, refusedFile;
  int refusedLine = 0;
  if (ostrevin::FindUnparsable(model, &refused, &refusedFile, &refusedLine)) {
    if (refusedFile.empty()) refusedFile = ostrevin::kHlslSourceName;
    result.messages = refusedFile + "(" + std::to_string(refusedLine) + "): " + refused + "\n";
    return result;
  }

  frontEnd.ParsePreprocessed(ostrevin::ApplyEdits(preprocessed, ostrevin::RewritesForGlslang(model, preprocessed)));
  std::vector<uint32_t> spirv;
  if (!frontEnd.Parse(&spirv, &result.messages)) return result;

  ShaderCode code;
  code.stage = profile.stage;
  code.majorVersion = profile.major;
  code.minorVersion = profile.minor;
  code.spirv = std::move(spirv);
  std::string error;
  try {
    // vs_2_0 and later, ps_2_a and ps_3_0 have bool and int registers.
    const bool flowControl = profile.stage == ShaderStage::Vertex
                                 ? profile.major >= 2
                                 : profile.major >= 3 || profile.minor == 1 || profile.minor == 0xFF;
    if (!ostrevin::BuildConstants(code.spirv, profile.stage, flowControl,
                                  ostrevin::ScanRegisters(model), &code.constants,
                                  &error)) {
      result.messages += error + "\n";
      return result;
    }
    ostrevin::AttachDefaultValues(ostrevin::ScanInitialisers(model), &code.constants);
  } catch (const std::exception& e) {
    result.messages += std::string("error: ") + e.what() + "\n";
    return result;
  }

  // D3DX names the entry point's uniform parameters "$name".
  for (const std::string& name : ostrevin::EntryPointUniforms(model)) {
    for (ostrevin::ShaderConstant& c : code.constants) {
      if (c.name == name) c.name = "$" + name;
    }
  }

  // The device will need GLSL; find out now whether it can have it.
  ostrevin::GlslShader glsl;
  ostrevin::GlslOptions options;
  options.lineDirectives = true;
  if (!ostrevin::TranslateShaderToGlsl(code, options, &glsl, &error)) {
    result.messages += "error: " + error + "\n";
    return result;
  }
  if (!frontEnd.CheckGlsl(glsl.source, &result.messages)) return result;
  result.words = ostrevin::EncodeShaderCode(code);
  result.code = std::move(code);
  result.hr = D3D_OK;
  return result;
}

// Everything besides the includes that decides a compile's result; the
// preamble holds the macros and the matrix packing.
std::string CacheKey(const ostrevin::HlslInput& input, const Profile& profile, DWORD flags) {
  std::string key;
  auto put = [&key](const char* data, size_t bytes) {
    key += std::to_string(bytes);
    key += ':';
    key.append(data, bytes);
  };
  put(input.source, static_cast<size_t>(input.length));
  put(input.preamble.data(), input.preamble.size());
  put(input.pragmas.data(), input.pragmas.size());
  put(input.entryPoint, std::strlen(input.entryPoint));
  put(profile.name, std::strlen(profile.name));
  key += std::to_string(flags);
  return key;
}

// The result of an earlier compile, when the cache holds it, the includes
// it read are unchanged and its code is for the profile asked for.
bool FromCache(const ostrevin::ShaderCache& cache, const std::string& key, const Profile& profile,
               ostrevin::IncludeFiles* includes, Result* out) {
  ostrevin::CachedShader entry;
  if (!cache.Load(key, &entry) || !includes->Match(entry.includes)) return false;
  ShaderCode code;
  if (!ostrevin::DecodeShaderCode(entry.code.data(), entry.code.size() * 4, &code) || code.stage != profile.stage ||
      code.majorVersion != profile.major || code.minorVersion != profile.minor)
    return false;
  out->hr = D3D_OK;
  out->messages = std::move(entry.messages);
  out->code = std::move(code);
  out->words = std::move(entry.code);
  return true;
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

  ostrevin::HlslInput input;
  input.source = pSrcData;
  input.length = static_cast<int>(srcDataLen);
  if (Flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) input.pragmas += "#pragma pack_matrix(row_major)\n";
  for (const D3DXMACRO* m = pDefines; m != nullptr && m->Name != nullptr; ++m) {
    input.preamble +=
        std::string("#define ") + m->Name + " " + (m->Definition != nullptr ? m->Definition : "1") + "\n";
  }
  input.entryPoint = pFunctionName;
  input.stage = profile->stage;
  ostrevin::IncludeFiles includes(pInclude);
  input.includes = &includes;

  const std::optional<ostrevin::ShaderCache> cache = ostrevin::ShaderCache::OfProcess();
  const std::string key = cache ? CacheKey(input, *profile, Flags) : std::string();
  Result result;
  if (!cache || !FromCache(*cache, key, *profile, &includes, &result)) {
    result = Compile(input, *profile);
    if (cache && SUCCEEDED(result.hr)) cache->Store(key, {includes.Asked(), result.messages, result.words});
  }
  if (FAILED(result.hr)) {
    if (result.messages.empty()) result.messages = "error: compilation failed\n";
    return fail(result.hr, result.messages);
  }

  ID3DXBuffer* code = nullptr;
  HRESULT hr = ostrevin::MakeBuffer(result.words.data(), result.words.size() * 4, &code);
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


// Before the program makes its window: a build whose shaders were compiled
// before will likely find them all in the cache and need no glslang at all;
// otherwise glslang's tables are built meanwhile. A compile that misses
// builds them itself.
void ostrevin::StartShaderCompilerWarmUp() {
  const std::optional<ShaderCache> cache = ShaderCache::OfProcess();
  if (cache && cache->HoldsEntriesOfThisBuild()) return;
  StartHlslFrontEndWarmUp();
}
