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
// An unreadable or missing file gives D3DXERR_INVALIDDATA, and so does an
// image file whose header is damaged or claims more pixels than the file
// can hold (ImageHeader.h); a texture whose working image would take more
// than d3dx::kMaxWorkingBytes (Pixels.h) gives E_OUTOFMEMORY. Both say why
// on the debug output.
#include <d3dx9.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "Dds.h"
#include "Hdr.h"
#include "ImageHeader.h"
#include "Pfm.h"
#include "Pixels.h"
#include "Pixels8.h"
#include "Pnm.h"
#include "StbImage.h"
#include "TextureLayout.h"
#include "Utf.h"


namespace {

using d3dx::RgbaImage;

// Refuses the file: says why on the debug output and gives `hr`.
HRESULT Refuse(HRESULT hr, const std::string& reason) {
  OutputDebugStringA(("D3DX: texture refused: " + reason + "\n").c_str());
  return hr;
}

std::string Size(uint64_t width, uint64_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// Decoding, resampling and the mip chain hold whole images of
// `pixelBytes` a pixel (Pixels.h): a texture that must be made from
// decoded pixels is refused when that image, at its rounded-up size, would
// take more than d3dx::kMaxWorkingBytes, whatever its file honestly holds.
HRESULT CheckDecodedSize(UINT width, UINT height, uint64_t pixelBytes = d3dx::kFloatPixelBytes) {
  const uint64_t w = d3dx::NextPowerOfTwo(width), h = d3dx::NextPowerOfTwo(height);
  const uint64_t most = d3dx::kMaxWorkingBytes / pixelBytes;
  if (w * h <= most) return D3D_OK;
  std::string what = Size(width, height);
  if (w != width || h != height) what += " (" + Size(w, h) + " once rounded up to powers of two)";
  return Refuse(E_OUTOFMEMORY, what + " is more than the " + std::to_string(most) + " pixels the loader decodes");
}

// One level to upload: either bytes inside the caller's file or our own.
struct Level {
  UINT width = 0;
  UINT height = 0;
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t> owned;
  d3dx::ByteBuffer adopted;  // or a decoded picture taken over
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
HRESULT ChainFromRgba(Chain* chain, RgbaImage image) {
  const HRESULT hr = CheckDecodedSize(image.width, image.height);
  if (FAILED(hr)) return hr;
  const UINT w = d3dx::NextPowerOfTwo(image.width), h = d3dx::NextPowerOfTwo(image.height);
  if (w != image.width || h != image.height) image = d3dx::Resample(image, w, h);
  if (chain->format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha(image)) chain->format = D3DFMT_A8R8G8B8;
  AddOwned(chain, d3dx::EncodeLevel(chain->format, image), w, h);
  AddGeneratedLevels(chain, std::move(image));
  return D3D_OK;
}

// Appends box-filtered levels in 8.8 fixed point (Pixels8.h) down to 1x1.
void AddGeneratedLevelsFixed(Chain* chain, d3dx::FixedRgbaImage level) {
  AddOwned(chain, d3dx::EncodeFixed(chain->format, level), level.width, level.height);
  while (level.width > 1 || level.height > 1) {
    level = d3dx::BoxDownsampleFixed(level);
    AddOwned(chain, d3dx::EncodeFixed(chain->format, level), level.width, level.height);
  }
}

// The same from 8-bit RGBA, for the formats image files load as: the
// resample to bytes, the first box filter from them into 8.8 fixed point,
// every later step in 8.8 (Pixels8.h). X8R8G8B8 and A8R8G8B8 take the
// picture's own bytes as their top level, reordered in place.
HRESULT ChainFromRgba8(Chain* chain, d3dx::Rgba8Image image) {
  const HRESULT hr = CheckDecodedSize(image.width, image.height, d3dx::kFixedPixelBytes);
  if (FAILED(hr)) return hr;
  if (!d3dx::CanEncodeFixed(chain->format)) return D3DXERR_INVALIDDATA;
  const UINT w = d3dx::NextPowerOfTwo(image.width), h = d3dx::NextPowerOfTwo(image.height);
  if (w != image.width || h != image.height) image = d3dx::Resample8(image, w, h);
  d3dx::FixedRgbaImage next;
  if (w > 1 || h > 1) next = d3dx::BoxDownsample8(image);
  if (chain->format == D3DFMT_X8R8G8B8 || chain->format == D3DFMT_A8R8G8B8) {
    d3dx::SwizzleToBgra(chain->format, &image);
    Level level;
    level.width = w;
    level.height = h;
    level.adopted = std::move(image.pixels);
    level.data = level.adopted.data();
    level.size = level.adopted.size();
    chain->levels.push_back(std::move(level));
  } else {
    AddOwned(chain, d3dx::Encode8(chain->format, image), w, h);
    image = {};
  }
  if (w > 1 || h > 1) AddGeneratedLevelsFixed(chain, std::move(next));
  return D3D_OK;
}

HRESULT Decode(D3DFORMAT format, const d3dx::DdsLevel& level, RgbaImage* image) {
  const HRESULT hr = CheckDecodedSize(level.width, level.height);
  if (FAILED(hr)) return hr;
  return d3dx::DecodeLevel(format, level.data, level.size, level.width, level.height, image) ? D3D_OK
                                                                                                : D3DXERR_INVALIDDATA;
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
    HRESULT hr = CheckDecodedSize(dds.width, dds.height);
    RgbaImage top;
    if (SUCCEEDED(hr)) hr = Decode(dds.format, dds.levels[0], &top);
    return FAILED(hr) ? hr : ChainFromRgba(chain, std::move(top));
  }
  // Levels the file lacks are made from its last one.
  const bool generate = dds.levelCount < ostrevin::formats::FullChainLength(dds.width, dds.height);
  // A block format made again from its own levels keeps 8-bit samples
  // (Pixels8.h); other formats go through float RGBA.
  const d3dx::DdsLevel& lastStored = dds.levels[dds.levelCount - 1];
  const bool bytes = generate && info.compressed && chain->format == dds.format && d3dx::CanEncodeFixed(dds.format);
  RgbaImage last;
  d3dx::Rgba8Image last8;
  if (bytes) {
    HRESULT hr = CheckDecodedSize(lastStored.width, lastStored.height);
    if (SUCCEEDED(hr) && !d3dx::DecodeBlocks8(dds.format, lastStored.data, lastStored.size, lastStored.width,
                                              lastStored.height, &last8)) {
      hr = D3DXERR_INVALIDDATA;
    }
    if (FAILED(hr)) return hr;
    if (chain->format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha8(last8)) chain->format = D3DFMT_A8R8G8B8;
  } else if (generate) {
    const HRESULT hr = Decode(dds.format, lastStored, &last);
    if (FAILED(hr)) return hr;
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
    } else if (bytes) {  // DXT1 with cut-out alpha, made A8R8G8B8
      d3dx::Rgba8Image image;
      if (!d3dx::DecodeBlocks8(dds.format, stored.data, stored.size, stored.width, stored.height, &image))
        return D3DXERR_INVALIDDATA;
      AddOwned(chain, d3dx::Encode8(chain->format, image), stored.width, stored.height);
    } else {
      RgbaImage image;
      const HRESULT hr = Decode(dds.format, stored, &image);
      if (FAILED(hr)) return hr;
      AddOwned(chain, d3dx::EncodeLevel(chain->format, image), stored.width, stored.height);
    }
  }
  if (bytes) {
    d3dx::FixedRgbaImage level = d3dx::BoxDownsample8(last8);
    last8 = {};
    AddGeneratedLevelsFixed(chain, std::move(level));
  } else if (generate) {
    AddGeneratedLevels(chain, std::move(last));
  }
  return D3D_OK;
}

// PFM, PGM, PPM and Radiance HDR through readers of ours; PNG, JPEG, BMP and
// TGA through stb_image once their headers have passed ours and the file
// is long enough to hold what the header claims.
HRESULT ChainFromImageFile(const uint8_t* data, size_t size, Chain* chain) {
  if (d3dx::IsPfm(data, size)) {
    RgbaImage image;
    bool grey = false;
    if (!d3dx::ParsePfm(data, size, &image, &grey)) return D3DXERR_INVALIDDATA;
    chain->format = grey ? D3DFMT_R32F : D3DFMT_A32B32G32R32F;
    return ChainFromRgba(chain, std::move(image));
  }
  d3dx::ImageHeader header;
  std::string why;
  if (!d3dx::ReadImageHeader(data, size, &header, &why)) return Refuse(D3DXERR_INVALIDDATA, why);
  if (header.leastBytes > size) {
    return Refuse(D3DXERR_INVALIDDATA, std::string(d3dx::ImageKindName(header.kind)) + " header claims " +
                                           Size(header.width, header.height) + " pixels, which take at least " +
                                           std::to_string(header.leastBytes) + " bytes; the file has " +
                                           std::to_string(size));
  }
  const bool floats = header.kind == d3dx::ImageKind::Hdr;
  const HRESULT hr =
      CheckDecodedSize(header.width, header.height, floats ? d3dx::kFloatPixelBytes : d3dx::kFixedPixelBytes);
  if (FAILED(hr)) return hr;
  if (floats) {
    RgbaImage image;
    if (!d3dx::DecodeHdr(data, size, header, &image)) return D3DXERR_INVALIDDATA;
    chain->format = D3DFMT_A32B32G32R32F;
    return ChainFromRgba(chain, std::move(image));
  }
  d3dx::Rgba8Image image;
  int channels = 3;
  if (header.kind == d3dx::ImageKind::Pnm) {
    if (!d3dx::DecodePnm(data, size, header, &image)) return D3DXERR_INVALIDDATA;
    channels = static_cast<int>(header.channels);
  } else if (!d3dx::DecodeWithStb(data, size, header, &image, &channels)) {
    return D3DXERR_INVALIDDATA;
  }
  static const D3DFORMAT kByChannels[] = {D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
  chain->format = kByChannels[channels >= 1 && channels <= 4 ? channels : 0];
  return ChainFromRgba8(chain, std::move(image));
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
