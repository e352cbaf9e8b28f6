// Buffers, textures, declarations and shader objects of the OpenGL device.
// Every resource is in effect managed: it keeps a system-memory copy that is
// uploaded on unlock and again when the context is rebuilt after a loss.
#include <algorithm>
#include <cstring>

#include "Device.h"

const IID IID_IDirect3D9 = {0x81BDCBCA, 0x64D4, 0x426D, {0xAE, 0x8D, 0xAD, 0x01, 0x47, 0xF4, 0x27, 0x5C}};
const IID IID_IDirect3DDevice9 = {0xD0223B96, 0xBF7A, 0x43FD, {0x92, 0xBD, 0xA4, 0x3B, 0x0D, 0x82, 0xB9, 0xEB}};
const IID IID_IDirect3DResource9 = {0x05EEC05D, 0x8F7D, 0x4362, {0xB9, 0x99, 0xD1, 0xBA, 0xF3, 0x57, 0xC7, 0x04}};
const IID IID_IDirect3DBaseTexture9 = {0x580CA87E, 0x1D3C, 0x4D54, {0x99, 0x1D, 0xB7, 0xD3, 0xE3, 0xC2, 0x98, 0xCE}};
const IID IID_IDirect3DTexture9 = {0x85C31227, 0x3DE5, 0x4F00, {0x9B, 0x3A, 0xF1, 0x1A, 0xC3, 0x8C, 0x18, 0xB5}};
const IID IID_IDirect3DVertexBuffer9 = {0xB64BB1B5, 0xFD70, 0x4DF6, {0xBF, 0x91, 0x19, 0xD0, 0xA1, 0x24, 0x55, 0xE3}};
const IID IID_IDirect3DIndexBuffer9 = {0x7C9DD65E, 0xD3F7, 0x4529, {0xAC, 0xEE, 0x78, 0x58, 0x30, 0xAC, 0xDE, 0x35}};
const IID IID_IDirect3DVertexDeclaration9 = {0xDD13C59C, 0x36FA, 0x4098, {0xA8, 0xFB, 0xC7, 0xED, 0x39, 0xDC, 0x85, 0x46}};
const IID IID_IDirect3DVertexShader9 = {0xEFC5557E, 0x6265, 0x4613, {0x8A, 0x94, 0x43, 0x85, 0x78, 0x89, 0xEB, 0x36}};
const IID IID_IDirect3DPixelShader9 = {0x6D3BDBDC, 0x5B02, 0x4415, {0xB8, 0x52, 0xCE, 0x5E, 0x8B, 0xCC, 0xB2, 0x89}};

namespace ostrevin {
namespace d3d9 {


namespace {
HRESULT ReturnDevice(Device* device, IDirect3DDevice9** pp) {
  if (pp == nullptr) return D3DERR_INVALIDCALL;
  device->AddRef();
  *pp = device;
  return D3D_OK;
}
bool IsResourceIid(REFIID riid) { return riid == IID_IDirect3DResource9; }
}  // namespace

Resource::Resource(Device* device) : m_device(device) {
  m_device->AddRef();
  m_device->Register(this);
}

Resource::~Resource() {
  m_device->Unregister(this);
  m_device->Release();
}

// ------------------------------------------------------------------ buffers

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : Resource(device), m_data(length) {
  std::memset(&m_desc, 0, sizeof(m_desc));
  m_desc.Format = D3DFMT_VERTEXDATA;
  m_desc.Type = D3DRTYPE_VERTEXBUFFER;
  m_desc.Usage = usage;
  m_desc.Pool = pool;
  m_desc.Size = length;
  m_desc.FVF = fvf;
  RecreateGl();
}

VertexBuffer::~VertexBuffer() { DestroyGl(); }

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }

bool VertexBuffer::Implements(REFIID riid) const {
  return riid == IID_IDirect3DVertexBuffer9 || IsResourceIid(riid);
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** ppbData, DWORD) {
  if (ppbData == nullptr) return D3DERR_INVALIDCALL;
  *ppbData = nullptr;
  if (offset > m_data.size() || size > m_data.size() - offset) return D3DERR_INVALIDCALL;
  ++m_locks;
  *ppbData = m_data.data() + offset;
  return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
  if (m_locks == 0) return D3DERR_INVALIDCALL;
  if (--m_locks == 0 && m_name != 0 && !m_data.empty()) {
    OwnerDevice()->BindCopyWriteBuffer(m_name);
    gl::BufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(m_data.size()), m_data.data());
  }
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc = m_desc;
  return D3D_OK;
}

void VertexBuffer::DestroyGl() {
  OwnerDevice()->ForgetGlName(m_name, false);
  if (m_name != 0 && OwnerDevice()->ContextAlive()) gl::DeleteBuffers(1, &m_name);
  m_name = 0;
}

void VertexBuffer::RecreateGl() {
  gl::GenBuffers(1, &m_name);
  OwnerDevice()->BindCopyWriteBuffer(m_name);
  gl::BufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(m_data.size()),
                 m_data.empty() ? nullptr : m_data.data(), GL_STATIC_DRAW);
}

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : Resource(device), m_data(length) {
  std::memset(&m_desc, 0, sizeof(m_desc));
  m_desc.Format = format;
  m_desc.Type = D3DRTYPE_INDEXBUFFER;
  m_desc.Usage = usage;
  m_desc.Pool = pool;
  m_desc.Size = length;
  RecreateGl();
}

IndexBuffer::~IndexBuffer() { DestroyGl(); }

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }

bool IndexBuffer::Implements(REFIID riid) const { return riid == IID_IDirect3DIndexBuffer9 || IsResourceIid(riid); }

HRESULT IndexBuffer::Lock(UINT offset, UINT size, void** ppbData, DWORD) {
  if (ppbData == nullptr) return D3DERR_INVALIDCALL;
  *ppbData = nullptr;
  if (offset > m_data.size() || size > m_data.size() - offset) return D3DERR_INVALIDCALL;
  ++m_locks;
  *ppbData = m_data.data() + offset;
  return D3D_OK;
}

HRESULT IndexBuffer::Unlock() {
  if (m_locks == 0) return D3DERR_INVALIDCALL;
  if (--m_locks == 0 && m_name != 0 && !m_data.empty()) {
    OwnerDevice()->BindCopyWriteBuffer(m_name);
    gl::BufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(m_data.size()), m_data.data());
  }
  return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (pDesc == nullptr) return D3DERR_INVALIDCALL;
  *pDesc = m_desc;
  return D3D_OK;
}

void IndexBuffer::DestroyGl() {
  OwnerDevice()->ForgetGlName(m_name, false);
  if (m_name != 0 && OwnerDevice()->ContextAlive()) gl::DeleteBuffers(1, &m_name);
  m_name = 0;
}

void IndexBuffer::RecreateGl() {
  gl::GenBuffers(1, &m_name);
  OwnerDevice()->BindCopyWriteBuffer(m_name);
  gl::BufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(m_data.size()),
                 m_data.empty() ? nullptr : m_data.data(), GL_STATIC_DRAW);
}

// ----------------------------------------------------------------- textures

bool LookUpFormat(D3DFORMAT format, GlFormat* out) {
  GlFormat f;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_X8R8G8B8:
      f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      break;
    case D3DFMT_A8B8G8R8:
      f = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, false, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_X8B8G8R8:
      f = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, false, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      break;
    case D3DFMT_R5G6B5:
      f = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      break;
    case D3DFMT_A1R5G5B5:
      f = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_X1R5G5B5:
      f = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
      break;
    case D3DFMT_A4R4G4B4:
      f = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_A8:
      f = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, 1, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}};
      break;
    case D3DFMT_L8:
      f = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, 1, {GL_RED, GL_RED, GL_RED, GL_ONE}};
      break;
    case D3DFMT_A8L8:
      f = {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, false, 2, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
      break;
    case D3DFMT_DXT1:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true, 8, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true, 16, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true, 16, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}};
      break;
    default:
      return false;
  }
  *out = f;
  return true;
}

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                 const GlFormat& glFormat)
    : Resource(device), m_glFormat(glFormat) {
  std::memset(&m_desc, 0, sizeof(m_desc));
  m_desc.Format = format;
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
    if (glFormat.compressed) {
      level.pitch = std::max(1u, (w + 3) / 4) * glFormat.blockBytes;
      level.rows = std::max(1u, (h + 3) / 4);
    } else {
      level.pitch = w * glFormat.blockBytes;
      level.rows = h;
    }
    level.data.assign(static_cast<size_t>(level.pitch) * level.rows, 0);
    m_levels.push_back(std::move(level));
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
  RecreateGl();
}

Texture::~Texture() { DestroyGl(); }

HRESULT Texture::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }

bool Texture::Implements(REFIID riid) const {
  return riid == IID_IDirect3DTexture9 || riid == IID_IDirect3DBaseTexture9 || IsResourceIid(riid);
}

void Texture::GenerateMipSubLevels() {}

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
    if (m_glFormat.compressed) {
      if ((pRect->left % 4) != 0 || (pRect->top % 4) != 0) return D3DERR_INVALIDCALL;
      offset = static_cast<size_t>(pRect->top / 4) * l.pitch + static_cast<size_t>(pRect->left / 4) * m_glFormat.blockBytes;
    } else {
      offset = static_cast<size_t>(pRect->top) * l.pitch + static_cast<size_t>(pRect->left) * m_glFormat.blockBytes;
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
  OwnerDevice()->BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (m_glFormat.compressed) {
    gl::CompressedTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                                static_cast<GLsizei>(l.height), m_glFormat.internalFormat,
                                static_cast<GLsizei>(l.data.size()), l.data.data());
  } else {
    gl::TexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                      static_cast<GLsizei>(l.height), m_glFormat.format, m_glFormat.type, l.data.data());
  }
}

void Texture::DestroyGl() {
  OwnerDevice()->ForgetGlName(m_name, true);
  if (m_name != 0 && OwnerDevice()->ContextAlive()) gl::DeleteTextures(1, &m_name);
  m_name = 0;
}

void Texture::RecreateGl() {
  gl::GenTextures(1, &m_name);
  OwnerDevice()->BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(m_levels.size()) - 1);
  gl::TexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, m_glFormat.swizzle);
  for (UINT i = 0; i < m_levels.size(); ++i) {
    const Level& l = m_levels[i];
    if (m_glFormat.compressed) {
      gl::CompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), m_glFormat.internalFormat,
                               static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0,
                               static_cast<GLsizei>(l.data.size()), l.data.data());
    } else {
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(m_glFormat.internalFormat),
                     static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0, m_glFormat.format,
                     m_glFormat.type, l.data.data());
    }
  }
}

// -------------------------------------------------------------- declaration

VertexDeclaration::VertexDeclaration(Device* device, const D3DVERTEXELEMENT9* elements, UINT count)
    : Resource(device), m_elements(elements, elements + count) {}

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }

bool VertexDeclaration::Implements(REFIID riid) const { return riid == IID_IDirect3DVertexDeclaration9; }

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  if (pNumElements == nullptr) return D3DERR_INVALIDCALL;
  const UINT total = static_cast<UINT>(m_elements.size()) + 1;
  if (pElement != nullptr) {
    std::copy(m_elements.begin(), m_elements.end(), pElement);
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    pElement[total - 1] = end;
  }
  *pNumElements = total;
  return D3D_OK;
}

// ------------------------------------------------------------------ shaders

ShaderStageObject::ShaderStageObject(Device* device, const DWORD* code, size_t codeBytes, GlslShader glsl)
    : Resource(device),
      m_code(reinterpret_cast<const uint8_t*>(code), reinterpret_cast<const uint8_t*>(code) + codeBytes),
      m_glsl(std::move(glsl)) {
  RecreateGl();
}

ShaderStageObject::~ShaderStageObject() { DestroyGl(); }

void ShaderStageObject::DestroyGl() {
  if (m_shader != 0 && OwnerDevice()->ContextAlive()) gl::DeleteShader(m_shader);
  m_shader = 0;
}

void ShaderStageObject::RecreateGl() {
  m_shader = gl::CreateShader(m_glsl.stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
  const char* source = m_glsl.source.c_str();
  gl::ShaderSource(m_shader, 1, &source, nullptr);
  gl::CompileShader(m_shader);
  GLint ok = GL_FALSE;
  gl::GetShaderiv(m_shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint length = 0;
    gl::GetShaderiv(m_shader, GL_INFO_LOG_LENGTH, &length);
    m_log.assign(static_cast<size_t>(std::max(length, 1)), '\0');
    gl::GetShaderInfoLog(m_shader, length, nullptr, &m_log[0]);
    gl::DeleteShader(m_shader);
    m_shader = 0;
  }
}

HRESULT ShaderStageObject::GetFunctionBytes(void* pData, UINT* pSizeOfData) const {
  if (pSizeOfData == nullptr) return D3DERR_INVALIDCALL;
  if (pData == nullptr) {
    *pSizeOfData = static_cast<UINT>(m_code.size());
    return D3D_OK;
  }
  if (*pSizeOfData < m_code.size()) return D3DERR_INVALIDCALL;
  std::memcpy(pData, m_code.data(), m_code.size());
  *pSizeOfData = static_cast<UINT>(m_code.size());
  return D3D_OK;
}

VertexShader::~VertexShader() {}
HRESULT VertexShader::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }
bool VertexShader::Implements(REFIID riid) const { return riid == IID_IDirect3DVertexShader9; }

PixelShader::~PixelShader() {}
HRESULT PixelShader::GetDevice(IDirect3DDevice9** pp) { return ReturnDevice(OwnerDevice(), pp); }
bool PixelShader::Implements(REFIID riid) const { return riid == IID_IDirect3DPixelShader9; }

}  // namespace d3d9
}  // namespace ostrevin
