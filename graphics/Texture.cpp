#include "graphics/Texture.h"

#include <d3dx9.h>

#include <cstdint>
#include <cstdio>

#include "common/ReadWholeFile.h"

CTexture::CTexture() : m_pD3DTexture(NULL) { ZeroMemory(&m_surfaceDesc, sizeof(m_surfaceDesc)); }

std::wstring CTexture::GetFileName() const { return m_fileName; }

namespace {

// DDS header fields used here, by offset from the start of the file.
const size_t kHeaderEnd = 128;
const size_t kDx10HeaderEnd = 148;

uint32_t Read32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*x", digits, static_cast<unsigned>(value));
  return text;
}

std::string Number(uint32_t value) { return std::to_string(static_cast<unsigned long>(value)); }

bool Printable(uint32_t fourCC) {
  for (int i = 0; i < 4; ++i) {
    const unsigned c = (fourCC >> (8 * i)) & 0xFF;
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Bytes of a texel, or of a 4x4 block (`block` set), of a format named by a
// FourCC or D3DFORMAT number; 0 when unknown here.
uint32_t FourCCBytes(uint32_t fourCC, bool* block) {
  *block = true;
  switch (fourCC) {
    case MAKEFOURCC('D', 'X', 'T', '1'):
    case MAKEFOURCC('A', 'T', 'I', '1'):
    case MAKEFOURCC('B', 'C', '4', 'U'):
      return 8;
    case MAKEFOURCC('D', 'X', 'T', '2'):
    case MAKEFOURCC('D', 'X', 'T', '3'):
    case MAKEFOURCC('D', 'X', 'T', '4'):
    case MAKEFOURCC('D', 'X', 'T', '5'):
    case MAKEFOURCC('A', 'T', 'I', '2'):
    case MAKEFOURCC('B', 'C', '5', 'U'):
      return 16;
  }
  *block = false;
  switch (fourCC) {
    case 20: return 3;                                    // R8G8B8
    case 21: case 22: case 31: case 32: case 33: case 34:  // 32-bit RGB formats
    case 35: case 63: case 64: case 112: case 114: return 4;
    case 23: case 24: case 25: case 26: case 29: case 30: case 51: case 60: case 81: case 111: return 2;
    case 27: case 28: case 50: case 52: return 1;
    case 36: case 113: case 115: return 8;
    case 116: return 16;
  }
  return 0;
}

// The same for the DXGI formats of a DX10 header that the loader may read.
uint32_t DxgiBytes(uint32_t dxgi, bool* block) {
  *block = (dxgi >= 70 && dxgi <= 84) || (dxgi >= 94 && dxgi <= 99);
  if (*block) return (dxgi >= 70 && dxgi <= 72) || (dxgi >= 79 && dxgi <= 81) ? 8 : 16;
  switch (dxgi) {
    case 2: return 16;
    case 10: case 11: case 16: return 8;
    case 24: case 28: case 29: case 31: case 34: case 35: case 37: case 41:
    case 87: case 88: case 91: case 93: return 4;
    case 49: case 51: case 54: case 85: case 86: case 115: return 2;
    case 65: return 1;
  }
  return 0;
}

// The pixel format as the header names it.
std::string FormatName(const std::string& bytes, bool dx10) {
  if (dx10) return "DXGI format " + Number(Read32(bytes, 128));
  const uint32_t flags = Read32(bytes, 80), fourCC = Read32(bytes, 84);
  if (flags & 0x4) {
    if (Printable(fourCC)) {
      std::string name = "FourCC '";
      for (int i = 0; i < 4; ++i) name.push_back(static_cast<char>((fourCC >> (8 * i)) & 0xFF));
      return name + "'";
    }
    return "FourCC " + Number(fourCC);
  }
  const char* kind = (flags & 0x40) ? "RGB" : (flags & 0x20000) ? "luminance" : (flags & 0x2) ? "alpha" : (flags & 0x80000) ? "bump" : "unflagged";
  std::string name = Number(Read32(bytes, 88)) + "-bit " + kind + " masks ";
  for (size_t offset = 92; offset <= 104; offset += 4) name += (offset > 92 ? "/" : "") + Hex(Read32(bytes, offset), 8);
  return name + ((flags & 0x1) ? " with alpha" : "");
}

// Why a DDS file was refused: what the header asks for, measured against
// the file, else its pixel format.
std::string DescribeDds(const std::string& bytes) {
  if (bytes.size() < kHeaderEnd) return "shorter than a DDS header";
  if (Read32(bytes, 4) != 124 || Read32(bytes, 76) != 32) return "damaged DDS header (wrong header size)";
  const uint32_t height = Read32(bytes, 12), width = Read32(bytes, 16);
  if (width == 0 || height == 0 || width > 16384 || height > 16384) {
    return "width or height out of range (" + Number(width) + "x" + Number(height) + ")";
  }
  const bool dx10 = (Read32(bytes, 80) & 0x4) && Read32(bytes, 84) == MAKEFOURCC('D', 'X', '1', '0');
  if (dx10 && bytes.size() < kDx10HeaderEnd) return "shorter than a DX10 DDS header";
  bool block = false;
  const uint32_t unit = dx10 ? DxgiBytes(Read32(bytes, 128), &block) : (Read32(bytes, 80) & 0x4) ? FourCCBytes(Read32(bytes, 84), &block)
                                                                                                 : Read32(bytes, 88) / 8;
  const std::string format = FormatName(bytes, dx10);
  if (unit == 0) return "unsupported pixel format: " + format;

  // Images one after the other (cube faces, array elements), each with
  // levels of `depth` slices.
  const uint32_t caps2 = Read32(bytes, 112);
  uint64_t images = 1;
  uint32_t depth = 1;
  if (dx10) {
    images = Read32(bytes, 140) == 0 ? 1 : Read32(bytes, 140);
    if (Read32(bytes, 132) == 4) depth = Read32(bytes, 24);
    if (Read32(bytes, 132) == 3 && (Read32(bytes, 136) & 0x4)) images *= 6;
  } else if (caps2 & 0x200000) {
    depth = Read32(bytes, 24);
  } else if (caps2 & 0x200) {
    images = 0;
    for (uint32_t face = 0x400; face <= 0x8000; face <<= 1) images += (caps2 & face) ? 1 : 0;
    if (images == 0) return "cube map without faces";
  }
  if (depth == 0) depth = 1;
  if (depth > 16384) return "depth out of range (" + Number(depth) + ")";
  uint32_t levels = Read32(bytes, 28) == 0 ? 1 : Read32(bytes, 28);
  uint32_t longest = width > height ? width : height;
  if (depth > longest) longest = depth;
  uint32_t fullChain = 1;
  while (longest >> fullChain) ++fullChain;
  if (levels > fullChain) levels = fullChain;

  uint64_t available = bytes.size() - (dx10 ? kDx10HeaderEnd : kHeaderEnd);
  for (uint64_t image = 0; image < images; ++image) {
    uint32_t w = width, h = height, d = depth;
    for (uint32_t level = 0; level < levels; ++level) {
      const uint64_t size = block ? uint64_t((w + 3) / 4) * ((h + 3) / 4) * unit * d : uint64_t(w) * h * unit * d;
      if (size > available) {
        std::string where = "truncated at level " + Number(level);
        if (images > 1) where += (caps2 & 0x200) ? " of face " + Number(static_cast<uint32_t>(image)) : " of image " + Number(static_cast<uint32_t>(image));
        return where + " (" + format + ")";
      }
      available -= size;
      w = w > 1 ? w / 2 : 1;
      h = h > 1 ? h / 2 : 1;
      d = d > 1 ? d / 2 : 1;
    }
  }
  if (dx10) return "DX10 header with " + format + ", which is not read";
  return "unsupported pixel format: " + format;
}

std::string Narrow(const std::wstring& name) {
  std::string narrow;
  for (wchar_t c : name) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

}  // namespace

std::string DescribeTextureFailure(const std::wstring& fileName, HRESULT hr) {
  const std::string bytes = ReadWholeFile(Narrow(fileName));
  if (bytes.empty()) return "missing or empty file";
  if (hr == E_OUTOFMEMORY) {
    // The loader's ceiling on decoded pixels, or memory that ran out.
    std::string size;
    if (bytes.size() >= kHeaderEnd && bytes.compare(0, 4, "DDS ") == 0) {
      size = Number(Read32(bytes, 16)) + "x" + Number(Read32(bytes, 12)) + ", ";
    }
    return "too large to load (" + size + "0x" + Hex(static_cast<uint32_t>(hr), 8) + ")";
  }
  if (hr != D3DXERR_INVALIDDATA) return "D3DXCreateTextureFromFile failed (0x" + Hex(static_cast<uint32_t>(hr), 8) + ")";
  if (bytes.compare(0, 4, "DDS ") == 0) return DescribeDds(bytes);
  return "not an image file D3DX reads, or a damaged one";
}
