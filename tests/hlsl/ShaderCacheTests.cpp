// The cache of compiled shaders behind D3DXCompileShader: a hit gives what
// the compile gave; anything that changes the result misses; damaged
// entries are rewritten; concurrent writers and unwritable folders are safe.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "hlsl/HlslTestUtil.h"
#include "shader/ShaderCache.h"

namespace {

namespace fs = std::filesystem;
using hlsltest::Compile;
using hlsltest::Compiled;

std::string Bytes(ID3DXBuffer* b) {
  return b == nullptr ? std::string() : std::string(static_cast<const char*>(b->GetBufferPointer()), b->GetBufferSize());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Everything the constant table tells about every constant.
std::string Describe(ID3DXConstantTable* table) {
  if (table == nullptr) return "no table";
  D3DXCONSTANTTABLE_DESC desc;
  if (FAILED(table->GetDesc(&desc))) return "no desc";
  std::string out = std::to_string(desc.Version) + "/" + std::to_string(desc.Constants) + ";";
  for (UINT i = 0; i < desc.Constants; ++i) {
    D3DXCONSTANT_DESC c;
    UINT n = 1;
    if (FAILED(table->GetConstantDesc(table->GetConstant(nullptr, i), &c, &n))) return out + "bad constant";
    out += std::string(c.Name) + ":" + std::to_string(c.RegisterSet) + "," + std::to_string(c.RegisterIndex) + "," +
           std::to_string(c.RegisterCount) + "," + std::to_string(c.Class) + "," + std::to_string(c.Type) + "," +
           std::to_string(c.Rows) + "x" + std::to_string(c.Columns) + "x" + std::to_string(c.Elements) + ";";
  }
  return out;
}

class MapInclude : public ID3DXInclude {
 public:
  std::map<std::string, std::string> files;
  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    auto it = files.find(name);
    if (it == files.end()) return E_FAIL;
    *data = it->second.data();
    *bytes = static_cast<UINT>(it->second.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override { return S_OK; }
};

// Each test gets an empty cache folder of its own.
class ShaderCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CACHE_HOME");
    if (old != nullptr) m_oldHome = old;
    char pattern[] = "/tmp/ostrevin-cache-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    UseCacheHome(m_dir / "home");
  }
  void TearDown() override {
    setenv("XDG_CACHE_HOME", m_oldHome.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  void UseCacheHome(const fs::path& home) {
    m_home = home;
    setenv("XDG_CACHE_HOME", home.c_str(), 1);
  }

  // Entry files (path -> inode); a store always makes a new inode.
  std::map<std::string, ino_t> Entries() const {
    std::map<std::string, ino_t> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(m_home / "ostrevin", ec), end; !ec && it != end; it.increment(ec)) {
      struct stat st;
      if (it->is_regular_file() && stat(it->path().c_str(), &st) == 0) out[it->path().string()] = st.st_ino;
    }
    return out;
  }

  fs::path m_dir, m_home;
  std::string m_oldHome;
};

const char kPs[] =
    "#include \"tint.hlsl\"\n"
    "float4x4 m;\n"
    "sampler2D s;\n"
    "float4 main(float2 uv : TEXCOORD0) : COLOR { return mul(tex2D(s, uv), m) * TINT * kScale; }\n";

TEST_F(ShaderCacheTest, AHitGivesTheCompiledCodeAndConstantTableByteForByte) {
  for (const char* asset : {"vs-phong.hlsl", "ps-phong.hlsl"}) {
    SCOPED_TRACE(asset);
    const bool vertex = asset[0] == 'v';
    const char* entry = vertex ? "main" : "pixel_shader_main";
    const char* profile = vertex ? "vs_2_0" : "ps_2_0";
    Compiled first;
    Compile(&first, hlsltest::ReadAsset(asset), entry, profile);
    ASSERT_EQ(first.hr, D3D_OK) << first.Messages();
    const auto filled = Entries();
    Compiled hit;
    Compile(&hit, hlsltest::ReadAsset(asset), entry, profile);
    ASSERT_EQ(hit.hr, D3D_OK) << hit.Messages();
    EXPECT_EQ(Entries(), filled) << "a hit writes nothing";
    EXPECT_EQ(Bytes(hit.code), Bytes(first.code));
    EXPECT_EQ(Bytes(hit.table), Bytes(first.table));
    EXPECT_EQ(Describe(hit.table), Describe(first.table));
    EXPECT_EQ(hit.Messages(), first.Messages());
  }
  EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(ShaderCacheTest, AChangedDefineIncludeFlagOrSourceMisses) {
  struct Variant {
    const char* what;
    std::string source = kPs;
    const char* tint = "0.5";
    std::string scale = "static const float kScale = 2.0;\n";
    DWORD flags = 0;
  };
  std::vector<Variant> variants(5);
  variants[1].what = "define";
  variants[1].tint = "0.25";
  variants[2].what = "include";
  variants[2].scale = "static const float kScale = 3.0;\n";
  variants[3].what = "flag";
  variants[3].flags = D3DXSHADER_PACKMATRIX_ROWMAJOR;
  variants[4].what = "source";
  variants[4].source.replace(variants[4].source.find("* kScale"), 8, "/ kScale");

  auto compile = [](const Variant& v) {
    MapInclude include;
    include.files["tint.hlsl"] = v.scale;
    const D3DXMACRO macros[] = {{"TINT", v.tint}, {nullptr, nullptr}};
    Compiled r;
    Compile(&r, v.source, "main", "ps_2_0", macros, &include, v.flags);
    EXPECT_EQ(r.hr, D3D_OK) << r.Messages();
    return Bytes(r.code);
  };
  const std::string base = compile(variants[0]);
  for (size_t i = 1; i < variants.size(); ++i) {
    SCOPED_TRACE(variants[i].what);
    UseCacheHome(m_dir / ("filled-" + std::to_string(i)));
    EXPECT_EQ(compile(variants[0]), base);
    const std::string afterBase = compile(variants[i]);
    UseCacheHome(m_dir / ("empty-" + std::to_string(i)));
    const std::string fresh = compile(variants[i]);
    EXPECT_NE(fresh, base);
    EXPECT_EQ(afterBase, fresh);
  }
}

// An entry file as the cache writes it, around a payload made here: the
// key, include records (made by the caller), no messages, the code. Its
// length and checksum are right, so only the payload's checks can refuse it.
std::string SoundEntry(const std::string& key, uint32_t includeCount, const std::string& includes,
                       const std::string& code) {
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const std::string payload = u32(static_cast<uint32_t>(key.size())) + key + u32(includeCount) + includes + u32(0) +
                              u32(static_cast<uint32_t>(code.size() / 4)) + code;
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : payload) h = (h ^ c) * 0x100000001b3ull;
  const uint64_t length = payload.size();
  return "OSTRSHC1" + std::string(reinterpret_cast<const char*>(&length), 8) +
         std::string(reinterpret_cast<const char*>(&h), 8) + payload;
}

TEST_F(ShaderCacheTest, DamagedTruncatedAndForeignEntriesAreIgnoredAndRewritten) {
  const std::string vs = hlsltest::ReadAsset("vs-phong.hlsl");
  const std::string ps = hlsltest::ReadAsset("ps-phong.hlsl");
  std::string vsCode, psCode, vsPath, psPath;
  {
    Compiled a, b;
    Compile(&a, vs, "main", "vs_2_0");
    ASSERT_EQ(a.hr, D3D_OK);
    ASSERT_EQ(Entries().size(), 1u);
    vsPath = Entries().begin()->first;
    Compile(&b, ps, "pixel_shader_main", "ps_2_0");
    ASSERT_EQ(b.hr, D3D_OK);
    vsCode = Bytes(a.code);
    psCode = Bytes(b.code);
  }
  for (const auto& e : Entries()) {
    if (e.first != vsPath) psPath = e.first;
  }
  ASSERT_FALSE(vsPath.empty());
  ASSERT_FALSE(psPath.empty());
  const std::string good = ReadAll(vsPath);

  struct Damage {
    const char* what;
    std::string bytes;
  };
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x40;
  std::string badMagic = good;
  badMagic[0] = 'X';
  uint32_t keyLength = 0;
  std::memcpy(&keyLength, good.data() + 24, 4);
  const std::string key = good.substr(28, keyLength);
  auto counted = [](const std::string& s) {
    const uint32_t n = static_cast<uint32_t>(s.size());
    return std::string(reinterpret_cast<const char*>(&n), 4) + s;
  };
  // An include record: type, name, parent, opened, bytes.
  const std::string include = std::string("\x00\x00\x00\x80", 4) + counted("x.h") + counted("") +
                              std::string(4, '\0') + counted("");
  ASSERT_EQ(SoundEntry(key, 0, "", vsCode), good) << "the entries below are made as the cache makes them";
  const Damage damages[] = {
      {"a flipped byte", flipped},
      {"truncated to half", good.substr(0, good.size() / 2)},
      {"truncated to its header", good.substr(0, 24)},
      {"empty", ""},
      {"another magic", badMagic},
      {"another shader's entry", ReadAll(psPath)},
      {"longer than its length says", good + "trailing"},
      {"sound, with the pixel shader's code", SoundEntry(key, 0, "", psCode)},
      {"sound, with an include of no D3DXINCLUDE_TYPE", SoundEntry(key, 1, include, vsCode)},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    WriteAll(vsPath, d.bytes);
    Compiled r;
    Compile(&r, vs, "main", "vs_2_0");
    ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
    EXPECT_EQ(Bytes(r.code), vsCode);
    EXPECT_EQ(ReadAll(vsPath), good) << "rewritten";
  }
  Compiled other;
  Compile(&other, ps, "pixel_shader_main", "ps_2_0");
  EXPECT_EQ(Bytes(other.code), psCode);
}

TEST_F(ShaderCacheTest, TwoProcessesFillingItAtOnceLeaveItSound) {
  constexpr int kShaders = 6;
  auto source = [](int i) {
    return "float4 main() : COLOR { return float4(" + std::to_string(i) + ", 0.5, 0.25, 1); }\n";
  };
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < kShaders; ++k) {
          const int i = c == 0 ? k : kShaders - 1 - k;  // opposite orders
          const std::string s = source(i);
          ID3DXBuffer* code = nullptr;
          ok = ok && SUCCEEDED(D3DXCompileShader(s.data(), static_cast<UINT>(s.size()), nullptr, nullptr, "main",
                                                 "ps_2_0", 0, &code, nullptr, nullptr));
          if (code != nullptr) code->Release();
        }
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto filled = Entries();
  ASSERT_EQ(filled.size(), static_cast<size_t>(kShaders)) << "one entry each, no temporary files left";
  for (int i = 0; i < kShaders; ++i) {
    Compiled r;
    Compile(&r, source(i), "main", "ps_2_0");
    EXPECT_EQ(r.hr, D3D_OK) << r.Messages();
  }
  EXPECT_EQ(Entries(), filled) << "every entry was sound: all hits";
}

TEST_F(ShaderCacheTest, AnUnwritableFolderCostsOnlyTheCache) {
  const std::string vs = hlsltest::ReadAsset("vs-phong.hlsl");
  Compiled cached;
  Compile(&cached, vs, "main", "vs_2_0");
  ASSERT_EQ(cached.hr, D3D_OK);

  // A file where the folder would be: nothing can be made under it.
  WriteAll(m_dir / "file", "not a folder");
  UseCacheHome(m_dir / "file" / "home");
  for (int i = 0; i < 2; ++i) {
    Compiled r;
    Compile(&r, vs, "main", "vs_2_0");
    ASSERT_EQ(r.hr, D3D_OK) << r.Messages();
    EXPECT_EQ(Bytes(r.code), Bytes(cached.code));
    EXPECT_EQ(r.Messages(), cached.Messages());
  }
}

TEST_F(ShaderCacheTest, TheFolderStaysUnderItsBound) {
  const fs::path root = m_dir / "bounded";
  ostrevin::ShaderCache older(root.string(), "older-build", 1 << 20);
  ostrevin::CachedShader entry;
  entry.code.assign(256, 7);  // ~1 KiB a file
  ASSERT_TRUE(older.Store("old", entry));
  ostrevin::ShaderCache cache(root.string(), "this-build", 16 << 10);
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(cache.Store("key" + std::to_string(i), entry));
  uint64_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) total += e.file_size();
  }
  EXPECT_LE(total, 16u << 10);
  EXPECT_FALSE(fs::exists(root / "older-build")) << "the oldest entries went first, and their emptied folder";
  ostrevin::CachedShader loaded;
  ASSERT_TRUE(cache.Load("key39", &loaded));
  EXPECT_EQ(loaded.code, entry.code);
  EXPECT_FALSE(cache.Load("key0", &loaded));
}

}  // namespace
