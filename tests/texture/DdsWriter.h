// Builds small DDS files for the texture tests: a header with every field
// settable, followed by the given data.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace texture_test {

struct DdsLayout {
  uint32_t width = 4;
  uint32_t height = 4;
  uint32_t mipCount = 1;
  uint32_t headerSize = 124;
  uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000;
  uint32_t depth = 0;
  uint32_t pfSize = 32;
  uint32_t pfFlags = 0x4;  // FourCC
  uint32_t fourCC = D3DFMT_DXT1;
  uint32_t bitCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A
  uint32_t caps1 = 0x1000;
  uint32_t caps2 = 0;
  uint32_t magic = 0x20534444;
  // The DX10 header, written when fourCC is 'DX10'.
  uint32_t dxgiFormat = 0;
  uint32_t dimension = 3;  // TEXTURE2D
  uint32_t miscFlag = 0;
  uint32_t arraySize = 1;
};

inline DdsLayout FourCC(uint32_t fourCC, uint32_t w, uint32_t h, uint32_t mips = 1) {
  DdsLayout s;
  s.fourCC = fourCC;
  s.width = w;
  s.height = h;
  s.mipCount = mips;
  return s;
}

inline DdsLayout Rgb(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t w, uint32_t h,
                   uint32_t mips = 1) {
  DdsLayout s;
  s.pfFlags = 0x40 | (a != 0 ? 0x1 : 0);
  s.fourCC = 0;
  s.bitCount = bits;
  s.masks[0] = r;
  s.masks[1] = g;
  s.masks[2] = b;
  s.masks[3] = a;
  s.width = w;
  s.height = h;
  s.mipCount = mips;
  return s;
}

inline DdsLayout Dx10(uint32_t dxgiFormat, uint32_t w, uint32_t h, uint32_t mips = 1) {
  DdsLayout s = FourCC(MAKEFOURCC('D', 'X', '1', '0'), w, h, mips);
  s.dxgiFormat = dxgiFormat;
  return s;
}

// Masks under a pixel-format flag other than DDPF_RGB (DDPF_ALPHAPIXELS is
// added when there is an alpha mask).
inline DdsLayout Masks(uint32_t pfFlags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t w,
                       uint32_t h, uint32_t mips = 1);

inline DdsLayout A8R8G8B8(uint32_t w, uint32_t h, uint32_t mips = 1) {
  return Rgb(32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000, w, h, mips);
}
inline DdsLayout X8R8G8B8(uint32_t w, uint32_t h, uint32_t mips = 1) {
  return Rgb(32, 0x00ff0000, 0x0000ff00, 0x000000ff, 0, w, h, mips);
}
inline DdsLayout R5G6B5(uint32_t w, uint32_t h, uint32_t mips = 1) { return Rgb(16, 0xf800, 0x07e0, 0x001f, 0, w, h, mips); }
inline DdsLayout A8(uint32_t w, uint32_t h, uint32_t mips = 1) {
  DdsLayout s = Rgb(8, 0, 0, 0, 0xff, w, h, mips);
  s.pfFlags = 0x2;
  return s;
}

inline DdsLayout Masks(uint32_t pfFlags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t w,
                       uint32_t h, uint32_t mips) {
  DdsLayout s = Rgb(bits, r, g, b, a, w, h, mips);
  s.pfFlags = pfFlags | (a != 0 ? 0x1 : 0);
  return s;
}

inline void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> WriteDds(const DdsLayout& s, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f;
  Put32(&f, s.magic);
  Put32(&f, s.headerSize);
  Put32(&f, s.flags);
  Put32(&f, s.height);
  Put32(&f, s.width);
  Put32(&f, 0);  // pitch or linear size: not trusted by the reader
  Put32(&f, s.depth);
  Put32(&f, s.mipCount);
  for (int i = 0; i < 11; ++i) Put32(&f, 0);
  Put32(&f, s.pfSize);
  Put32(&f, s.pfFlags);
  Put32(&f, s.fourCC);
  Put32(&f, s.bitCount);
  for (uint32_t m : s.masks) Put32(&f, m);
  Put32(&f, s.caps1);
  Put32(&f, s.caps2);
  for (int i = 0; i < 3; ++i) Put32(&f, 0);
  if (s.fourCC == MAKEFOURCC('D', 'X', '1', '0') && (s.pfFlags & 0x4)) {
    Put32(&f, s.dxgiFormat);
    Put32(&f, s.dimension);
    Put32(&f, s.miscFlag);
    Put32(&f, s.arraySize);
    Put32(&f, 0);
  }
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// Bytes 0, 1, 2, ... (mod 251, so no level repeats another's start).
inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i + seed * 37u) % 251u);
  return v;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh, empty folder under the system's temporary folder, removed by the destructor.
class TempDir {
 public:
  explicit TempDir(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() / ("ostrevin-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::wstring Wide(const std::string& name) const { return (path_ / name).wstring(); }

 private:
  std::filesystem::path path_;
};

}  // namespace texture_test
