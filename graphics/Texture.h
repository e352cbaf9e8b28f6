// CTexture: one texture loaded from a file, filled by CRenderer::LoadTexture.
#pragma once

#include <d3d9.h>

#include <string>

struct CTexture {
  CTexture();

  std::wstring GetFileName() const;

  std::wstring m_fileName;
  IDirect3DTexture9* m_pD3DTexture;
  D3DSURFACE_DESC m_surfaceDesc;
};
