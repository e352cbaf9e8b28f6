#include "graphics/Shader.h"

#include <cstring>
#include <exception>

#include "common/ReadWholeFile.h"

CShader::CShader()
    : m_bPixelShader(false),
      m_pErrorMessages(NULL),
      m_pCode(NULL),
      m_pConstantTable(NULL),
      m_pShader(NULL),
      m_pDevice(NULL) {}

namespace {

// The reason LoadShader reports, in the compiler's message buffer, the way
// a model file's reason reads.
HRESULT Refuse(const char* reason, ID3DXBuffer** ppMessages) {
  const DWORD size = static_cast<DWORD>(std::strlen(reason) + 1);
  if (SUCCEEDED(D3DXCreateBuffer(size, ppMessages))) {
    std::memcpy((*ppMessages)->GetBufferPointer(), reason, size);
  }
  return E_FAIL;
}

}  // namespace

HRESULT CShader::Compile(const std::string& fileName, const std::string& entryPoint, const std::string& profile) {
  std::string source;
  try {
    source = ReadWholeFile(fileName);
  } catch (const std::exception&) {  // a folder: the file buffer throws
    source.clear();
  }
  if (source.empty()) {
    return Refuse("missing or empty file", &m_pErrorMessages);
  }
  HRESULT hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()), NULL, NULL, entryPoint.c_str(),
                                 profile.c_str(), D3DXSHADER_OPTIMIZATION_LEVEL3, &m_pCode, &m_pErrorMessages,
                                 &m_pConstantTable);
  if (FAILED(hr)) {
    return hr;
  }
  m_bPixelShader = !profile.empty() && profile[0] == 'p';
  return S_OK;
}
