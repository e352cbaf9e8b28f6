#include "GlTexture.h"

#include <algorithm>

#include "FormatTable.h"
#include "GlDevice.h"
#include "GlStateCache.h"
#include "TextureLayout.h"

namespace ostrevin::d3d9 {

bool GlDevice::TakesFormat(const formats::FormatInfo& format) const {
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
  // Without swizzles only formats stored as GL reads them are taken (TakesFormat).
  if (device.Caps().textureSwizzle) gl::TexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
  for (unsigned i = 0; i < count; ++i) {
    const GlTextureLevel& l = levels[i];
    if (format.compressed) {
      gl::CompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), format.glInternalFormat,
                               static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0,
                               static_cast<GLsizei>(l.bytes), l.data);
    } else {
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(format.glInternalFormat),
                     static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), 0, format.glFormat, format.glType,
                     l.data);
    }
  }
  if (generateMips) {
    // Storage for the generated levels, then the levels from the top one.
    unsigned w = levels[0].width, h = levels[0].height;
    for (unsigned i = 1; i < glLevels; ++i) {
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
      gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), static_cast<GLint>(format.glInternalFormat),
                     static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, format.glFormat, format.glType, nullptr);
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
    gl::TexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                      static_cast<GLsizei>(l.height), m_format->glFormat, m_format->glType, l.data);
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
