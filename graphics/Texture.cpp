#include "graphics/Texture.h"

CTexture::CTexture() : m_pD3DTexture(NULL) { ZeroMemory(&m_surfaceDesc, sizeof(m_surfaceDesc)); }

std::wstring CTexture::GetFileName() const { return m_fileName; }
