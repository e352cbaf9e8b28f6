// libFuzzer target: the whole D3DXCompileShader path with macros and an
// ID3DXInclude whose files come from the input: #include chains, local and
// system includes, missing files, a file included twice or by itself.
// Input (text, so that HLSL mutates well):
//   //@ PROFILE ENTRY [rowmajor] [NAME=VALUE ...]   optional first line
//   the source
//   //@file NAME                                    each line like it starts a file
//   the file's text
// The handler checks the layer's side of the contract: every Open answered
// with data is closed exactly once, before the call returns, and a parent
// pointer is always data the handler gave and has not had back.
// Seeds: the shader corpus and the demo's shaders, whole and split into
// include chains (fuzz_seeds).
#include <d3dx9.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "tests/fuzz/ConstantTableUse.h"

namespace {

class InputIncludes final : public ID3DXInclude {
 public:
  std::map<std::string, std::string> files;

  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE type, LPCSTR name, LPCVOID parent, LPCVOID* data,
                                 UINT* bytes) override {
    if (name == nullptr || data == nullptr || bytes == nullptr) std::abort();
    if (type != D3DXINC_LOCAL && type != D3DXINC_SYSTEM) std::abort();
    if (parent != nullptr && m_open.count(parent) == 0) std::abort();
    auto it = files.find(name);
    if (it == files.end()) return E_FAIL;
    *data = it->second.data();
    *bytes = static_cast<UINT>(it->second.size());
    if (!m_open.insert(*data).second) std::abort();  // the same file opened twice in one call
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID data) override {
    if (m_open.erase(data) != 1) std::abort();
    return S_OK;
  }
  bool AllClosed() const { return m_open.empty(); }

 private:
  std::set<LPCVOID> m_open;
};

struct Input {
  std::string profile = "vs_2_0";
  std::string entry = "main";
  DWORD flags = 0;
  std::vector<std::pair<std::string, std::string>> macros;
  std::string source;
  InputIncludes includes;
};

void Parse(const std::string& text, Input* in) {
  size_t at = 0;
  if (text.compare(0, 4, "//@ ") == 0) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::istringstream words(text.substr(4, end - 4));
    std::string word;
    if (words >> word) in->profile = word;
    if (words >> word) in->entry = word;
    while (words >> word) {
      if (word == "rowmajor") {
        in->flags |= D3DXSHADER_PACKMATRIX_ROWMAJOR;
        continue;
      }
      const size_t eq = word.find('=');
      in->macros.emplace_back(word.substr(0, eq), eq == std::string::npos ? std::string() : word.substr(eq + 1));
    }
    at = end < text.size() ? end + 1 : end;
  }
  std::string* into = &in->source;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    if (text.compare(at, 8, "//@file ") == 0) {
      into = &in->includes.files[text.substr(at + 8, end - at - 8)];
      into->clear();
    } else {
      into->append(text, at, end - at);
      if (end < text.size()) into->push_back('\n');
    }
    at = end < text.size() ? end + 1 : end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("OSTREVIN_SHADER_CACHE", "0", 1);  // every input compiled, none read back
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 32768) return 0;
  Input in;
  Parse(std::string(reinterpret_cast<const char*>(data), size), &in);
  std::vector<D3DXMACRO> macros;
  for (const auto& m : in.macros) macros.push_back({m.first.c_str(), m.second.empty() ? nullptr : m.second.c_str()});
  macros.push_back({nullptr, nullptr});

  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* messages = nullptr;
  ID3DXConstantTable* table = nullptr;
  const HRESULT hr = D3DXCompileShader(in.source.data(), static_cast<UINT>(in.source.size()), macros.data(),
                                       &in.includes, in.entry.c_str(), in.profile.c_str(), in.flags, &code, &messages,
                                       &table);
  if (!in.includes.AllClosed()) std::abort();
  if (SUCCEEDED(hr)) {
    ostrevin::ShaderCode decoded;
    if (code == nullptr || table == nullptr ||
        !ostrevin::DecodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()), code->GetBufferSize(),
                                    &decoded) ||
        (decoded.stage == ostrevin::ShaderStage::Pixel) != (in.profile[0] == 'p'))
      std::abort();
    fuzz_support::UseConstantTable(table);
  } else if (code != nullptr || table != nullptr || messages == nullptr || messages->GetBufferSize() == 0 ||
             static_cast<const char*>(messages->GetBufferPointer())[messages->GetBufferSize() - 1] != '\0') {
    std::abort();
  }
  if (code) code->Release();
  if (messages) messages->Release();
  if (table) table->Release();
  return 0;
}
