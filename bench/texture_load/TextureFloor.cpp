#include "TextureFloor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "texture/Dds.h"
#include "texture/Hdr.h"
#include "texture/ImageHeader.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>
#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

namespace {

bool ReadWhole(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long length = ok ? std::ftell(f) : -1;
  ok = ok && length > 0 && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(length));
    ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
  }
  std::fclose(f);
  return ok;
}

UINT NextPowerOfTwo(UINT n) {
  UINT p = 1;
  while (p < n) p *= 2;
  return p;
}

UINT ChainLength(UINT w, UINT h) {
  UINT levels = 1;
  while (w > 1 || h > 1) {
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
    ++levels;
  }
  return levels;
}

UINT Half(UINT n) { return n > 1 ? n / 2 : 1; }

// Copies `rows` rows of `rowBytes` into level `level`.
HRESULT PutLevel(IDirect3DTexture9* texture, UINT level, const void* src, size_t rowBytes, UINT rows) {
  D3DLOCKED_RECT locked;
  HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
  if (FAILED(hr)) return hr;
  for (UINT y = 0; y < rows; ++y) {
    std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                static_cast<const uint8_t*>(src) + y * rowBytes, rowBytes);
  }
  return texture->UnlockRect(level);
}

// The next level of a w x h picture of `channels` bytes or floats a pixel:
// each pixel the average of the 2x2 (or 2x1) it covers; bytes rounded.
template <typename T>
void HalveInto(const T* src, UINT w, UINT h, T* dst) {
  const UINT dw = Half(w), dh = Half(h);
  for (UINT y = 0; y < dh; ++y) {
    const T* row0 = src + static_cast<size_t>(h > 1 ? 2 * y : 0) * w * 4;
    const T* row1 = src + static_cast<size_t>(h > 1 ? 2 * y + 1 : 0) * w * 4;
    for (UINT x = 0; x < dw; ++x) {
      const UINT x0 = w > 1 ? 2 * x : 0, x1 = w > 1 ? 2 * x + 1 : 0;
      for (UINT c = 0; c < 4; ++c) {
        if constexpr (sizeof(T) == 1) {
          const unsigned sum = row0[x0 * 4 + c] + row0[x1 * 4 + c] + row1[x0 * 4 + c] + row1[x1 * 4 + c];
          dst[(static_cast<size_t>(y) * dw + x) * 4 + c] = static_cast<T>((sum + 2) >> 2);
        } else {
          dst[(static_cast<size_t>(y) * dw + x) * 4 + c] =
              (row0[x0 * 4 + c] + row0[x1 * 4 + c] + row1[x0 * 4 + c] + row1[x1 * 4 + c]) * 0.25f;
        }
      }
    }
  }
}

// Bilinear resample of 8-bit RGBA, pixel centres aligned, edges clamped,
// weights in 1/256.
std::vector<uint8_t> Resample(const uint8_t* src, UINT sw, UINT sh, UINT dw, UINT dh) {
  struct Tap {
    UINT i0, i1, w;
  };
  auto taps = [](UINT from, UINT to) {
    std::vector<Tap> t(to);
    for (UINT d = 0; d < to; ++d) {
      double s = (d + 0.5) * from / to - 0.5;
      if (s < 0) s = 0;
      UINT i0 = static_cast<UINT>(s);
      if (i0 > from - 1) i0 = from - 1;
      t[d] = {i0, i0 + 1 < from ? i0 + 1 : from - 1, static_cast<UINT>((s - i0) * 256.0 + 0.5)};
    }
    return t;
  };
  const std::vector<Tap> tx = taps(sw, dw), ty = taps(sh, dh);
  std::vector<uint8_t> dst(static_cast<size_t>(dw) * dh * 4);
  for (UINT y = 0; y < dh; ++y) {
    const uint8_t* r0 = src + static_cast<size_t>(ty[y].i0) * sw * 4;
    const uint8_t* r1 = src + static_cast<size_t>(ty[y].i1) * sw * 4;
    const UINT wy = ty[y].w;
    uint8_t* out = dst.data() + static_cast<size_t>(y) * dw * 4;
    for (UINT x = 0; x < dw; ++x) {
      const UINT a = tx[x].i0 * 4, b = tx[x].i1 * 4, wx = tx[x].w;
      for (UINT c = 0; c < 4; ++c) {
        const UINT top = r0[a + c] * (256 - wx) + r0[b + c] * wx;
        const UINT bottom = r1[a + c] * (256 - wx) + r1[b + c] * wx;
        out[x * 4 + c] = static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
      }
    }
  }
  return dst;
}

// PNG, JPEG, TGA (RGB or RGBA): X8R8G8B8 or A8R8G8B8.
HRESULT FromPicture(IDirect3DDevice9* device, const std::vector<uint8_t>& file, IDirect3DTexture9** out) {
  int w = 0, h = 0, channels = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> decoded(
      stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 4), stbi_image_free);
  if (!decoded || (channels != 3 && channels != 4)) return D3DERR_INVALIDCALL;
  uint8_t* px = decoded.get();
  for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; i += 4) std::swap(px[i], px[i + 2]);  // RGBA -> BGRA
  const UINT width = NextPowerOfTwo(static_cast<UINT>(w)), height = NextPowerOfTwo(static_cast<UINT>(h));
  std::vector<uint8_t> current;
  if (width != static_cast<UINT>(w) || height != static_cast<UINT>(h)) {
    current = Resample(px, static_cast<UINT>(w), static_cast<UINT>(h), width, height);
    decoded.reset();
    px = current.data();
  }
  const UINT levels = ChainLength(width, height);
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = device->CreateTexture(width, height, levels, 0, channels == 4 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                                     D3DPOOL_MANAGED, &texture, nullptr);
  if (FAILED(hr)) return hr;
  UINT lw = width, lh = height;
  for (UINT level = 0; level < levels && SUCCEEDED(hr); ++level) {
    hr = PutLevel(texture, level, px, static_cast<size_t>(lw) * 4, lh);
    if (level + 1 == levels) break;
    std::vector<uint8_t> next(static_cast<size_t>(Half(lw)) * Half(lh) * 4);
    HalveInto(px, lw, lh, next.data());
    decoded.reset();
    current = std::move(next);
    px = current.data();
    lw = Half(lw);
    lh = Half(lh);
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

// Radiance HDR, decoded by the layer's reader as the loader does:
// A32B32G32R32F, a float box filter.
HRESULT FromHdr(IDirect3DDevice9* device, const std::vector<uint8_t>& file, IDirect3DTexture9** out) {
  d3dx::ImageHeader header;
  std::string why;
  d3dx::RgbaImage decoded;
  if (!d3dx::ReadImageHeader(file.data(), file.size(), &header, &why) || header.kind != d3dx::ImageKind::Hdr ||
      !d3dx::DecodeHdr(file.data(), file.size(), header, &decoded) || NextPowerOfTwo(decoded.width) != decoded.width ||
      NextPowerOfTwo(decoded.height) != decoded.height) {
    return D3DERR_INVALIDCALL;
  }
  const UINT w = decoded.width, h = decoded.height;
  UINT lw = static_cast<UINT>(w), lh = static_cast<UINT>(h);
  const UINT levels = ChainLength(lw, lh);
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = device->CreateTexture(lw, lh, levels, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &texture, nullptr);
  if (FAILED(hr)) return hr;
  const float* px = decoded.pixels.data();
  std::vector<float> current;
  for (UINT level = 0; level < levels && SUCCEEDED(hr); ++level) {
    hr = PutLevel(texture, level, px, static_cast<size_t>(lw) * 16, lh);
    if (level + 1 == levels) break;
    std::vector<float> next(static_cast<size_t>(Half(lw)) * Half(lh) * 4);
    HalveInto(px, lw, lh, next.data());
    decoded.pixels = {};
    current = std::move(next);
    px = current.data();
    lw = Half(lw);
    lh = Half(lh);
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

// One DXT1 level of 8-bit RGBA in BGRA order, 4x4 blocks, edge pixels repeated.
std::vector<uint8_t> EncodeDxt1(const uint8_t* bgra, UINT w, UINT h) {
  std::vector<uint8_t> blocks(static_cast<size_t>((w + 3) / 4) * ((h + 3) / 4) * 8);
  uint8_t* dst = blocks.data();
  for (UINT by = 0; by < h; by += 4) {
    for (UINT bx = 0; bx < w; bx += 4) {
      uint8_t rgba[64];
      for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
          const UINT sx = bx + x < w ? bx + x : w - 1, sy = by + y < h ? by + y : h - 1;
          const uint8_t* p = bgra + (static_cast<size_t>(sy) * w + sx) * 4;
          uint8_t* q = rgba + (y * 4 + x) * 4;
          q[0] = p[2];
          q[1] = p[1];
          q[2] = p[0];
          q[3] = p[3];
        }
      }
      stb_compress_dxt_block(dst, rgba, 0, STB_DXT_HIGHQUAL);
      dst += 8;
    }
  }
  return blocks;
}

// One DXT1 level to 8-bit BGRA (a w x h level of (w+3)/4 x (h+3)/4 blocks).
std::vector<uint8_t> DecodeDxt1(const uint8_t* blocks, UINT w, UINT h) {
  std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
  for (UINT by = 0; by < h; by += 4) {
    for (UINT bx = 0; bx < w; bx += 4, blocks += 8) {
      const unsigned c0 = blocks[0] | blocks[1] << 8, c1 = blocks[2] | blocks[3] << 8;
      uint8_t colours[4][4];
      for (int i = 0; i < 2; ++i) {
        const unsigned c = i == 0 ? c0 : c1;
        colours[i][0] = static_cast<uint8_t>((c & 31) * 255 / 31);
        colours[i][1] = static_cast<uint8_t>((c >> 5 & 63) * 255 / 63);
        colours[i][2] = static_cast<uint8_t>((c >> 11) * 255 / 31);
        colours[i][3] = 255;
      }
      for (int ch = 0; ch < 3; ++ch) {
        if (c0 > c1) {
          colours[2][ch] = static_cast<uint8_t>((2 * colours[0][ch] + colours[1][ch] + 1) / 3);
          colours[3][ch] = static_cast<uint8_t>((colours[0][ch] + 2 * colours[1][ch] + 1) / 3);
        } else {
          colours[2][ch] = static_cast<uint8_t>((colours[0][ch] + colours[1][ch] + 1) / 2);
          colours[3][ch] = 0;
        }
      }
      colours[2][3] = 255;
      colours[3][3] = c0 > c1 ? 255 : 0;
      const uint32_t bits = blocks[4] | blocks[5] << 8 | blocks[6] << 16 | static_cast<uint32_t>(blocks[7]) << 24;
      for (UINT y = 0; y < 4 && by + y < h; ++y) {
        for (UINT x = 0; x < 4 && bx + x < w; ++x) {
          std::memcpy(&bgra[(static_cast<size_t>(by + y) * w + bx + x) * 4], colours[bits >> (2 * (y * 4 + x)) & 3], 4);
        }
      }
    }
  }
  return bgra;
}

// A DXT1 DDS of power-of-two size: stored levels as they are, the rest made
// from the last stored one.
HRESULT FromDds(IDirect3DDevice9* device, const std::vector<uint8_t>& file, IDirect3DTexture9** out) {
  d3dx::DdsImage dds;
  if (d3dx::ParseDds(file.data(), file.size(), &dds) != d3dx::DdsError::None || dds.format != D3DFMT_DXT1 ||
      NextPowerOfTwo(dds.width) != dds.width || NextPowerOfTwo(dds.height) != dds.height) {
    return D3DERR_INVALIDCALL;
  }
  const UINT levels = ChainLength(dds.width, dds.height);
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = device->CreateTexture(dds.width, dds.height, levels, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr);
  if (FAILED(hr)) return hr;
  for (UINT i = 0; i < dds.levelCount && SUCCEEDED(hr); ++i) {
    const d3dx::DdsLevel& l = dds.levels[i];
    hr = PutLevel(texture, i, l.data, static_cast<size_t>((l.width + 3) / 4) * 8, (l.height + 3) / 4);
  }
  if (SUCCEEDED(hr) && dds.levelCount < levels) {
    const d3dx::DdsLevel& last = dds.levels[dds.levelCount - 1];
    UINT lw = last.width, lh = last.height;
    std::vector<uint8_t> current = DecodeDxt1(last.data, lw, lh);
    for (UINT level = dds.levelCount; level < levels && SUCCEEDED(hr); ++level) {
      std::vector<uint8_t> next(static_cast<size_t>(Half(lw)) * Half(lh) * 4);
      HalveInto(current.data(), lw, lh, next.data());
      current = std::move(next);
      lw = Half(lw);
      lh = Half(lh);
      const std::vector<uint8_t> blocks = EncodeDxt1(current.data(), lw, lh);
      hr = PutLevel(texture, level, blocks.data(), static_cast<size_t>((lw + 3) / 4) * 8, (lh + 3) / 4);
    }
  }
  if (FAILED(hr)) {
    texture->Release();
    return hr;
  }
  *out = texture;
  return D3D_OK;
}

}  // namespace

HRESULT LoadTextureFloor(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture) {
  std::vector<uint8_t> file;
  if (!ReadWhole(path, &file)) return D3DERR_INVALIDCALL;
  if (d3dx::IsDds(file.data(), file.size())) return FromDds(device, file, texture);
  if (file.size() >= 2 && file[0] == '#' && file[1] == '?') return FromHdr(device, file, texture);
  return FromPicture(device, file, texture);
}
