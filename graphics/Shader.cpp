#include "graphics/Shader.h"

#include "common/ReadWholeFile.h"

CShader::CShader()
    : m_bPixelShader(false),
      m_pErrorMessages(NULL),
      m_pCode(NULL),
      m_pConstantTable(NULL),
      m_pShader(NULL),
      m_pDevice(NULL) {}

HRESULT CShader::Compile(const std::string& fileName, const std::string& entryPoint, const std::string& profile) {
  const std::string source = ReadWholeFile(fileName);
  HRESULT hr = D3DXCompileShader(source.data(), static_cast<UINT>(source.size()), NULL, NULL, entryPoint.c_str(),
                                 profile.c_str(), D3DXSHADER_OPTIMIZATION_LEVEL3, &m_pCode, &m_pErrorMessages,
                                 &m_pConstantTable);
  if (FAILED(hr)) {
    return hr;
  }
  m_bPixelShader = !profile.empty() && profile[0] == 'p';
  return S_OK;
}
