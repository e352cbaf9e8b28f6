// libFuzzer target: an entry of the compiled-shader cache as read from disk.
// The input is written where the entry of its own key belongs (in a cache
// folder of this process's), as it is and then with its length and
// checksum made right, so that the payload's parse is reached; an entry
// the cache accepts is then asked for by D3DXCompileShader with the
// request its key describes (source, macros, entry point, profile, flags)
// and an include handler that gives the files it records, and the result
// is used. Seeds: real entries of the shader corpus (fuzz_seeds).
#include <d3dx9.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/ShaderCache.h"
#include "tests/fuzz/ConstantTableUse.h"

namespace {

constexpr size_t kHeaderBytes = 24;  // "OSTRSHC1", payload length, checksum

uint64_t Fnv1a(const char* p, size_t n) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= static_cast<unsigned char>(p[i]);
    h *= 0x100000001b3ull;
  }
  return h;
}

void PutU64(std::string* s, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// "N:bytes" at *at.
bool Counted(const std::string& key, size_t* at, std::string* out) {
  const size_t colon = key.find(':', *at);
  if (colon == std::string::npos || colon == *at || colon - *at > 10) return false;
  uint64_t n = 0;
  for (size_t i = *at; i < colon; ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
    n = n * 10 + static_cast<uint64_t>(key[i] - '0');
  }
  if (n > key.size() - colon - 1) return false;
  *out = key.substr(colon + 1, n);
  *at = colon + 1 + n;
  return true;
}

// The D3DXCompileShader call a key stands for.
struct Request {
  std::string source, entry, profile;
  std::vector<std::pair<std::string, std::string>> macros;
  DWORD flags = 0;
};

bool ParseKey(const std::string& key, Request* r) {
  size_t at = 0;
  std::string preamble;
  if (!Counted(key, &at, &r->source) || !Counted(key, &at, &preamble) || !Counted(key, &at, &r->entry) ||
      !Counted(key, &at, &r->profile) || at >= key.size() || key.size() - at > 10)
    return false;
  uint64_t flags = 0;
  for (; at < key.size(); ++at) {
    if (key[at] < '0' || key[at] > '9') return false;
    flags = flags * 10 + static_cast<uint64_t>(key[at] - '0');
  }
  if (flags > 0xFFFFFFFFu || r->source.empty() || r->entry.empty() || r->entry.find('\0') != std::string::npos ||
      r->profile.find('\0') != std::string::npos)
    return false;
  r->flags = static_cast<DWORD>(flags);
  // The preamble: the matrix packing, then one "#define NAME VALUE" a macro.
  const std::string pack = "#pragma pack_matrix(row_major)\n";
  size_t p = 0;
  if (r->flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) {
    if (preamble.compare(0, pack.size(), pack) != 0) return false;
    p = pack.size();
  }
  while (p < preamble.size()) {
    const size_t end = preamble.find('\n', p);
    if (end == std::string::npos || preamble.compare(p, 8, "#define ") != 0) return false;
    const std::string line = preamble.substr(p + 8, end - p - 8);
    const size_t space = line.find(' ');
    if (space == std::string::npos || space == 0 || line.find('\0') != std::string::npos) return false;
    r->macros.emplace_back(line.substr(0, space), line.substr(space + 1));
    p = end + 1;
  }
  return true;
}

// Gives the files an entry records, as they were given then.
class RecordedIncludes final : public ID3DXInclude {
 public:
  explicit RecordedIncludes(const std::vector<ostrevin::IncludedFile>& files) {
    for (const ostrevin::IncludedFile& f : files) m_files.emplace(f.name, f);
  }
  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    auto it = m_files.find(name);
    if (it == m_files.end() || !it->second.opened) return E_FAIL;
    *data = it->second.bytes.data();
    *bytes = static_cast<UINT>(it->second.bytes.size());
    ++m_open;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override {
    if (m_open-- == 0) std::abort();
    return S_OK;
  }
  int m_open = 0;

 private:
  std::map<std::string, ostrevin::IncludedFile> m_files;
};

std::string g_home;

bool WriteEntry(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A cache folder of this process's own, gone when it ends.
  char pattern[] = "/tmp/ostrevin-fuzz-cache.XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  g_home = pattern;
  setenv("XDG_CACHE_HOME", g_home.c_str(), 1);
  setenv("OSTREVIN_SHADER_CACHE", "1", 1);
  std::atexit([] { std::filesystem::remove_all(g_home); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::optional<ostrevin::ShaderCache> cache = ostrevin::ShaderCache::OfProcess();
  if (!cache) std::abort();  // no build id: the cache would never be read
  if (size > (1u << 20)) return 0;
  std::string file(reinterpret_cast<const char*>(data), size);

  // The key is the payload's first string.
  std::string key;
  if (size >= kHeaderBytes + 4) {
    uint32_t n = 0;
    std::memcpy(&n, data + kHeaderBytes, 4);
    if (n <= size - kHeaderBytes - 4) key.assign(file, kHeaderBytes + 4, n);
  }
  std::filesystem::create_directories(cache->Folder());
  const std::string path = cache->PathOf(key);

  ostrevin::CachedShader entry;
  if (!WriteEntry(path, file)) std::abort();
  bool loaded = cache->Load(key, &entry);
  if (!loaded && size >= kHeaderBytes) {
    // Damage the cache's own checks would catch is no news; what is past
    // them is.
    std::memcpy(&file[0], "OSTRSHC1", 8);
    PutU64(&file, 8, size - kHeaderBytes);
    PutU64(&file, 16, Fnv1a(file.data() + kHeaderBytes, size - kHeaderBytes));
    if (!WriteEntry(path, file)) std::abort();
    loaded = cache->Load(key, &entry);
  }
  Request request;
  ostrevin::ShaderCode code;
  // An entry the compile would miss is left there: a miss compiles anew,
  // which the HLSL targets cover.
  if (!loaded || !ParseKey(key, &request) ||
      !ostrevin::DecodeShaderCode(entry.code.data(), entry.code.size() * 4, &code))
    return 0;

  std::vector<D3DXMACRO> macros;
  for (const auto& m : request.macros) macros.push_back({m.first.c_str(), m.second.c_str()});
  macros.push_back({nullptr, nullptr});
  RecordedIncludes includes(entry.includes);
  ID3DXBuffer* shader = nullptr;
  ID3DXBuffer* messages = nullptr;
  ID3DXConstantTable* table = nullptr;
  const HRESULT hr = D3DXCompileShader(request.source.data(), static_cast<UINT>(request.source.size()),
                                       macros.data(), &includes, request.entry.c_str(), request.profile.c_str(),
                                       request.flags, &shader, &messages, &table);
  if (includes.m_open != 0) std::abort();  // every file opened is closed
  if (SUCCEEDED(hr)) {
    ostrevin::ShaderCode result;
    if (shader == nullptr || table == nullptr ||
        !ostrevin::DecodeShaderCode(static_cast<const DWORD*>(shader->GetBufferPointer()), shader->GetBufferSize(),
                                    &result))
      std::abort();
    // Whatever the entry says, the code is for the profile asked for.
    const bool pixel = request.profile[0] == 'p';
    if ((result.stage == ostrevin::ShaderStage::Pixel) != pixel) std::abort();
    fuzz_support::UseConstantTable(table);
  }
  if (shader) shader->Release();
  if (messages) messages->Release();
  if (table) table->Release();
  return 0;
}
