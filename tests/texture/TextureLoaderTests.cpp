// D3DXCreateTextureFromFileInMemory / D3DXCreateTextureFromFileW on the
// recording fake device: formats, sizes and level bytes of what is created,
// generated mip chains, image files, and bad input.
#include <gtest/gtest.h>

#include <d3dx9.h>

#include <cstring>
#include <random>

#include "fake/FakeDevice.h"
#include "fake/FakeUser32.h"
#include "platform/d3dx9/texture/Dds.h"
#include "platform/formats/TextureLayout.h"
#include "platform/d3dx9/texture/Pixels.h"
#include "texture/DdsWriter.h"
#include "texture/StubDevice.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

using namespace texture_test;

class TextureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Clear();
    liveBefore = fake::LiveObjects();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp;
    std::memset(&pp, 0, sizeof(pp));
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(0x1234),
                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3D_OK);
    liveWithDevice = fake::LiveObjects();
    createdBefore = fake::TexturesCreated();
    fake::Clear();
  }
  void TearDown() override {
    if (device != nullptr) device->Release();
    if (d3d != nullptr) d3d->Release();
    EXPECT_EQ(fake::LiveObjects(), liveBefore);
    fake::Clear();
  }

  HRESULT Load(const std::vector<uint8_t>& bytes, IDirect3DTexture9** tex) {
    return D3DXCreateTextureFromFileInMemory(device, bytes.data(), static_cast<UINT>(bytes.size()), tex);
  }

  // The bytes of `level` as the fake device holds them (tight rows).
  static std::vector<uint8_t> LevelBytes(IDirect3DTexture9* tex, UINT level) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(tex->GetLevelDesc(level, &desc), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(tex->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const size_t rowBytes = static_cast<size_t>(ostrevin::formats::RowBytes(desc.Format, desc.Width));
    const UINT rows = ostrevin::formats::RowCount(desc.Format, desc.Height);
    std::vector<uint8_t> bytes;
    for (UINT r = 0; r < rows; ++r) {
      const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(r) * locked.Pitch;
      bytes.insert(bytes.end(), row, row + rowBytes);
    }
    tex->UnlockRect(level);
    return bytes;
  }

  static d3dx::RgbaImage Decoded(IDirect3DTexture9* tex, UINT level) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(tex->GetLevelDesc(level, &desc), D3D_OK);
    const std::vector<uint8_t> bytes = LevelBytes(tex, level);
    d3dx::RgbaImage image;
    EXPECT_TRUE(d3dx::DecodeLevel(desc.Format, bytes.data(), bytes.size(), desc.Width, desc.Height, &image));
    return image;
  }

  // The CreateTexture arguments: width, height, levels, usage, format, pool, shared handle.
  static std::vector<uint64_t> CreateArgs() {
    const auto calls = fake::CallsNamed("CreateTexture");
    return calls.empty() ? std::vector<uint64_t>{} : calls.back().args;
  }

  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  int liveBefore = 0;
  int liveWithDevice = 0;
  int createdBefore = 0;
  // Textures created since SetUp (the fake's count runs over the whole process).
  int Created() const { return fake::TexturesCreated() - createdBefore; }
};

std::vector<uint64_t> Args(UINT w, UINT h, UINT levels, D3DFORMAT format) {
  return {w, h, levels, 0, static_cast<uint64_t>(format), D3DPOOL_MANAGED, 0};
}

TEST_F(TextureLoaderTest, DdsWithItsOwnChainIsCopiedLevelByLevel) {
  struct Case {
    DdsLayout layout;
    D3DFORMAT format;
  };
  const Case cases[] = {
      {FourCC(D3DFMT_DXT1, 8, 8, 4), D3DFMT_DXT1},          {FourCC(D3DFMT_DXT3, 8, 4, 4), D3DFMT_DXT3},
      {FourCC(D3DFMT_DXT5, 4, 8, 4), D3DFMT_DXT5},          {A8R8G8B8(4, 2, 3), D3DFMT_A8R8G8B8},
      {X8R8G8B8(2, 4, 3), D3DFMT_X8R8G8B8},                 {R5G6B5(8, 2, 4), D3DFMT_R5G6B5},
      {A8(4, 4, 3), D3DFMT_A8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    fake::Clear();
    std::vector<uint8_t> data;
    std::vector<std::vector<uint8_t>> levels;
    UINT w = c.layout.width, h = c.layout.height;
    for (UINT i = 0; i < c.layout.mipCount; ++i) {
      levels.push_back(Pattern(static_cast<size_t>(ostrevin::formats::LevelBytes(c.format, w, h)), static_cast<uint8_t>(i + 1)));
      data.insert(data.end(), levels.back().begin(), levels.back().end());
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
    }
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(WriteDds(c.layout, data), &tex), D3D_OK);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(CreateArgs(), Args(c.layout.width, c.layout.height, c.layout.mipCount, c.format));
    ASSERT_EQ(tex->GetLevelCount(), c.layout.mipCount);
    for (UINT i = 0; i < c.layout.mipCount; ++i) EXPECT_EQ(LevelBytes(tex, i), levels[i]) << "level " << i;
    tex->Release();
  }
}

TEST_F(TextureLoaderTest, MissingLevelsAreGeneratedWithABoxFilter) {
  // 4x4 A8R8G8B8, one level: columns alternate two colours, so every
  // generated level is their average.
  std::vector<uint8_t> top;
  for (int i = 0; i < 16; ++i) {
    const bool odd = i % 2;
    const uint8_t bgra[4] = {static_cast<uint8_t>(odd ? 200 : 100), 10, static_cast<uint8_t>(odd ? 0 : 50),
                             static_cast<uint8_t>(odd ? 255 : 1)};
    top.insert(top.end(), bgra, bgra + 4);
  }
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(Load(WriteDds(A8R8G8B8(4, 4, 1), top), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs(), Args(4, 4, 3, D3DFMT_A8R8G8B8));
  EXPECT_EQ(LevelBytes(tex, 0), top);
  const std::vector<uint8_t> average = {150, 10, 25, 128};
  std::vector<uint8_t> level1;
  for (int i = 0; i < 4; ++i) level1.insert(level1.end(), average.begin(), average.end());
  EXPECT_EQ(LevelBytes(tex, 1), level1);
  EXPECT_EQ(LevelBytes(tex, 2), average);
  tex->Release();
}

TEST_F(TextureLoaderTest, DxtChainsAreDecodedFilteredAndEncodedAgain) {
  // A partial chain (2 of 4 levels) of a flat colour in DXT1 and DXT5: the
  // file's levels are kept, the rest decode to the same colour.
  for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
    SCOPED_TRACE(format);
    d3dx::RgbaImage flat;
    flat.width = flat.height = 8;
    for (int i = 0; i < 64; ++i) flat.pixels.insert(flat.pixels.end(), {200 / 255.0f, 96 / 255.0f, 40 / 255.0f, 1.0f});
    std::vector<uint8_t> data = d3dx::EncodeLevel(format, flat);
    const size_t top = data.size();
    flat.width = flat.height = 4;
    flat.pixels.resize(16 * 4);
    const std::vector<uint8_t> second = d3dx::EncodeLevel(format, flat);
    data.insert(data.end(), second.begin(), second.end());

    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(WriteDds(FourCC(format, 8, 8, 2), data), &tex), D3D_OK);
    EXPECT_EQ(CreateArgs(), Args(8, 8, 4, format));
    EXPECT_EQ(LevelBytes(tex, 0), std::vector<uint8_t>(data.begin(), data.begin() + top));
    EXPECT_EQ(LevelBytes(tex, 1), second);
    for (UINT level = 2; level < 4; ++level) {
      const d3dx::RgbaImage image = Decoded(tex, level);
      for (size_t p = 0; p < image.pixels.size(); p += 4) {
        EXPECT_NEAR(image.pixels[p + 0] * 255, 200, 4);
        EXPECT_NEAR(image.pixels[p + 1] * 255, 96, 4);
        EXPECT_NEAR(image.pixels[p + 2] * 255, 40, 4);
        EXPECT_EQ(image.pixels[p + 3], 1.0f);
      }
    }
    tex->Release();
  }
}

TEST_F(TextureLoaderTest, NonPowerOfTwoSizesAreRoundedUp) {
  // A flat 6x3 X8R8G8B8 DDS becomes 8x4; its stored 3x1 level (another
  // colour) does not fit the new size and the chain is made again.
  std::vector<uint8_t> file;
  for (int i = 0; i < 18; ++i) file.insert(file.end(), {30, 60, 90, 255});
  for (int i = 0; i < 3; ++i) file.insert(file.end(), {1, 2, 3, 255});
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(Load(WriteDds(X8R8G8B8(6, 3, 2), file), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs(), Args(8, 4, 4, D3DFMT_X8R8G8B8));
  UINT w = 8, h = 4;
  for (UINT level = 0; level < 4; ++level, w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
    std::vector<uint8_t> expected;
    for (UINT i = 0; i < w * h; ++i) expected.insert(expected.end(), {30, 60, 90, 255});
    EXPECT_EQ(LevelBytes(tex, level), expected) << "level " << level;
  }
  tex->Release();
}

// Encodes with stb_image_write into memory.
std::vector<uint8_t> EncodeImage(const char* kind, int w, int h, int comp, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out;
  auto sink = [](void* ctx, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(ctx);
    v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  };
  if (std::strcmp(kind, "png") == 0) stbi_write_png_to_func(sink, &out, w, h, comp, pixels.data(), w * comp);
  if (std::strcmp(kind, "bmp") == 0) stbi_write_bmp_to_func(sink, &out, w, h, comp, pixels.data());
  if (std::strcmp(kind, "tga") == 0) stbi_write_tga_to_func(sink, &out, w, h, comp, pixels.data());
  return out;
}

TEST_F(TextureLoaderTest, ImageFilesLoadAsBgraTopRowFirst) {
  // 4x2: top row red, green, blue, white; bottom row grey with alpha steps.
  const std::vector<uint8_t> rgba = {255, 0,   0,   255, 0,   255, 0,   255, 0,   0,   255, 255, 255, 255, 255, 255,
                                     90,  90,  90,  0,   90,  90,  90,  64,  90,  90,  90,  128, 90,  90,  90,  255};
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i < rgba.size(); i += 4) rgb.insert(rgb.end(), rgba.begin() + i, rgba.begin() + i + 3);
  struct Case {
    const char* kind;
    int comp;
    D3DFORMAT format;
  };
  for (const Case& c : {Case{"png", 4, D3DFMT_A8R8G8B8}, Case{"png", 3, D3DFMT_X8R8G8B8},
                        Case{"bmp", 3, D3DFMT_X8R8G8B8}, Case{"tga", 4, D3DFMT_A8R8G8B8}}) {
    SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.comp));
    fake::Clear();
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(EncodeImage(c.kind, 4, 2, c.comp, c.comp == 4 ? rgba : rgb), &tex), D3D_OK);
    EXPECT_EQ(CreateArgs(), Args(4, 2, 3, c.format));
    std::vector<uint8_t> bgra;
    for (size_t i = 0; i < rgba.size(); i += 4) {
      bgra.insert(bgra.end(), {rgba[i + 2], rgba[i + 1], rgba[i], c.comp == 4 ? rgba[i + 3] : uint8_t{255}});
    }
    EXPECT_EQ(LevelBytes(tex, 0), bgra);
    // The 1x1 level is the average of the whole image.
    EXPECT_EQ(LevelBytes(tex, 2).size(), 4u);
    tex->Release();
  }

  // A 3x5 picture is stretched to 4x8.
  fake::Clear();
  std::vector<uint8_t> small;
  for (int i = 0; i < 15; ++i) small.insert(small.end(), {10, 20, 30});
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(Load(EncodeImage("png", 3, 5, 3, small), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs(), Args(4, 8, 4, D3DFMT_X8R8G8B8));
  EXPECT_FLOAT_EQ(Decoded(tex, 0).pixels[0], 10 / 255.0f);
  tex->Release();
}

TEST_F(TextureLoaderTest, BadFilesFailAndLeaveNothingBehind) {
  const std::vector<uint8_t> good = WriteDds(FourCC(D3DFMT_DXT1, 8, 8, 4), Pattern(32 + 8 + 8 + 8));
  std::vector<uint8_t> random(4096);
  std::mt19937 rng(1234);
  for (uint8_t& b : random) b = static_cast<uint8_t>(rng());
  DdsLayout cube = FourCC(D3DFMT_DXT1, 4, 4);
  cube.caps2 = 0xfe00;
  std::vector<uint8_t> badMagic = good;
  badMagic[3] = 'X';
  std::vector<uint8_t> badSize = good;
  badSize[4] = 100;
  const std::vector<uint8_t> png = EncodeImage("png", 4, 4, 3, Pattern(48));
  // A 4x4 BMP whose header claims 4000x4000: the decoder would read past the
  // end as zeros and fill a 64 MB image from a few bytes.
  std::vector<uint8_t> bigBmp = EncodeImage("bmp", 4, 4, 3, Pattern(48));
  for (size_t field : {18u, 22u}) {
    bigBmp[field] = 4000 & 0xff;
    bigBmp[field + 1] = 4000 >> 8;
  }
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"truncated header", std::vector<uint8_t>(good.begin(), good.begin() + 60)},
      {"bad magic", badMagic},
      {"wrong header size", badSize},
      {"data shorter than the levels", std::vector<uint8_t>(good.begin(), good.end() - 8)},
      {"zero width", WriteDds(FourCC(D3DFMT_DXT1, 0, 4), Pattern(8))},
      {"huge dimensions", WriteDds(A8R8G8B8(20000, 20000), Pattern(64))},
      {"unknown FourCC", WriteDds(FourCC(MAKEFOURCC('A', 'B', 'C', 'D'), 4, 4), Pattern(16))},
      {"cube map missing a face", WriteDds(cube, Pattern(40))},
      {"random bytes", random},
      {"one byte", {0x42}},
      {"BMP header larger than its file", bigBmp},
      {"truncated PNG", std::vector<uint8_t>(png.begin(), png.begin() + static_cast<long>(png.size() / 2))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_TRUE(FAILED(Load(c.bytes, &tex)));
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(fake::LiveObjects(), liveWithDevice);
  }
  IDirect3DTexture9* tex = nullptr;
  const uint8_t byte = 0;
  EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileInMemory(device, &byte, 0, &tex)));
  EXPECT_EQ(Created(), 0);
}

TEST_F(TextureLoaderTest, NullArgumentsAreInvalidCalls) {
  const std::vector<uint8_t> good = WriteDds(A8R8G8B8(1, 1), Pattern(4));
  IDirect3DTexture9* tex = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, good.data(), 132, &tex), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, good.data(), 132, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, nullptr, 132, &tex), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileW(nullptr, L"x.dds", &tex), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileW(device, nullptr, &tex), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileW(device, L"x.dds", nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(tex, nullptr);
  EXPECT_EQ(Created(), 0);
}

TEST_F(TextureLoaderTest, DeviceFailuresReleaseTheTexture) {
  const std::vector<uint8_t> file = WriteDds(A8R8G8B8(4, 4, 3), Pattern(64 + 16 + 4));
  IDirect3DTexture9* tex = nullptr;
  fake::FailCall("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(Load(file, &tex), D3DERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(tex, nullptr);
  fake::FailCall("LockRect", D3DERR_INVALIDCALL, 2);  // the second level
  EXPECT_EQ(Load(file, &tex), D3DERR_INVALIDCALL);
  EXPECT_EQ(tex, nullptr);
  EXPECT_EQ(Created(), 1);
  EXPECT_EQ(fake::LiveObjects(), liveWithDevice);
}

TEST_F(TextureLoaderTest, FilesByWideName) {
  TempDir dir("loader");
  const std::vector<uint8_t> file = WriteDds(A8R8G8B8(2, 2, 2), Pattern(16 + 4));
  // A non-ASCII name (UTF-32 in wchar_t, UTF-8 on disk) and a Windows-style
  // path with backslashes, which name the same folders as '/'.
  WriteFile(dir.path() / "t\xc3\xabxture-\xd0\xb6.dds", file);
  std::filesystem::create_directories(dir.path() / "sub");
  WriteFile(dir.path() / "sub" / "a.dds", file);
  WriteFile(dir.path() / "empty.dds", {});
  const std::wstring base = dir.path().wstring();

  for (const std::wstring& name : {base + L"/t\u00ebxture-\u0436.dds", base + L"\\sub\\a.dds"}) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileW(device, name.c_str(), &tex), D3D_OK);
    EXPECT_EQ(LevelBytes(tex, 1), std::vector<uint8_t>(file.end() - 4, file.end())) << "the file's second level";
    tex->Release();
  }
  for (const std::wstring& name : {base + L"/missing.dds", base + L"/empty.dds", base + L"/sub", base + L"/\xd800.dds"}) {
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(D3DXCreateTextureFromFileW(device, name.c_str(), &tex), D3DXERR_INVALIDDATA);
    EXPECT_EQ(tex, nullptr);
  }
  EXPECT_EQ(Created(), 2);
}

TEST(TextureLoaderPitch, RowsGoToTheLockedPitchAndPaddingIsLeftAlone) {
  // The stub device pads each row by 4 bytes; the fake's rows are tight.
  texture_test::StubDevice device;
  struct Case {
    DdsLayout layout;
    D3DFORMAT format;
  };
  for (const Case& c : {Case{A8R8G8B8(4, 2, 3), D3DFMT_A8R8G8B8}, Case{FourCC(D3DFMT_DXT1, 8, 8, 4), D3DFMT_DXT1},
                        Case{A8(4, 4, 1), D3DFMT_A8}}) {
    SCOPED_TRACE(c.format);
    std::vector<uint8_t> data;
    UINT w = c.layout.width, h = c.layout.height;
    for (UINT i = 0; i < c.layout.mipCount; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
      const std::vector<uint8_t> level = Pattern(static_cast<size_t>(ostrevin::formats::LevelBytes(c.format, w, h)), 7);
      data.insert(data.end(), level.begin(), level.end());
    }
    const std::vector<uint8_t> file = WriteDds(c.layout, data);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(&device, file.data(), static_cast<UINT>(file.size()), &tex), D3D_OK);
    auto* stub = static_cast<texture_test::StubTexture*>(tex);
    EXPECT_TRUE(stub->PaddingIntact());
    // Every row of every stored level (A8 also gets generated ones) holds the
    // file's bytes.
    size_t offset = 0;
    w = c.layout.width;
    h = c.layout.height;
    for (UINT i = 0; i < c.layout.mipCount; ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
      const size_t rowBytes = static_cast<size_t>(ostrevin::formats::RowBytes(c.format, w));
      for (UINT row = 0; row < ostrevin::formats::RowCount(c.format, h); ++row, offset += rowBytes) {
        const uint8_t* stored = stub->Bytes(i).data() + static_cast<size_t>(row) * stub->Pitch(i);
        EXPECT_EQ(std::vector<uint8_t>(stored, stored + rowBytes),
                  std::vector<uint8_t>(data.begin() + static_cast<long>(offset),
                                       data.begin() + static_cast<long>(offset + rowBytes)))
            << "level " << i << " row " << row;
      }
    }
    EXPECT_EQ(tex->Release(), 0u);
  }
}

}  // namespace

namespace {

// One 1x1 level (the whole chain), so nothing but the conversion happens.
TEST_F(TextureLoaderTest, FormatsTheDeviceLacksAreConvertedAsD3dxPicks) {
  struct Case {
    const char* name;
    DdsLayout layout;
    std::vector<uint8_t> texel;
    D3DFORMAT format;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"R8G8B8", Rgb(24, 0xff0000, 0xff00, 0xff, 0, 1, 1), {0x30, 0x20, 0x10}, D3DFMT_X8R8G8B8, {0x30, 0x20, 0x10, 0xff}},
      {"R3G3B2", Rgb(8, 0xe0, 0x1c, 0x3, 0, 1, 1), {0x1c}, D3DFMT_X8R8G8B8, {0, 255, 0, 255}},
      {"A8R3G3B2", Rgb(16, 0xe0, 0x1c, 0x3, 0xff00, 1, 1), {0xe0, 0x80}, D3DFMT_A8R8G8B8, {0, 0, 255, 128}},
      {"A4L4", Masks(0x20000, 8, 0xf, 0, 0, 0xf0, 1, 1), {0x5f}, D3DFMT_A8L8, {255, 85}},
      {"L8 stays", Masks(0x20000, 8, 0xff, 0, 0, 0, 1, 1), {77}, D3DFMT_L8, {77}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(WriteDds(c.layout, c.texel), &tex), D3D_OK);
    EXPECT_EQ(CreateArgs(), Args(1, 1, 1, c.format));
    EXPECT_EQ(LevelBytes(tex, 0), c.expected);
    tex->Release();
  }
}

// D3DX loads the first face of a cube map and the first slice of each
// level of a volume as a 2D texture.
TEST_F(TextureLoaderTest, CubeMapsAndVolumesLoadTheirFirstImage) {
  DdsLayout cube = A8(2, 2, 2);
  cube.caps2 = 0x200 | 0xfc00;
  std::vector<uint8_t> faces;
  for (uint8_t face = 0; face < 6; ++face) faces.insert(faces.end(), {face, face, face, face, static_cast<uint8_t>(face + 10)});
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(Load(WriteDds(cube, faces), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs(), Args(2, 2, 2, D3DFMT_A8));
  EXPECT_EQ(LevelBytes(tex, 0), std::vector<uint8_t>(4, 0));
  EXPECT_EQ(LevelBytes(tex, 1), std::vector<uint8_t>{10});
  tex->Release();

  DdsLayout volume = A8(2, 2, 2);
  volume.caps2 = 0x200000;
  volume.depth = 2;
  ASSERT_EQ(Load(WriteDds(volume, {1, 1, 1, 1, 2, 2, 2, 2, 3}), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs(), Args(2, 2, 2, D3DFMT_A8));
  EXPECT_EQ(LevelBytes(tex, 0), std::vector<uint8_t>(4, 1));
  EXPECT_EQ(LevelBytes(tex, 1), std::vector<uint8_t>{3});
  tex->Release();
}

// A DXT1 block in three-colour mode with every texel transparent black.
std::vector<uint8_t> TransparentDxt1Block() { return {0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}; }

TEST_F(TextureLoaderTest, Dxt1CutOutAlphaSurvivesResizingAndGeneratedLevels) {
  struct Case {
    const char* name;
    DdsLayout layout;
    size_t blocks;
  };
  // 6x4 must be resized to 8x4; 8x8 with one level needs three more.
  for (const Case& c : {Case{"resized", FourCC(D3DFMT_DXT1, 6, 4), 2}, Case{"levels made", FourCC(D3DFMT_DXT1, 8, 8), 4}}) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> data;
    for (size_t i = 0; i < c.blocks; ++i) {
      const std::vector<uint8_t> block = TransparentDxt1Block();
      data.insert(data.end(), block.begin(), block.end());
    }
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(WriteDds(c.layout, data), &tex), D3D_OK);
    EXPECT_EQ(CreateArgs()[4], static_cast<uint64_t>(D3DFMT_A8R8G8B8));
    const d3dx::RgbaImage top = Decoded(tex, 0), last = Decoded(tex, tex->GetLevelCount() - 1);
    EXPECT_EQ(top.pixels[3], 0.0f);
    EXPECT_EQ(last.pixels[3], 0.0f);
    tex->Release();
  }
  // Opaque DXT1 stays DXT1.
  IDirect3DTexture9* tex = nullptr;
  const std::vector<uint8_t> opaque = {0xff, 0xff, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0, 0, 0x55, 0x55, 0x55, 0x55};
  ASSERT_EQ(Load(WriteDds(FourCC(D3DFMT_DXT1, 6, 4), opaque), &tex), D3D_OK);
  EXPECT_EQ(CreateArgs()[4], static_cast<uint64_t>(D3DFMT_DXT1));
  tex->Release();
}

std::vector<uint8_t> Text(const std::string& header, const std::vector<uint8_t>& raster) {
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), raster.begin(), raster.end());
  return out;
}

std::vector<uint8_t> FloatBytes(std::initializer_list<float> values) {
  std::vector<uint8_t> out(values.size() * 4);
  std::memcpy(out.data(), values.begin(), out.size());
  return out;
}

TEST_F(TextureLoaderTest, GreyHdrAndFloatImagesKeepTheirChannels) {
  std::vector<uint8_t> hdr;
  const float hdrPixel[3] = {2.5f, 0.5f, 8.0f};
  stbi_write_hdr_to_func(
      [](void* ctx, void* data, int size) {
        auto* v = static_cast<std::vector<uint8_t>*>(ctx);
        v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &hdr, 1, 1, 3, hdrPixel);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    D3DFORMAT format;
    std::vector<float> topLeft;  // decoded R, G, B, A
  };
  const Case cases[] = {
      {"PGM", Text("P5\n2 1\n255\n", {51, 102}), D3DFMT_L8, {0.2f, 0.2f, 0.2f, 1}},
      {"PPM", Text("P6 1 1 255\n", {255, 0, 51}), D3DFMT_X8R8G8B8, {1, 0, 0.2f, 1}},
      {"grey and alpha PNG", EncodeImage("png", 1, 1, 2, {51, 102}), D3DFMT_A8L8, {0.2f, 0.2f, 0.2f, 0.4f}},
      {"Radiance HDR", hdr, D3DFMT_A32B32G32R32F, {2.5f, 0.5f, 8.0f, 1}},
      // Rows bottom first: the top row is the second float.
      {"grey PFM", Text("Pf\n1 2\n-1.0\n", FloatBytes({-3.0f, 7.5f})), D3DFMT_R32F, {7.5f, 0, 0, 1}},
      {"colour PFM", Text("PF\n1 1\n-1.0\n", FloatBytes({1.5f, -2.0f, 100.0f})), D3DFMT_A32B32G32R32F,
       {1.5f, -2.0f, 100.0f, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(c.file, &tex), D3D_OK);
    EXPECT_EQ(CreateArgs()[4], static_cast<uint64_t>(c.format));
    const d3dx::RgbaImage image = Decoded(tex, 0);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(image.pixels[k], c.topLeft[k], 1e-6) << "channel " << k;
    tex->Release();
  }
  // A PFM whose raster is one byte short, and one with a lying size.
  IDirect3DTexture9* tex = nullptr;
  const int created = Created();
  EXPECT_EQ(Load(Text("PF\n1 1\n-1.0\n", Pattern(11)), &tex), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Load(Text("PF\n16384 16384\n-1.0\n", Pattern(12)), &tex), D3DXERR_INVALIDDATA);
  EXPECT_EQ(Created(), created);
}

}  // namespace

// One table of files and what the loader makes of them: damaged headers
// (fields the decoders would read out of range), headers claiming more
// pixels than their file can hold, and files honest about a size above the
// ceiling on decoded pixels; each with the error and the reason the debug
// output gives, and a good file of each kind beside them.
TEST_F(TextureLoaderTest, DamagedAndOversizedFilesAreRefusedWithTheirReason) {
  auto with = [](std::vector<uint8_t> bytes, std::initializer_list<std::pair<size_t, uint8_t>> edits) {
    for (const auto& [at, value] : edits) bytes[at] = value;
    return bytes;
  };
  auto be32 = [](uint32_t v) {
    return std::vector<uint8_t>{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  };
  const std::vector<uint8_t> png = EncodeImage("png", 4, 4, 3, Pattern(48));
  const std::vector<uint8_t> bmp = EncodeImage("bmp", 4, 4, 3, Pattern(48));
  const std::vector<uint8_t> tga = EncodeImage("tga", 4, 4, 3, Pattern(48));
  // The largest run-length TGA header of 8-bit grey over runs of 128 pixels.
  auto greyRuns = [](uint16_t w, uint16_t h, size_t runs) {
    std::vector<uint8_t> f = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 8, 0};
    for (size_t i = 0; i < runs; ++i) f.insert(f.end(), {0xFF, 0x80});
    return f;
  };
  // Four baseline JPEG blocks, each adding 32767 to the DC coefficient,
  // dequantised by 65535: the decoder's int sums overflow.
  std::vector<uint8_t> dcSum = {0xFF, 0xD8, 0xFF, 0xDB, 0, 131, 0x10};
  dcSum.insert(dcSum.end(), 128, 0xFF);
  for (uint8_t table : {0x00, 0x10}) {
    dcSum.insert(dcSum.end(), {0xFF, 0xC4, 0, 20, table, 1});  // one code, one bit long
    dcSum.insert(dcSum.end(), 15, 0);
    dcSum.push_back(table == 0 ? 15 : 0);  // DC category 15; AC end of block
  }
  dcSum.insert(dcSum.end(), {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 32, 1, 1, 0x11, 0});
  dcSum.insert(dcSum.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
  // Per block: DC code 0, 15 one bits, end-of-block code 0 (FF stuffed).
  dcSum.insert(dcSum.end(), {0x7F, 0xFF, 0, 0x3F, 0xFF, 0, 0x9F, 0xFF, 0, 0xCF, 0xFF, 0, 0xEF, 0xFF, 0xD9});
  const size_t dcScanTables = dcSum.size() - 15 - 4;  // the scan's table selectors
  // The same with DC category 0 and an 8-bit table: four flat grey blocks.
  std::vector<uint8_t> jpeg(dcSum.begin(), dcSum.end() - 15);
  jpeg[156] = 0;  // the DC table's one symbol
  jpeg.insert(jpeg.end(), {0x00, 0xFF, 0xD9});
  const size_t sof = 179;  // the frame header's marker
  std::vector<uint8_t> huffman272(dcSum.begin(), dcSum.begin() + 135);  // SOI and DQT
  huffman272.insert(huffman272.end(), {0xFF, 0xC4, 0x01, 0x23, 0x00});  // 3 + 16 + 272 bytes
  huffman272.insert(huffman272.end(), 16, 17);
  huffman272.insert(huffman272.end(), 272, 0);
  huffman272.insert(huffman272.end(), dcSum.begin() + 135 + 22, dcSum.end());
  const std::string hdrHead = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
  std::vector<uint8_t> pngEmptyIdat = png;
  const uint8_t emptyIdat[] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
  pngEmptyIdat.insert(pngEmptyIdat.begin() + 33, std::begin(emptyIdat), std::end(emptyIdat));
  // Two rows of 8 RGBE pixels: each channel one run of 8, then each channel
  // 8 values written out; and rows whose first channel starts with a run
  // of length 0.
  std::vector<uint8_t> hdrRows = {2, 2, 0, 8};
  for (uint8_t value : {128, 64, 32, 129}) hdrRows.insert(hdrRows.end(), {0x88, value});
  hdrRows.insert(hdrRows.end(), {2, 2, 0, 8});
  for (uint8_t value : {128, 64, 32, 129}) {
    hdrRows.push_back(8);
    hdrRows.insert(hdrRows.end(), 8, value);
  }
  std::vector<uint8_t> zeroRun = {2, 2, 0, 8, 0};
  zeroRun.resize(hdrRows.size(), 0);
  std::vector<uint8_t> pngHuge = png;
  const std::vector<uint8_t> huge = be32(16384);
  std::copy(huge.begin(), huge.end(), pngHuge.begin() + 16);
  std::copy(huge.begin(), huge.end(), pngHuge.begin() + 20);

  struct Case {
    const char* format;
    const char* damage;
    std::vector<uint8_t> bytes;
    HRESULT hr;
    const char* reason;  // part of the debug output, "" for none
  };
  const Case cases[] = {
      {"DDS", "FourCC no D3DFORMAT holds", WriteDds(FourCC(3486427068u, 4, 4), Pattern(64)), D3DXERR_INVALIDDATA, ""},
      {"DDS", "4097x2049 DXT1 resized", WriteDds(FourCC(D3DFMT_DXT1, 4097, 2049), Pattern(1025 * 513 * 8)), E_OUTOFMEMORY,
       "4097x2049 (8192x4096 once rounded up to powers of two) is more than the 16777216 pixels"},
      {"PNG", "good", png, D3D_OK, ""},
      {"PNG", "zero width", with(png, {{16, 0}, {17, 0}, {18, 0}, {19, 0}}), D3DXERR_INVALIDDATA,
       "width or height out of range (0x4)"},
      {"PNG", "bit depth 3", with(png, {{24, 3}}), D3DXERR_INVALIDDATA, "PNG with colour type 2, bit depth 3"},
      {"PNG", "claims 16384x16384", pngHuge, D3DXERR_INVALIDDATA, "PNG header claims 16384x16384 pixels"},
      {"PNG", "first IDAT empty", pngEmptyIdat, D3DXERR_INVALIDDATA, "PNG whose first IDAT chunk is empty"},
      {"PNG", "chunk past the end", std::vector<uint8_t>(png.begin(), png.end() - 1), D3DXERR_INVALIDDATA,
       "PNG chunk past the end of the file"},
      {"JPEG", "good", jpeg, D3D_OK, ""},
      {"JPEG", "12-bit samples", with(jpeg, {{sof + 4, 12}}), D3DXERR_INVALIDDATA, "other than 8-bit samples"},
      {"JPEG", "lossless", with(jpeg, {{sof + 1, 0xC3}}), D3DXERR_INVALIDDATA, "coding process other than"},
      {"JPEG", "DC sums past INT_MAX", dcSum, D3D_OK, ""},
      {"JPEG", "Huffman table of 272 codes", huffman272, D3DXERR_INVALIDDATA, "damaged JPEG Huffman table"},
      {"JPEG", "scan with an undefined table", with(dcSum, {{dcScanTables, 0x10}}), D3DXERR_INVALIDDATA,
       "JPEG scan with an undefined Huffman table"},
      {"JPEG", "segment past the end", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + sof + 6), D3DXERR_INVALIDDATA,
       "JPEG segment past the end of the file"},
      {"BMP", "good", bmp, D3D_OK, ""},
      {"BMP", "height INT_MIN", with(bmp, {{22, 0}, {23, 0}, {24, 0}, {25, 0x80}}), D3DXERR_INVALIDDATA,
       "width or height out of range (4x2147483648)"},
      {"BMP", "run-length", with(bmp, {{30, 1}}), D3DXERR_INVALIDDATA, "BMP compression 1"},
      {"BMP", "claims 4000x4000", with(bmp, {{18, 0xA0}, {19, 0x0F}, {22, 0xA0}, {23, 0x0F}}), D3DXERR_INVALIDDATA,
       "BMP header claims 4000x4000 pixels"},
      {"TGA", "good", tga, D3D_OK, ""},
      {"TGA", "honest runs, 4096x4096", greyRuns(4096, 4096, 4096 * 4096 / 128), D3D_OK, ""},
      {"TGA", "runs claim 4112x3600", greyRuns(4112, 3600, 1000), D3DXERR_INVALIDDATA,
       "TGA header claims 4112x3600 pixels, which take at least 231318 bytes; the file has 2018"},
      {"TGA", "honest runs, 8200x4100", greyRuns(8200, 4100, (8200 * 4100 + 127) / 128), E_OUTOFMEMORY,
       "8200x4100 (16384x8192 once rounded up to powers of two) is more than the 33554432 pixels"},
      {"TGA", "colour map from entry 1", Text(std::string("\0\1\1\1\0\2\0\x18\0\0\0\0\1\0\1\0\x08\0", 18), Pattern(7)),
       D3DXERR_INVALIDDATA, "TGA colour map starting at entry 1"},
      {"HDR", "negative height", Text(hdrHead + "-Y -5 +X 10\n", Pattern(64)), D3DXERR_INVALIDDATA,
       "Radiance HDR layout other than -Y +X"},
      {"HDR", "no format line", Text("#?RADIANCE\n\n-Y 1 +X 1\n", Pattern(4)), D3DXERR_INVALIDDATA,
       "Radiance HDR in a format other than 32-bit RGBE"},
      {"HDR", "good run-length rows", Text(hdrHead + "-Y 2 +X 8\n", hdrRows), D3D_OK, ""},
      {"HDR", "run of length 0", Text(hdrHead + "-Y 2 +X 8\n", zeroRun), D3DXERR_INVALIDDATA, ""},
      {"HDR", "rows cut short", Text(hdrHead + "-Y 2 +X 8\n", std::vector<uint8_t>(hdrRows.begin(), hdrRows.end() - 1)),
       D3DXERR_INVALIDDATA, ""},
      {"HDR", "claims 16384x16384", Text(hdrHead + "-Y 16384 +X 16384\n", Pattern(64)), D3DXERR_INVALIDDATA,
       "Radiance HDR header claims 16384x16384 pixels"},
      {"PGM", "good, largest sample 15", Text("P5 1 1 15\n", {15}), D3D_OK, ""},
      {"PGM", "width past INT_MAX", Text("P5\n22522520000000000 1 255\n", Pattern(16)), D3DXERR_INVALIDDATA,
       "PGM/PPM header number out of range"},
      {"PGM", "16-bit samples", Text("P5 1 1 65535\n", {0, 0}), D3DXERR_INVALIDDATA, "PGM/PPM largest sample 65535"},
      {"PPM", "raster a byte short", Text("P6 2 1 255\n", Pattern(5)), D3DXERR_INVALIDDATA,
       "PGM/PPM header claims 2x1 pixels, which take at least 17 bytes; the file has 16"},
      {"PPM", "comment in place of the blank", Text("P6 1 1 255#\n", Pattern(3)), D3DXERR_INVALIDDATA,
       "damaged PGM/PPM header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + ": " + c.damage);
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(0x1);
    fake::TakeDebugOutput();
    const HRESULT hr = Load(c.bytes, &tex);
    const std::string debugOutput = fake::TakeDebugOutput();
    EXPECT_EQ(hr, c.hr);
    EXPECT_EQ(tex != nullptr, SUCCEEDED(c.hr));
    if (*c.reason == '\0') {
      EXPECT_EQ(debugOutput, "");
    } else {
      EXPECT_EQ(debugOutput.rfind("D3DX: texture refused: ", 0), 0u) << debugOutput;
      EXPECT_NE(debugOutput.find(c.reason), std::string::npos) << debugOutput;
    }
    if (tex != nullptr) tex->Release();
    EXPECT_EQ(fake::LiveObjects(), liveWithDevice);
  }
}

// Image files with 8-bit samples are resampled, filtered and encoded on
// bytes; every level stays within 1/255 of what the float path (decode to
// float RGBA, Resample, BoxDownsample, EncodeLevel) makes of the same
// pixels, for each format such files load as and for sizes that need
// resampling, one pixel wide or high, or neither.
TEST_F(TextureLoaderTest, EightBitImagesStayWithinOneStepOfTheFloatPath) {
  struct Case {
    int width, height, comp;
    D3DFORMAT format;
  };
  std::mt19937 rng(20);
  for (const Case& c : {Case{37, 21, 4, D3DFMT_A8R8G8B8}, Case{64, 32, 3, D3DFMT_X8R8G8B8}, Case{5, 300, 1, D3DFMT_L8},
                        Case{300, 1, 2, D3DFMT_A8L8}, Case{1, 1, 3, D3DFMT_X8R8G8B8}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " with " + std::to_string(c.comp) +
                 " channels");
    // Smooth gradients with noise: both the averages and the rounding show.
    std::vector<uint8_t> samples;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        for (int k = 0; k < c.comp; ++k) {
          samples.push_back(static_cast<uint8_t>((x * 7 + y * 3 + k * 50 + static_cast<int>(rng() % 40)) % 256));
        }
      }
    }
    d3dx::RgbaImage reference;
    reference.width = static_cast<UINT>(c.width);
    reference.height = static_cast<UINT>(c.height);
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(c.comp)) {
      const uint8_t* s = &samples[i];
      const uint8_t rgba[4] = {s[0], c.comp >= 3 ? s[1] : s[0], c.comp >= 3 ? s[2] : s[0],
                               c.comp == 4 ? s[3] : c.comp == 2 ? s[1] : uint8_t{255}};
      for (uint8_t v : rgba) reference.pixels.push_back(static_cast<float>(v) / 255.0f);
    }
    const UINT w = d3dx::NextPowerOfTwo(reference.width), h = d3dx::NextPowerOfTwo(reference.height);
    if (w != reference.width || h != reference.height) reference = d3dx::Resample(reference, w, h);

    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(EncodeImage("png", c.width, c.height, c.comp, samples), &tex), D3D_OK);
    EXPECT_EQ(CreateArgs()[4], static_cast<uint64_t>(c.format));
    for (UINT level = 0; level < tex->GetLevelCount(); ++level) {
      if (level > 0) reference = d3dx::BoxDownsample(reference);
      const std::vector<uint8_t> expected = d3dx::EncodeLevel(c.format, reference), got = LevelBytes(tex, level);
      ASSERT_EQ(got.size(), expected.size()) << "level " << level;
      int worst = 0;
      for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - expected[i]));
      EXPECT_LE(worst, 1) << "level " << level;
    }
    tex->Release();
  }
}

// The levels a block-format DDS lacks are made from its last level decoded
// to bytes: each decodes within a step of 5-bit colour (and of the encoder's
// choice of endpoints) of what the float path (DecodeLevel, BoxDownsample,
// EncodeLevel) makes, for a picture with gradients and noise.
TEST_F(TextureLoaderTest, BlockLevelsMadeFromBytesMatchTheFloatPath) {
  std::mt19937 rng(23);
  for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
    SCOPED_TRACE(format);
    d3dx::RgbaImage picture;
    picture.width = picture.height = 32;
    for (UINT y = 0; y < 32; ++y) {
      for (UINT x = 0; x < 32; ++x) {
        const float noise = static_cast<float>(rng() % 9) / 255.0f;
        picture.pixels.insert(picture.pixels.end(), {x / 31.0f, y / 31.0f, 0.5f + noise, 1.0f});
      }
    }
    const std::vector<uint8_t> top = d3dx::EncodeLevel(format, picture);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(Load(WriteDds(FourCC(format, 32, 32, 1), top), &tex), D3D_OK);
    ASSERT_EQ(tex->GetLevelCount(), 6u);
    d3dx::RgbaImage reference;
    ASSERT_TRUE(d3dx::DecodeLevel(format, top.data(), top.size(), 32, 32, &reference));
    for (UINT level = 1; level < tex->GetLevelCount(); ++level) {
      reference = d3dx::BoxDownsample(reference);
      const std::vector<uint8_t> bytes = d3dx::EncodeLevel(format, reference);
      d3dx::RgbaImage expected;
      ASSERT_TRUE(d3dx::DecodeLevel(format, bytes.data(), bytes.size(), reference.width, reference.height, &expected));
      const d3dx::RgbaImage got = Decoded(tex, level);
      ASSERT_EQ(got.pixels.size(), expected.pixels.size());
      float worst = 0;
      for (size_t i = 0; i < got.pixels.size(); ++i) worst = std::max(worst, std::fabs(got.pixels[i] - expected.pixels[i]));
      EXPECT_LE(worst * 255, 9.0f) << "level " << level;
    }
    tex->Release();
  }
}
