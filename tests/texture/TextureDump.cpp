// texture_dump FILE OUT: loads FILE with D3DXCreateTextureFromFileInMemory
// on the stub device and writes what the texture holds: a text line
// "FORMAT WIDTH HEIGHT LEVELS", then level 0 decoded to float RGBA (the
// storage channels, rows top first). For decode_compare.py.
#include <d3dx9.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/d3dx9/texture/Pixels.h"
#include "texture/StubDevice.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: texture_dump FILE OUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  texture_test::StubDevice device;
  IDirect3DTexture9* texture = nullptr;
  const HRESULT hr = D3DXCreateTextureFromFileInMemory(&device, bytes.data(), static_cast<UINT>(bytes.size()), &texture);
  if (FAILED(hr)) {
    std::fprintf(stderr, "texture_dump: %s: load failed (0x%08lx)\n", argv[1], static_cast<unsigned long>(hr));
    return 1;
  }
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(0, &desc);
  D3DLOCKED_RECT locked;
  texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  const size_t rowBytes = static_cast<size_t>(ostrevin::formats::RowBytes(desc.Format, desc.Width));
  std::vector<uint8_t> level;
  for (UINT row = 0; row < ostrevin::formats::RowCount(desc.Format, desc.Height); ++row) {
    const uint8_t* p = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch;
    level.insert(level.end(), p, p + rowBytes);
  }
  texture->UnlockRect(0);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  std::fprintf(out, "%s %u %u %lu\n", ostrevin::formats::FindFormat(desc.Format)->name, desc.Width, desc.Height,
               static_cast<unsigned long>(texture->GetLevelCount()));
  d3dx::RgbaImage image;
  if (d3dx::DecodeLevel(desc.Format, level.data(), level.size(), desc.Width, desc.Height, &image)) {
    std::fwrite(image.pixels.data(), sizeof(float), image.pixels.size(), out);
  }
  std::fclose(out);
  texture->Release();
  return 0;
}
