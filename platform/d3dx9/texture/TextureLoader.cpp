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
// Memory: the texture is made once the picture is decoded, each level is
// written straight into its locked level, and the file's bytes (when
// loading from a file) and the picture go as soon as they are no longer
// read; the levels below an 8-bit top level are made a few rows at a time.
// An unreadable or missing file gives D3DXERR_INVALIDDATA, and so does an
// image file whose header is damaged or claims more pixels than the file
// can hold (ImageHeader.h); a texture whose working image would take more
// than d3dx::kMaxWorkingBytes (Pixels.h) gives E_OUTOFMEMORY. Both say why
// on the debug output.
#include <d3dx9.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "Dds.h"
#include "Hdr.h"
#include "ImageHeader.h"
#include "MipRows.h"
#include "Pfm.h"
#include "Pixels.h"
#include "Pixels8.h"
#include "Pnm.h"
#include "JpegImage.h"
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

// Decoding and resampling hold whole images, counted at `pixelBytes` a
// pixel (Pixels.h): a texture that must be made from
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

// The file's bytes while the loader needs them. Loading from a file, the
// loader owns them and lets them go as soon as the picture is decoded
// (before the texture is made); from the caller's memory it only reads them.
struct Source {
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t>* owned = nullptr;  // the file's bytes, when ours

  void Release() {
    if (owned != nullptr) std::vector<uint8_t>().swap(*owned);
    owned = nullptr;
    data = nullptr;
    size = 0;
  }
};

// The texture being made, level by level: created once its size, format and
// level count are known; each level is written straight into the memory
// LockRect gives and handed to GL by UnlockRect, so that no level is held
// by the loader besides the texture. Released unless taken.
class TextureWriter {
 public:
  explicit TextureWriter(IDirect3DDevice9* device) : m_device(device) {}
  TextureWriter(const TextureWriter&) = delete;
  TextureWriter& operator=(const TextureWriter&) = delete;
  ~TextureWriter() {
    if (m_texture != nullptr) m_texture->Release();
  }

  HRESULT Create(UINT width, UINT height, UINT levels, D3DFORMAT format) {
    const HRESULT hr =
        m_device->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED, &m_texture, nullptr);
    if (FAILED(hr)) return hr;
    if (m_texture == nullptr) return D3DERR_INVALIDCALL;
    m_format = format;
    return D3D_OK;
  }

  // Level `level`'s rows (rows of blocks when compressed) at *bits, *pitch
  // bytes apart, until Unlock.
  HRESULT Lock(UINT level, uint8_t** bits, size_t* pitch) {
    D3DSURFACE_DESC desc;
    HRESULT hr = m_texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked;
    hr = m_texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (locked.pBits == nullptr || locked.Pitch < 0 ||
        static_cast<uint64_t>(locked.Pitch) < ostrevin::formats::RowBytes(m_format, desc.Width)) {
      m_texture->UnlockRect(level);
      return D3DERR_INVALIDCALL;
    }
    *bits = static_cast<uint8_t*>(locked.pBits);
    *pitch = static_cast<size_t>(locked.Pitch);
    return D3D_OK;
  }

  HRESULT Unlock(UINT level) { return m_texture->UnlockRect(level); }

  // Levels `first` on, to the last, locked together for MipRows; all or none.
  HRESULT LockBelow(UINT first, std::vector<d3dx::MipRows::Target>* targets) {
    for (UINT level = first; level < m_texture->GetLevelCount(); ++level) {
      d3dx::MipRows::Target target;
      const HRESULT hr = Lock(level, &target.bits, &target.pitch);
      if (FAILED(hr)) {
        for (UINT locked = first; locked < level; ++locked) Unlock(locked);
        return hr;
      }
      targets->push_back(target);
    }
    return D3D_OK;
  }

  HRESULT UnlockBelow(UINT first) {
    HRESULT result = D3D_OK;
    for (UINT level = first; level < m_texture->GetLevelCount(); ++level) {
      const HRESULT hr = Unlock(level);
      if (SUCCEEDED(result)) result = hr;
    }
    return result;
  }

  // Locks level `level`, has `write(bits, pitch)` fill it and unlocks it.
  template <typename Write>
  HRESULT Put(UINT level, Write&& write) {
    uint8_t* bits = nullptr;
    size_t pitch = 0;
    const HRESULT hr = Lock(level, &bits, &pitch);
    if (FAILED(hr)) return hr;
    write(bits, pitch);
    return Unlock(level);
  }

  // Copies `rows` rows of `rowBytes` bytes, `rowBytes` apart, into `level`.
  HRESULT PutBytes(UINT level, const uint8_t* data, size_t rowBytes, UINT rows) {
    return Put(level, [&](uint8_t* bits, size_t pitch) {
      for (UINT row = 0; row < rows; ++row) std::memcpy(bits + row * pitch, data + row * rowBytes, rowBytes);
    });
  }

  D3DFORMAT Format() const { return m_format; }

  IDirect3DTexture9* Take() {
    IDirect3DTexture9* texture = m_texture;
    m_texture = nullptr;
    return texture;
  }

 private:
  IDirect3DDevice9* m_device;
  IDirect3DTexture9* m_texture = nullptr;
  D3DFORMAT m_format = D3DFMT_UNKNOWN;
};

// Writes box-filtered levels from `level` + 1 on, each made from `image`
// (level `level`, already written), down to 1x1.
HRESULT PutGeneratedLevels(TextureWriter* out, UINT level, RgbaImage image) {
  while (image.width > 1 || image.height > 1) {
    image = d3dx::BoxDownsample(image);
    const HRESULT hr = out->Put(++level, [&](uint8_t* bits, size_t pitch) {
      d3dx::EncodeLevel(out->Format(), image, bits, pitch);
    });
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

// A32B32G32R32F's levels are float RGBA as they are stored: with level
// `level` written and locked at `bits`, each level below is box-filtered from
// the one above it in the texture, which is then unlocked.
HRESULT PutFloatLevelsBelow(TextureWriter* out, UINT level, uint8_t* bits, size_t pitch, UINT width, UINT height) {
  while (width > 1 || height > 1) {
    uint8_t* nextBits = nullptr;
    size_t nextPitch = 0;
    HRESULT hr = out->Lock(level + 1, &nextBits, &nextPitch);
    if (SUCCEEDED(hr)) {
      d3dx::BoxDownsample(reinterpret_cast<const float*>(bits), width, height, pitch / sizeof(float),
                          reinterpret_cast<float*>(nextBits), nextPitch / sizeof(float));
    }
    const HRESULT unlocked = out->Unlock(level);
    if (FAILED(hr) || FAILED(unlocked)) {
      if (SUCCEEDED(hr)) out->Unlock(level + 1);
      return FAILED(hr) ? hr : unlocked;
    }
    ++level;
    bits = nextBits;
    pitch = nextPitch;
    width = std::max<UINT>(1, width / 2);
    height = std::max<UINT>(1, height / 2);
  }
  return out->Unlock(level);
}

// A texture from RGBA in `format`: resampled to powers of two, then the
// full mip chain. DXT1 loses cut-out alpha in the opaque encoder: such an
// image is made A8R8G8B8 instead.
HRESULT TextureFromRgba(Source* source, TextureWriter* out, D3DFORMAT format, RgbaImage image) {
  source->Release();
  HRESULT hr = CheckDecodedSize(image.width, image.height);
  if (FAILED(hr)) return hr;
  const UINT w = d3dx::NextPowerOfTwo(image.width), h = d3dx::NextPowerOfTwo(image.height);
  if (w != image.width || h != image.height) image = d3dx::Resample(image, w, h);
  if (format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha(image)) format = D3DFMT_A8R8G8B8;
  hr = out->Create(w, h, ostrevin::formats::FullChainLength(w, h), format);
  if (FAILED(hr)) return hr;
  if (format != D3DFMT_A32B32G32R32F) {
    hr = out->Put(0, [&](uint8_t* bits, size_t pitch) { d3dx::EncodeLevel(format, image, bits, pitch); });
    return FAILED(hr) ? hr : PutGeneratedLevels(out, 0, std::move(image));
  }
  uint8_t* bits = nullptr;
  size_t pitch = 0;
  hr = out->Lock(0, &bits, &pitch);
  if (FAILED(hr)) return hr;
  d3dx::EncodeLevel(format, image, bits, pitch);
  image = {};
  return PutFloatLevelsBelow(out, 0, bits, pitch, w, h);
}

// Radiance HDR of power-of-two size, decoded straight into the texture's
// top level.
HRESULT TextureFromHdr(Source* source, TextureWriter* out, const d3dx::ImageHeader& header) {
  const UINT w = header.width, h = header.height;
  HRESULT hr = out->Create(w, h, ostrevin::formats::FullChainLength(w, h), D3DFMT_A32B32G32R32F);
  uint8_t* bits = nullptr;
  size_t pitch = 0;
  if (SUCCEEDED(hr)) hr = out->Lock(0, &bits, &pitch);
  if (FAILED(hr)) return hr;
  if (!d3dx::DecodeHdr(source->data, source->size, header, bits, pitch)) {
    out->Unlock(0);
    return D3DXERR_INVALIDDATA;
  }
  source->Release();
  return PutFloatLevelsBelow(out, 0, bits, pitch, w, h);
}

// The same from 8-bit RGBA, for the formats image files load as: the
// resample to bytes, the levels below made row by row in 8.8 fixed point
// (MipRows.h). X8R8G8B8 and A8R8G8B8 take the top level resampled or
// reordered straight into the texture, and the picture goes before the
// levels below are made from the texture's copy: the picture and the
// texture are held together only while the top level is written.
HRESULT TextureFromRgba8(Source* source, TextureWriter* out, D3DFORMAT format, d3dx::Rgba8Image image) {
  source->Release();
  HRESULT hr = CheckDecodedSize(image.width, image.height, d3dx::kFixedPixelBytes);
  if (FAILED(hr)) return hr;
  if (!d3dx::CanEncodeFixed(format)) return D3DXERR_INVALIDDATA;
  const UINT w = d3dx::NextPowerOfTwo(image.width), h = d3dx::NextPowerOfTwo(image.height);
  const bool resample = w != image.width || h != image.height;
  const bool bgra = format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
  if (resample && !bgra) image = d3dx::Resample8(image, w, h);
  hr = out->Create(w, h, ostrevin::formats::FullChainLength(w, h), format);
  if (FAILED(hr)) return hr;
  uint8_t* bits = nullptr;
  size_t pitch = 0;
  hr = out->Lock(0, &bits, &pitch);
  if (FAILED(hr)) return hr;
  if (bgra && resample) {
    d3dx::Resample8(image, w, h, bits, pitch);
    d3dx::SwizzleToBgra(format, bits, w, h, pitch);
  } else {
    d3dx::Encode8(format, image, bits, pitch);
  }
  if (bgra) image = {};
  std::vector<d3dx::MipRows::Target> targets;
  hr = out->LockBelow(1, &targets);
  if (SUCCEEDED(hr)) {
    d3dx::MipRows mips(format, w, h, bgra, targets.data());
    if (bgra) {
      mips.PushSourceRows(bits, h, pitch);
    } else {
      mips.PushSourceRows(image.pixels.data(), h, static_cast<size_t>(w) * 4);
    }
  }
  // The top level first: the upload that makes the GL texture takes every
  // level, and the top one is then not uploaded twice.
  const HRESULT unlocked = out->Unlock(0);
  if (SUCCEEDED(hr)) hr = out->UnlockBelow(1);
  return FAILED(hr) ? hr : unlocked;
}

HRESULT Decode(D3DFORMAT format, const d3dx::DdsLevel& level, RgbaImage* image) {
  const HRESULT hr = CheckDecodedSize(level.width, level.height);
  if (FAILED(hr)) return hr;
  return d3dx::DecodeLevel(format, level.data, level.size, level.width, level.height, image) ? D3D_OK
                                                                                                : D3DXERR_INVALIDDATA;
}

// The texture of a DDS file in the format the device takes (the file's, or
// the one D3DX converts it to), each level converted or encoded at most once.
HRESULT TextureFromDds(Source* source, TextureWriter* out) {
  d3dx::DdsImage dds;
  if (d3dx::ParseDds(source->data, source->size, &dds) != d3dx::DdsError::None) return D3DXERR_INVALIDDATA;
  const ostrevin::formats::FormatInfo& info = *ostrevin::formats::FindFormat(dds.format);
  D3DFORMAT format = ostrevin::formats::OnDevice(info) ? dds.format : info.loadAs;
  const bool powerOfTwo = d3dx::NextPowerOfTwo(dds.width) == dds.width && d3dx::NextPowerOfTwo(dds.height) == dds.height;
  if (!powerOfTwo) {
    // The stored levels do not fit the rounded-up size: resample the top
    // level and build the chain again.
    HRESULT hr = CheckDecodedSize(dds.width, dds.height);
    RgbaImage top;
    if (SUCCEEDED(hr)) hr = Decode(dds.format, dds.levels[0], &top);
    return FAILED(hr) ? hr : TextureFromRgba(source, out, format, std::move(top));
  }
  // Levels the file lacks are made from its last one.
  const UINT fullChain = ostrevin::formats::FullChainLength(dds.width, dds.height);
  const bool generate = dds.levelCount < fullChain;
  // A block format made again from its own levels keeps 8-bit samples
  // (Pixels8.h); other formats go through float RGBA.
  const d3dx::DdsLevel& lastStored = dds.levels[dds.levelCount - 1];
  const bool bytes = generate && info.compressed && format == dds.format && d3dx::CanEncodeFixed(dds.format);
  RgbaImage last;
  if (bytes) {
    const HRESULT hr = CheckDecodedSize(lastStored.width, lastStored.height);
    if (FAILED(hr)) return hr;
    if (ostrevin::formats::LevelBytes(dds.format, lastStored.width, lastStored.height) > lastStored.size)
      return D3DXERR_INVALIDDATA;
    if (format == D3DFMT_DXT1 &&
        d3dx::HasCutOutAlpha8(dds.format, lastStored.data, lastStored.size, lastStored.width, lastStored.height)) {
      format = D3DFMT_A8R8G8B8;
    }
  } else if (generate) {
    const HRESULT hr = Decode(dds.format, lastStored, &last);
    if (FAILED(hr)) return hr;
    if (format == D3DFMT_DXT1 && d3dx::HasCutOutAlpha(last)) format = D3DFMT_A8R8G8B8;
  }
  HRESULT hr = out->Create(dds.width, dds.height, generate ? fullChain : dds.levelCount, format);
  if (FAILED(hr)) return hr;
  // A block format's rows of blocks, decoded to bytes a row of blocks at a time.
  std::vector<uint8_t> band(bytes ? static_cast<size_t>(dds.width) * 4 * 4 : 0);
  const UINT blockBytes = info.blockBytes;
  auto forEachBlockRow = [&](const d3dx::DdsLevel& level, auto&& use) {
    const size_t rowBytes = static_cast<size_t>((level.width + 3) / 4) * blockBytes;
    for (UINT y = 0; y < level.height; y += 4) {
      const UINT rows = std::min<UINT>(4, level.height - y);
      d3dx::DecodeBlockRow8(dds.format, level.data + (y / 4) * rowBytes, level.width, rows, band.data());
      use(y, rows);
    }
  };
  for (UINT i = 0; i < dds.levelCount; ++i) {
    const d3dx::DdsLevel& stored = dds.levels[i];
    if (format == dds.format) {
      hr = out->PutBytes(i, stored.data, static_cast<size_t>(ostrevin::formats::RowBytes(format, stored.width)),
                         ostrevin::formats::RowCount(format, stored.height));
    } else if (bytes) {  // DXT1 with cut-out alpha, made A8R8G8B8
      if (ostrevin::formats::LevelBytes(dds.format, stored.width, stored.height) > stored.size)
        return D3DXERR_INVALIDDATA;
      hr = out->Put(i, [&](uint8_t* bits, size_t pitch) {
        forEachBlockRow(stored, [&](UINT y, UINT rows) {
          d3dx::EncodeRows(format, band.data(), stored.width, rows, bits + y * pitch, pitch);
        });
      });
    } else {
      RgbaImage image;
      hr = Decode(dds.format, stored, &image);
      if (SUCCEEDED(hr))
        hr = out->Put(i, [&](uint8_t* bits, size_t pitch) { d3dx::EncodeLevel(format, image, bits, pitch); });
    }
    if (FAILED(hr)) return hr;
  }
  if (bytes) {
    // The levels the file lacks, row by row from its last one.
    std::vector<d3dx::MipRows::Target> targets;
    hr = out->LockBelow(dds.levelCount, &targets);
    if (FAILED(hr)) return hr;
    d3dx::MipRows mips(format, lastStored.width, lastStored.height, false, targets.data());
    forEachBlockRow(lastStored, [&](UINT, UINT rows) {
      mips.PushSourceRows(band.data(), rows, static_cast<size_t>(lastStored.width) * 4);
    });
    source->Release();
    return out->UnlockBelow(dds.levelCount);
  }
  source->Release();
  if (generate) return PutGeneratedLevels(out, dds.levelCount - 1, std::move(last));
  return D3D_OK;
}

// PFM, PGM, PPM and Radiance HDR through readers of ours; PNG, JPEG, BMP and
// TGA through stb_image once their headers have passed ours and the file
// is long enough to hold what the header claims.
HRESULT TextureFromImageFile(Source* source, TextureWriter* out) {
  const uint8_t* data = source->data;
  const size_t size = source->size;
  if (d3dx::IsPfm(data, size)) {
    RgbaImage image;
    bool grey = false;
    if (!d3dx::ParsePfm(data, size, &image, &grey)) return D3DXERR_INVALIDDATA;
    return TextureFromRgba(source, out, grey ? D3DFMT_R32F : D3DFMT_A32B32G32R32F, std::move(image));
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
  if (floats && d3dx::NextPowerOfTwo(header.width) == header.width &&
      d3dx::NextPowerOfTwo(header.height) == header.height) {
    return TextureFromHdr(source, out, header);
  }
  if (floats) {
    RgbaImage image;
    if (!d3dx::DecodeHdr(data, size, header, &image)) return D3DXERR_INVALIDDATA;
    return TextureFromRgba(source, out, D3DFMT_A32B32G32R32F, std::move(image));
  }
  d3dx::Rgba8Image image;
  int channels = 3;
  if (header.kind == d3dx::ImageKind::Pnm) {
    if (!d3dx::DecodePnm(data, size, header, &image)) return D3DXERR_INVALIDDATA;
    channels = static_cast<int>(header.channels);
  } else if (header.kind == d3dx::ImageKind::Jpeg) {
    if (!d3dx::DecodeJpeg(data, size, header, &image, &channels)) return D3DXERR_INVALIDDATA;
  } else if (!d3dx::DecodeWithStb(data, size, header, &image, &channels)) {
    return D3DXERR_INVALIDDATA;
  }
  static const D3DFORMAT kByChannels[] = {D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
  return TextureFromRgba8(source, out, kByChannels[channels >= 1 && channels <= 4 ? channels : 0], std::move(image));
}

// The texture of a file's bytes; `source` released as soon as it is no
// longer needed.
HRESULT LoadTexture(IDirect3DDevice9* device, Source* source, IDirect3DTexture9** ppTexture) {
  TextureWriter out(device);
  const HRESULT hr = d3dx::IsDds(source->data, source->size) ? TextureFromDds(source, &out)
                                                              : TextureFromImageFile(source, &out);
  if (FAILED(hr)) return hr;
  *ppTexture = out.Take();
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
  Source source;
  source.data = static_cast<const uint8_t*>(pSrcData);
  source.size = SrcDataSize;
  return LoadTexture(pDevice, &source, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, LPDIRECT3DTEXTURE9* ppTexture) {
  if (pDevice == nullptr || ppTexture == nullptr || pSrcFile == nullptr) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  std::string name;
  std::vector<uint8_t> bytes;
  if (!FileNameToUtf8(pSrcFile, &name) || !ReadFile(name, &bytes) || bytes.empty()) return D3DXERR_INVALIDDATA;
  Source source;
  source.data = bytes.data();
  source.size = bytes.size();
  source.owned = &bytes;
  return LoadTexture(pDevice, &source, ppTexture);
}
