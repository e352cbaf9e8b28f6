// CShader: one compiled shader, filled by CRenderer::LoadShader.
#pragma once

#include <d3dx9.h>

#include <string>

struct CShader {
  CShader();

  // Reads and compiles the HLSL file; fills m_pCode, m_pErrorMessages,
  // m_pConstantTable and, on success, m_bPixelShader.
  HRESULT Compile(const std::string& fileName, const std::string& entryPoint, const std::string& profile);

  bool m_bPixelShader;
  ID3DXBuffer* m_pErrorMessages;
  ID3DXBuffer* m_pCode;
  ID3DXConstantTable* m_pConstantTable;
  IUnknown* m_pShader;  // IDirect3DPixelShader9 or IDirect3DVertexShader9, told by m_bPixelShader
  IDirect3DDevice9* m_pDevice;  // not a reference of its own
};
