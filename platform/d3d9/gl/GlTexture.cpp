#include "GlTexture.h"

#include <algorithm>
#include <vector>

#include "FormatTable.h"
#include "GlDevice.h"
#include "GlStateCache.h"
#include "TextureLayout.h"

namespace ostrevin::d3d9 {

namespace {

// What an upload does to the front's bytes before GL takes them.
enum class Reorder { None, SwapRedBlue, SwapRedBlueOpaque, Opaque };

// The 8-bit RGB formats where the context has no texture swizzle and no
// GL_BGRA (OpenGL ES 3.0): their texels are reordered to R, G, B, A bytes
// at each upload (alpha 255 for the X formats), stored as GL_RGBA8.
// Direct3D's own bytes (B, G, R, A in memory for A8R8G8B8) stay in the
// front's copy that LockRect shows.
struct EsUpload {
  D3DFORMAT format;
  Reorder reorder;
};
constexpr EsUpload kEsUploads[] = {
    {D3DFMT_A8R8G8B8, Reorder::SwapRedBlue},
    {D3DFMT_X8R8G8B8, Reorder::SwapRedBlueOpaque},
    {D3DFMT_A8B8G8R8, Reorder::None},
    {D3DFMT_X8B8G8R8, Reorder::Opaque},
};

const EsUpload* FindEsUpload(D3DFORMAT format) {
  for (const EsUpload& u : kEsUploads)
    if (u.format == format) return &u;
  return nullptr;
}

// The GL upload of a format on a context: the table's, or the ES one.
struct GlUpload {
  GLenum internalFormat, format, type;
  Reorder reorder;
};

GlUpload UploadOf(const formats::FormatInfo& format, const GlCaps& caps) {
  if (!caps.textureSwizzle || !caps.bgra) {
    if (const EsUpload* es = FindEsUpload(format.format)) return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, es->reorder};
  }
  return {format.glInternalFormat, format.glFormat, format.glType, Reorder::None};
}

// The texels GL is given: `l`'s own, or reordered into `scratch`.
const void* Texels(const GlTextureLevel& l, Reorder reorder, std::vector<unsigned char>& scratch) {
  if (reorder == Reorder::None || l.data == nullptr) return l.data;
  scratch.resize(l.bytes);
  const unsigned char* in = static_cast<const unsigned char*>(l.data);
  unsigned char* out = scratch.data();
  const bool swap = reorder == Reorder::SwapRedBlue || reorder == Reorder::SwapRedBlueOpaque;
  const bool opaque = reorder == Reorder::SwapRedBlueOpaque || reorder == Reorder::Opaque;
  for (size_t i = 0; i + 4 <= l.bytes; i += 4) {
    out[i + 0] = in[i + (swap ? 2 : 0)];
    out[i + 1] = in[i + 1];
    out[i + 2] = in[i + (swap ? 0 : 2)];
    out[i + 3] = opaque ? 0xff : in[i + 3];
  }
  return out;
}

}  // namespace

bool GlDevice::TakesFormat(const formats::FormatInfo& format) const {
  if ((!m_caps.textureSwizzle || !m_caps.bgra) && FindEsUpload(format.format) != nullptr) return true;
  // Without swizzles a format must be stored as GL samples it (R, G, B, A),
  // and without GL_BGRA be uploaded in GL's channel order.
  static constexpr GLint kIdentity[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  if (!m_caps.textureSwizzle && !std::equal(format.swizzle, format.swizzle + 4, kIdentity)) return false;
  if (!m_caps.bgra && format.glFormat == GL_BGRA) return false;
  if (m_caps.es) {
    // OpenGL ES 3.0 has no 16-bit normalised formats, no packed-integer
    // uploads of byte channels, and of the block formats those of
    // WEBGL_compressed_texture_s3tc only.
    switch (format.glInternalFormat) {
      case GL_R16: case GL_RG16: case GL_RGBA16: case GL_R16_SNORM: case GL_RG16_SNORM: case GL_RGBA16_SNORM:
        return false;
      default:
        break;
    }
    if (format.glType == GL_UNSIGNED_INT_8_8_8_8_REV) return false;
    if (format.compressed && format.glInternalFormat != GL_COMPRESSED_RGBA_S3TC_DXT1_EXT &&
        format.glInternalFormat != GL_COMPRESSED_RGBA_S3TC_DXT3_EXT &&
        format.glInternalFormat != GL_COMPRESSED_RGBA_S3TC_DXT5_EXT)
      return false;
  }
  return true;
}

void GlTexture::Create(GlDevice& device, const formats::FormatInfo& format, const GlTextureLevel* levels,
                       unsigned count, bool generateMips) {
  m_format = &format;
  m_levels = count;
  m_generateMips = generateMips;
  const unsigned glLevels = generateMips ? formats::FullChainLength(levels[0].width, levels[0].height) : count;
  device.MakeCurrent();
  gl::GenTextures(1, &m_name);
  device.Cache().BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(glLevels) - 1);
  // Without swizzles only formats stored as GL reads them (or reordered at
  // upload) are taken (TakesFormat).
  if (device.Caps().textureSwizzle) gl::TexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
  const GlUpload upload = UploadOf(format, device.Caps());
  for (unsigned i = 0; i < count; ++i) {
    const GlTextureLevel& l = levels[i];
    if (format.compressed) {
      gl::CompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), format.glInternalFormat,
                               static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0,
                               static_cast<GLsizei>(l.bytes), l.data);
    } else {
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(upload.internalFormat),
                     static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0, upload.format, upload.type,
                     Texels(l, upload.reorder, device.UploadScratch()));
    }
  }
  if (generateMips) {
    // Storage for the generated levels, then the levels from the top one.
    unsigned w = levels[0].width, h = levels[0].height;
    for (unsigned i = 1; i < glLevels; ++i) {
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(upload.internalFormat),
                     static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, upload.format, upload.type, nullptr);
    }
    gl::GenerateMipmap(GL_TEXTURE_2D);
  }
}

void GlTexture::Upload(GlDevice& device, unsigned level, const GlTextureLevel& l) {
  if (m_name == 0) return;
  device.MakeCurrent();
  device.Cache().BindTextureForUpload(m_name);
  gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (m_format->compressed) {
    gl::CompressedTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                                static_cast<GLsizei>(l.height), m_format->glInternalFormat,
                                static_cast<GLsizei>(l.bytes), l.data);
  } else {
    const GlUpload upload = UploadOf(*m_format, device.Caps());
    gl::TexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                      static_cast<GLsizei>(l.height), upload.format, upload.type,
                      Texels(l, upload.reorder, device.UploadScratch()));
  }
  if (m_generateMips) gl::GenerateMipmap(GL_TEXTURE_2D);
}

void GlTexture::GenerateMips(GlDevice& device) {
  if (!m_generateMips || m_name == 0) return;
  device.MakeCurrent();
  device.Cache().BindTextureForUpload(m_name);
  gl::GenerateMipmap(GL_TEXTURE_2D);
}

void GlTexture::Destroy(GlDevice& device) {
  device.MakeCurrent();
  device.Cache().ForgetTexture(m_name);
  if (m_name != 0 && device.Alive()) gl::DeleteTextures(1, &m_name);
  m_name = 0;
}

}  // namespace ostrevin::d3d9
