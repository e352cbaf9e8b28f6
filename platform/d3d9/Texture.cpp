#include "Texture.h"

#include <algorithm>
#include <cstring>

#include "Device.h"
#include "TextureLayout.h"

namespace ostrevin::d3d9 {

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const formats::FormatInfo& format,
                 D3DPOOL pool)
    : Resource(device), m_format(format) {
  std::memset(&m_desc, 0, sizeof(m_desc));
  m_desc.Format = format.format;
  m_desc.Type = D3DRTYPE_SURFACE;
  m_desc.Usage = usage;
  m_desc.Pool = pool;
  m_desc.Width = width;
  m_desc.Height = height;
  UINT w = width, h = height;
  for (UINT i = 0; i < levels; ++i) {
    Level level;
    level.width = w;
    level.height = h;
    level.pitch = static_cast<UINT>(formats::RowBytes(format.format, w));
    level.rows = formats::RowCount(format.format, h);
    level.data.assign(static_cast<size_t>(level.pitch) * level.rows, 0);
    m_levels.push_back(std::move(level));
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
  RecreateGl();
}

Texture::~Texture() { DestroyGl(); }

bool Texture::Implements(REFIID riid) const {
  return riid == IID_IDirect3DTexture9 || riid == IID_IDirect3DBaseTexture9 || riid == IID_IDirect3DResource9;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) {
  if (pDesc == nullptr || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  *pDesc = m_desc;
  pDesc->Width = m_levels[level].width;
  pDesc->Height = m_levels[level].height;
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD) {
  if (pLocked == nullptr || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  Level& l = m_levels[level];
  if (l.locked) return D3DERR_INVALIDCALL;
  size_t offset = 0;
  if (pRect != nullptr) {
    if (pRect->left < 0 || pRect->top < 0 || pRect->right > static_cast<LONG>(l.width) ||
        pRect->bottom > static_cast<LONG>(l.height) || pRect->left >= pRect->right || pRect->top >= pRect->bottom)
      return D3DERR_INVALIDCALL;
    if (m_format.compressed) {
      if ((pRect->left % 4) != 0 || (pRect->top % 4) != 0) return D3DERR_INVALIDCALL;
      offset = static_cast<size_t>(pRect->top / 4) * l.pitch + static_cast<size_t>(pRect->left / 4) * m_format.blockBytes;
    } else {
      offset = static_cast<size_t>(pRect->top) * l.pitch + static_cast<size_t>(pRect->left) * m_format.blockBytes;
    }
  }
  l.locked = true;
  pLocked->Pitch = static_cast<INT>(l.pitch);
  pLocked->pBits = l.data.data() + offset;
  return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= m_levels.size() || !m_levels[level].locked) return D3DERR_INVALIDCALL;
  m_levels[level].locked = false;
  Upload(level);
  return D3D_OK;
}

void Texture::Upload(UINT level) {
  if (m_name == 0) return;
  const Level& l = m_levels[level];
  OwnerDevice()->CurrentGl().BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (m_format.compressed) {
    gl::CompressedTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                                static_cast<GLsizei>(l.height), m_format.glInternalFormat,
                                static_cast<GLsizei>(l.data.size()), l.data.data());
  } else {
    gl::TexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                      static_cast<GLsizei>(l.height), m_format.glFormat, m_format.glType, l.data.data());
  }
}

void Texture::DestroyGl() {
  OwnerDevice()->CurrentGl().ForgetTexture(m_name);
  if (m_name != 0 && OwnerDevice()->ContextAlive()) gl::DeleteTextures(1, &m_name);
  m_name = 0;
}

void Texture::RecreateGl() {
  gl::GenTextures(1, &m_name);
  OwnerDevice()->CurrentGl().BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(m_levels.size()) - 1);
  gl::TexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, m_format.swizzle);
  for (UINT i = 0; i < m_levels.size(); ++i) {
    const Level& l = m_levels[i];
    if (m_format.compressed) {
      gl::CompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), m_format.glInternalFormat,
                               static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0,
                               static_cast<GLsizei>(l.data.size()), l.data.data());
    } else {
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(m_format.glInternalFormat),
                     static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0, m_format.glFormat,
                     m_format.glType, l.data.data());
    }
  }
}

}  // namespace ostrevin::d3d9
