// Helpers shared by the HLSL tests: compiling from a string, reading the
// shipped shaders, a fake device with a vertex shader's constant table.
#pragma once

#define ENABLE_HLSL 1
#include <d3dx9.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "fake/FakeDevice.h"

namespace hlsltest {

inline std::string ReadAsset(const std::string& name) {
  const char* dir = std::getenv("OSTREVIN_SOURCE_DIR");
  std::ifstream in(std::string(dir != nullptr ? dir : ".") + "/assets/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::string Text(ID3DXBuffer* b) {
  if (b == nullptr) return std::string();
  return std::string(static_cast<const char*>(b->GetBufferPointer()));
}

// One D3DXCompileShader call with everything it returned.
struct Compiled {
  HRESULT hr = E_FAIL;
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* messages = nullptr;
  ID3DXConstantTable* table = nullptr;
  Compiled() = default;
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    if (code) code->Release();
    if (messages) messages->Release();
    if (table) table->Release();
  }
  std::string Messages() const { return Text(messages); }
  ostrevin::ShaderCode Decode() const {
    ostrevin::ShaderCode decoded;
    EXPECT_NE(code, nullptr);
    if (code != nullptr) {
      EXPECT_TRUE(ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()),
                                             code->GetBufferSize(), &decoded));
    }
    return decoded;
  }
};

inline void Compile(Compiled* out, const std::string& source, const char* entry, const char* profile,
                    const D3DXMACRO* macros = nullptr, LPD3DXINCLUDE include = nullptr, DWORD flags = 0) {
  out->hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()), macros, include, entry, profile, flags,
                              &out->code, &out->messages, &out->table);
}

// A device of the fake Direct3D 9 and a vertex shader compiled from the
// source the fixture gives SetUpWith, for the constant table's register
// writes; the fake's call log starts empty.
class FakeDeviceShaderTest : public ::testing::Test {
 protected:
  void SetUpWith(const char* vsSource) {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), D3D_OK);
    Compile(&vs, vsSource, "main", "vs_3_0");
    ASSERT_EQ(vs.hr, D3D_OK) << vs.Messages();
    fake::Clear();
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
  std::vector<fake::Call> Writes() { return fake::CallsNamed("SetVertexShaderConstantF"); }

  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  Compiled vs;
};

// Compiles both stages as GLSL 3.30 core and links them; "" when fine.
inline std::string GlslLinkErrors(const std::string& vs, const std::string& ps) {
  glslang::InitializeProcess();
  glslang::TShader vert(EShLangVertex), frag(EShLangFragment);
  const char* vsText = vs.c_str();
  const char* psText = ps.c_str();
  vert.setStrings(&vsText, 1);
  frag.setStrings(&psText, 1);
  std::string errors;
  const EShMessages messages = EShMsgDefault;
  if (!vert.parse(GetDefaultResources(), 330, ECoreProfile, false, false, messages)) errors += vert.getInfoLog();
  if (!frag.parse(GetDefaultResources(), 330, ECoreProfile, false, false, messages)) errors += frag.getInfoLog();
  if (!errors.empty()) return errors;
  glslang::TProgram program;
  program.addShader(&vert);
  program.addShader(&frag);
  if (!program.link(messages)) return program.getInfoLog();
  return std::string();
}

}  // namespace hlsltest
