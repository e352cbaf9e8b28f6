// D3DXCreateTextureFromFileW and D3DXCreateTextureFromFileInMemory with the
// SDK's default options: the size from the file rounded up to powers of two
// (bilinear resample), the full mip chain (levels the file lacks are made
// with a box filter), the file's format (a DDS format the device lacks is
// converted to the one D3DX picks; image files: L8, A8L8, X8R8G8B8 or
// A8R8G8B8 by their channels; Radiance HDR and colour PFM A32B32G32R32F,
// grey PFM R32F), usage 0, D3DPOOL_MANAGED. Files: DDS, PNG, JPEG, BMP (and
// DIB), TGA, binary PGM and PPM, HDR, PFM.
//
// A DDS whose size is not a power of two is resampled from its top level and
// its stored levels are dropped; every level is encoded once. DXT1 that must
// be encoded again and has cut-out alpha is made A8R8G8B8 (stb_dxt writes no
// one-bit alpha). BC7 is never decoded: one that needs resizing or levels is
// refused. Not done: checks against the device's caps (largest size,
// supported formats) and the dither of D3DX's default filter.
// An unreadable or missing file gives D3DXERR_INVALIDDATA.
#include <d3dx9.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "Dds.h"
#include "Pfm.h"
#include "Pixels.h"
#include "TextureLayout.h"
#include "Utf.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_ONLY_HDR
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

namespace {

using d3dx::RgbaImage;

// Decoded image files above this many pixels are refused (a 8192x8192 RGBA
// image is 256 MiB), whatever their header claims.
constexpr uint64_t kMaxImagePixels = 8192ull * 8192ull;

// The most pixels one byte of each kind of file can describe, with margin:
// PNG at 1 bit per pixel through deflate's best ratio (1032:1), baseline or
// progressive JPEG at one bit per 8x8 block, BMP at 1 bit per pixel (stb
// reads no RLE BMP), TGA through 128-pixel runs. A header claiming more than
// its file can hold is refused before anything is decoded, so a few bytes
// never make the decoder fill a huge image.
uint64_t MaxPixelsPerByte(const uint8_t* data, size_t size) {
  if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return 8300;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return 1024;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return 16;
  if (size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6')) return 1;  // PGM, PPM: a byte a pixel at least
  if (size >= 2 && data[0] == '#' && data[1] == '?') return 64;  // Radiance HDR: runs of 127 per channel
  return 128;  // TGA: stb's last guess, no magic
}

// A binary PGM or PPM that stb can read safely: 8-bit samples (its 16-bit
// path reads past a short raster) and the whole raster present.
bool PnmFits(const uint8_t* data, size_t size) {
  size_t pos = 2;
  uint64_t fields[3] = {0, 0, 0};
  for (uint64_t& field : fields) {
    while (pos < size && (std::isspace(data[pos]) || data[pos] == '#')) {
      if (data[pos] == '#') {
        while (pos < size && data[pos] != '\n') ++pos;
      } else {
        ++pos;
      }
    }
    if (pos >= size || !std::isdigit(data[pos])) return false;
    while (pos < size && std::isdigit(data[pos]) && field < (1u << 20)) field = field * 10 + (data[pos++] - '0');
  }
  if (fields[2] == 0 || fields[2] > 255) return false;
  ++pos;  // the one whitespace byte before the raster
  const uint64_t channels = data[1] == '6' ? 3 : 1;
  return pos <= size && fields[0] * fields[1] * channels <= size - pos;
}

// One level to upload: either bytes inside the caller's file or our own.
struct Level {
  UINT width = 0;
  UINT height = 0;
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t> owned;
};

struct Chain {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::vector<Level> levels;
};

void AddOwned(Chain* chain, std::vector<uint8_t> bytes, UINT width, UINT height) {
  Level level;
  level.width = width;
  level.height = height;
  level.owned = std::move(bytes);
  level.data = level.owned.data();
  level.size = level.owned.size();
  chain->levels.push_back(std::move(level));
}

// Appends box-filtered levels after `image` (already in the chain) down to 1x1.
void AddGeneratedLevels(Chain* chain, RgbaImage image) {
  while (image.width > 1 || image.height > 1) {
    image = d3dx::BoxDownsample(image);
    AddOwned(chain, d3dx::EncodeLevel(chain->format, image), image.width, image.height);
  }
}

// A chain from RGBA: resampled to powers of two, then the full mip chain.
// DXT1 loses cut-out alpha in the opaque encoder: such an image is made
// A8R8G8B8 instead.
bool ChainFromRgba(Chain* chain, RgbaImage image) {
  const UINT w = d3dx::NextPowerOfTwo(image.width), h = d3dx::NextPowerOfTwo(image.height);
  if (static_cast<uint64_t>(w) * h > d3dx::kMaxDecodedPixels) return false;
  if (w != image.width || h != image.height) image = d3dx::Resample(image, w, h);
  if (chain->format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha(image)) chain->format = D3DFMT_A8R8G8B8;
  AddOwned(chain, d3dx::EncodeLevel(chain->format, image), w, h);
  AddGeneratedLevels(chain, std::move(image));
  return true;
}

bool Decode(D3DFORMAT format, const d3dx::DdsLevel& level, RgbaImage* image) {
  return d3dx::DecodeLevel(format, level.data, level.size, level.width, level.height, image);
}

// The texture of a DDS file in the format the device takes (the file's, or
// the one D3DX converts it to), each level converted or encoded at most once.
HRESULT ChainFromDds(const uint8_t* data, size_t size, Chain* chain) {
  d3dx::DdsImage dds;
  if (d3dx::ParseDds(data, size, &dds) != d3dx::DdsError::None) return D3DXERR_INVALIDDATA;
  const ostrevin::formats::FormatInfo& info = *ostrevin::formats::FindFormat(dds.format);
  chain->format = ostrevin::formats::OnDevice(info) ? dds.format : info.loadAs;
  const bool powerOfTwo = d3dx::NextPowerOfTwo(dds.width) == dds.width && d3dx::NextPowerOfTwo(dds.height) == dds.height;
  if (!powerOfTwo) {
    // The stored levels do not fit the rounded-up size: resample the top
    // level and build the chain again.
    RgbaImage top;
    if (!Decode(dds.format, dds.levels[0], &top) || !ChainFromRgba(chain, std::move(top))) return D3DXERR_INVALIDDATA;
    return D3D_OK;
  }
  // Levels the file lacks are made from its last one.
  const bool generate = dds.levelCount < ostrevin::formats::FullChainLength(dds.width, dds.height);
  RgbaImage last;
  if (generate) {
    if (!Decode(dds.format, dds.levels[dds.levelCount - 1], &last)) return D3DXERR_INVALIDDATA;
    if (chain->format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha(last)) chain->format = D3DFMT_A8R8G8B8;
  }
  for (UINT i = 0; i < dds.levelCount; ++i) {
    const d3dx::DdsLevel& stored = dds.levels[i];
    if (chain->format == dds.format) {
      Level level;
      level.width = stored.width;
      level.height = stored.height;
      level.data = stored.data;
      level.size = stored.size;
      chain->levels.push_back(std::move(level));
    } else {
      RgbaImage image;
      if (!Decode(dds.format, stored, &image)) return D3DXERR_INVALIDDATA;
      AddOwned(chain, d3dx::EncodeLevel(chain->format, image), stored.width, stored.height);
    }
  }
  if (generate) AddGeneratedLevels(chain, std::move(last));
  return D3D_OK;
}

HRESULT ChainFromImageFile(const uint8_t* data, size_t size, Chain* chain) {
  if (d3dx::IsPfm(data, size)) {
    RgbaImage image;
    bool grey = false;
    if (!d3dx::ParsePfm(data, size, &image, &grey)) return D3DXERR_INVALIDDATA;
    chain->format = grey ? D3DFMT_R32F : D3DFMT_A32B32G32R32F;
    return ChainFromRgba(chain, std::move(image)) ? D3D_OK : D3DXERR_INVALIDDATA;
  }
  if (size > static_cast<size_t>(INT_MAX)) return D3DXERR_INVALIDDATA;
  if (size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6') && !PnmFits(data, size)) {
    return D3DXERR_INVALIDDATA;
  }
  const int length = static_cast<int>(size);
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(data, length, &w, &h, &channels)) return D3DXERR_INVALIDDATA;
  const uint64_t pixels = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
  if (w <= 0 || h <= 0 || pixels > kMaxImagePixels || pixels > MaxPixelsPerByte(data, size) * size) {
    return D3DXERR_INVALIDDATA;
  }
  RgbaImage image;
  image.width = static_cast<UINT>(w);
  image.height = static_cast<UINT>(h);
  image.pixels.resize(static_cast<size_t>(w) * h * 4);
  if (stbi_is_hdr_from_memory(data, length)) {
    std::unique_ptr<float, void (*)(void*)> decoded(stbi_loadf_from_memory(data, length, &w, &h, &channels, 4),
                                                    stbi_image_free);
    if (!decoded || static_cast<UINT>(w) != image.width || static_cast<UINT>(h) != image.height) {
      return D3DXERR_INVALIDDATA;
    }
    std::memcpy(image.pixels.data(), decoded.get(), image.pixels.size() * sizeof(float));
    chain->format = D3DFMT_A32B32G32R32F;
  } else {
    std::unique_ptr<stbi_uc, void (*)(void*)> decoded(stbi_load_from_memory(data, length, &w, &h, &channels, 4),
                                                      stbi_image_free);
    if (!decoded || static_cast<UINT>(w) != image.width || static_cast<UINT>(h) != image.height) {
      return D3DXERR_INVALIDDATA;
    }
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<float>(decoded.get()[i]) / 255.0f;
    static const D3DFORMAT kByChannels[] = {D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    chain->format = kByChannels[channels >= 1 && channels <= 4 ? channels : 0];
  }
  return ChainFromRgba(chain, std::move(image)) ? D3D_OK : D3DXERR_INVALIDDATA;
}

HRESULT Upload(IDirect3DDevice9* device, const Chain& chain, IDirect3DTexture9** ppTexture) {
  const Level& top = chain.levels[0];
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = device->CreateTexture(top.width, top.height, static_cast<UINT>(chain.levels.size()), 0, chain.format,
                                     D3DPOOL_MANAGED, &texture, nullptr);
  if (FAILED(hr)) return hr;
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  for (UINT i = 0; i < chain.levels.size(); ++i) {
    const Level& level = chain.levels[i];
    const uint64_t rowBytes = ostrevin::formats::RowBytes(chain.format, level.width);
    const UINT rows = ostrevin::formats::RowCount(chain.format, level.height);
    D3DLOCKED_RECT locked;
    hr = texture->LockRect(i, &locked, nullptr, 0);
    if (SUCCEEDED(hr) && (locked.pBits == nullptr || locked.Pitch < 0 || static_cast<uint64_t>(locked.Pitch) < rowBytes)) {
      texture->UnlockRect(i);
      hr = D3DERR_INVALIDCALL;
    }
    if (FAILED(hr)) {
      texture->Release();
      return hr;
    }
    uint8_t* dst = static_cast<uint8_t*>(locked.pBits);
    for (UINT row = 0; row < rows; ++row) {
      std::memcpy(dst + static_cast<size_t>(row) * static_cast<size_t>(locked.Pitch), level.data + row * rowBytes,
                  static_cast<size_t>(rowBytes));
    }
    hr = texture->UnlockRect(i);
    if (FAILED(hr)) {
      texture->Release();
      return hr;
    }
  }
  *ppTexture = texture;
  return D3D_OK;
}

// UTF-32 file name to UTF-8; '\' becomes '/' as Windows treats both as
// separators. False for a code point that UTF-8 cannot carry.
bool FileNameToUtf8(const wchar_t* name, std::string* out) {
  std::string utf8;
  for (const wchar_t* p = name; *p != L'\0'; ++p) {
    if (*p == L'\\') {
      utf8 += '/';
      continue;
    }
    char bytes[4];
    const size_t n = ostrevin::utf::EncodeUtf8(static_cast<uint32_t>(*p), bytes);
    if (n == 0) return false;
    utf8.append(bytes, n);
  }
  *out = std::move(utf8);
  return true;
}

bool ReadFile(const std::string& name, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  struct stat info;
  bool ok = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && std::fseek(file, 0, SEEK_END) == 0;
  const long length = ok ? std::ftell(file) : -1;
  ok = ok && length >= 0 && static_cast<unsigned long>(length) <= UINT_MAX && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes->resize(static_cast<size_t>(length));
    ok = length == 0 || std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
  }
  std::fclose(file);
  return ok;
}

}  // namespace

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture) {
  if (pDevice == nullptr || ppTexture == nullptr || pSrcData == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  if (SrcDataSize == 0) return D3DXERR_INVALIDDATA;
  const uint8_t* data = static_cast<const uint8_t*>(pSrcData);
  Chain chain;
  const HRESULT hr =
      d3dx::IsDds(data, SrcDataSize) ? ChainFromDds(data, SrcDataSize, &chain) : ChainFromImageFile(data, SrcDataSize, &chain);
  if (FAILED(hr)) return hr;
  return Upload(pDevice, chain, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture) {
  if (pDevice == nullptr || ppTexture == nullptr || pSrcFile == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  std::string name;
  std::vector<uint8_t> bytes;
  if (!FileNameToUtf8(pSrcFile, &name) || !ReadFile(name, &bytes) || bytes.empty()) return D3DXERR_INVALIDDATA;
  return D3DXCreateTextureFromFileInMemory(pDevice, bytes.data(), static_cast<UINT>(bytes.size()), ppTexture);
}
