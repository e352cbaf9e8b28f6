// CTexture: one texture loaded from a file, filled by CRenderer::LoadTexture,
// and the reason a texture file did not load.
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

// Why D3DXCreateTextureFromFile gave `hr` for the file: composed from the
// file's bytes (D3DX itself says no more than D3DXERR_INVALIDDATA), e.g.
// "missing or empty file", "unsupported pixel format: FourCC 'ABCD'",
// "truncated at level 3", "too large to load (8192x8192, 0x8007000e)".
std::string DescribeTextureFailure(const std::wstring& fileName, HRESULT hr);
