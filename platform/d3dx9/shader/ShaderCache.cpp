// Entry files: their names, format, checks, atomic writes and the size bound.
//
// An entry: "OSTRSHC1", the payload's length (u64) and checksum (u64), then
// the payload: the key, the includes (type, name, parent, opened, bytes),
// the messages and the shader code. Numbers are little-endian; strings and
// the code carry their length first.
#include "shader/ShaderCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glslang/build_info.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Switches.h"
#include "shader/BuildId.h"

namespace ostrevin {
namespace {

const char kMagic[8] = {'O', 'S', 'T', 'R', 'S', 'H', 'C', '1'};
constexpr size_t kHeaderBytes = sizeof(kMagic) + 16;
constexpr uint64_t kMaxEntryBytes = 64u << 20;

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t h = 0xcbf29ce484222325ull) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

// ------------------------------------------------------------ the payload

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutString(std::string& out, const std::string& s) {
  PutU32(out, static_cast<uint32_t>(s.size()));
  out += s;
}

class Reader {
 public:
  Reader(const char* p, size_t n) : m_p(p), m_end(p + n) {}
  bool U32(uint32_t* v) {
    if (m_end - m_p < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= uint32_t(static_cast<unsigned char>(m_p[i])) << (8 * i);
    m_p += 4;
    return true;
  }
  bool U64(uint64_t* v) {
    uint32_t lo, hi;
    if (!U32(&lo) || !U32(&hi)) return false;
    *v = (uint64_t(hi) << 32) | lo;
    return true;
  }
  bool String(std::string* s) {
    uint32_t n;
    if (!U32(&n) || static_cast<size_t>(m_end - m_p) < n) return false;
    s->assign(m_p, n);
    m_p += n;
    return true;
  }
  bool Done() const { return m_p == m_end; }

 private:
  const char* m_p;
  const char* m_end;
};

std::string Encode(const std::string& key, const CachedShader& entry) {
  std::string payload;
  PutString(payload, key);
  PutU32(payload, static_cast<uint32_t>(entry.includes.size()));
  for (const IncludedFile& f : entry.includes) {
    PutU32(payload, static_cast<uint32_t>(f.type));
    PutString(payload, f.name);
    PutString(payload, f.parent);
    PutU32(payload, f.opened ? 1 : 0);
    PutString(payload, f.bytes);
  }
  PutString(payload, entry.messages);
  PutU32(payload, static_cast<uint32_t>(entry.code.size()));
  for (uint32_t w : entry.code) PutU32(payload, w);

  std::string file(kMagic, sizeof(kMagic));
  PutU64(file, payload.size());
  PutU64(file, Fnv1a(payload.data(), payload.size()));
  return file + payload;
}

bool Decode(const std::string& file, const std::string& key, CachedShader* out) {
  if (file.size() < kHeaderBytes || std::memcmp(file.data(), kMagic, sizeof(kMagic)) != 0) return false;
  Reader header(file.data() + sizeof(kMagic), 16);
  uint64_t length = 0, checksum = 0;
  header.U64(&length);
  header.U64(&checksum);
  if (length != file.size() - kHeaderBytes) return false;
  const char* payload = file.data() + kHeaderBytes;
  if (Fnv1a(payload, length) != checksum) return false;

  Reader in(payload, length);
  std::string storedKey;
  uint32_t count = 0;
  if (!in.String(&storedKey) || storedKey != key || !in.U32(&count) || count > length) return false;
  CachedShader entry;
  entry.includes.resize(count);
  for (IncludedFile& f : entry.includes) {
    uint32_t type = 0, opened = 0;
    if (!in.U32(&type) || !in.String(&f.name) || !in.String(&f.parent) || !in.U32(&opened) || !in.String(&f.bytes)) {
      return false;
    }
    if (type != D3DXINC_LOCAL && type != D3DXINC_SYSTEM) return false;
    f.type = type == D3DXINC_SYSTEM ? D3DXINC_SYSTEM : D3DXINC_LOCAL;
    f.opened = opened != 0;
  }
  uint32_t words = 0;
  if (!in.String(&entry.messages) || !in.U32(&words) || words > length / 4) return false;
  entry.code.resize(words);
  for (uint32_t& w : entry.code) {
    if (!in.U32(&w)) return false;
  }
  if (!in.Done() || entry.code.empty()) return false;
  *out = std::move(entry);
  return true;
}

// ------------------------------------------------------------ the files

bool ReadFile(const std::string& path, std::string* out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= kMaxEntryBytes;
  if (ok) {
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < out->size()) {
      const ssize_t n = read(fd, out->data() + done, out->size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<size_t>(n);
    }
  }
  close(fd);
  return ok;
}

bool WriteFile(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  if (errno != ENOENT) return false;
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return false;
  return MakeFolder(path.substr(0, slash)) && (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST);
}

struct Entry {
  std::string path;
  uint64_t bytes;
  int64_t mtimeNs;
};

// Every file one level down from root, and the folders holding them.
void ListEntries(const std::string& root, std::vector<Entry>* files, std::vector<std::string>* folders) {
  DIR* top = opendir(root.c_str());
  if (top == nullptr) return;
  while (dirent* d = readdir(top)) {
    if (d->d_name[0] == '.') continue;
    const std::string folder = root + "/" + d->d_name;
    DIR* sub = opendir(folder.c_str());
    if (sub == nullptr) continue;
    folders->push_back(folder);
    while (dirent* e = readdir(sub)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      const std::string path = folder + "/" + e->d_name;
      struct stat st;
      if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        files->push_back({path, static_cast<uint64_t>(st.st_size),
                          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
      }
    }
    closedir(sub);
  }
  closedir(top);
}

}  // namespace

ShaderCache::ShaderCache(std::string root, std::string build, uint64_t maxBytes)
    : m_root(std::move(root)), m_build(std::move(build)), m_folder(m_root + "/" + m_build), m_maxBytes(maxBytes) {}

std::optional<ShaderCache> ShaderCache::OfProcess() {
  if (!switches::ShaderCacheEnabled()) return std::nullopt;
  static const std::string s_build = [] {
    const std::string id = ProgramBuildId();
    if (id.empty()) return std::string();
    return id + "-glslang" + std::to_string(GLSLANG_VERSION_MAJOR) + "." + std::to_string(GLSLANG_VERSION_MINOR) +
           "." + std::to_string(GLSLANG_VERSION_PATCH);
  }();
  if (s_build.empty()) return std::nullopt;
  std::string root;
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    root = std::string(xdg) + "/ostrevin";
  } else if (home != nullptr && home[0] == '/') {
    root = std::string(home) + "/.cache/ostrevin";
  } else {
    return std::nullopt;
  }
  return ShaderCache(root, s_build);
}

bool ShaderCache::HoldsEntriesOfThisBuild() const {
  struct stat st;
  return stat(m_folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ShaderCache::PathOf(const std::string& key) const {
  const uint64_t a = Fnv1a(key.data(), key.size());
  const uint64_t b = Fnv1a(key.data(), key.size(), a ^ 0x9e3779b97f4a7c15ull);
  unsigned char bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<unsigned char>(a >> (8 * i));
    bytes[8 + i] = static_cast<unsigned char>(b >> (8 * i));
  }
  return m_folder + "/" + LowerHex(bytes, sizeof(bytes));
}

bool ShaderCache::Load(const std::string& key, CachedShader* out) const {
  std::string file;
  return ReadFile(PathOf(key), &file) && Decode(file, key, out);
}

bool ShaderCache::Store(const std::string& key, const CachedShader& entry) const {
  const std::string bytes = Encode(key, entry);
  if (bytes.size() > kMaxEntryBytes || bytes.size() > m_maxBytes || !MakeFolder(m_folder)) return false;
  static std::atomic<unsigned> s_counter{0};
  const std::string path = PathOf(key);
  const std::string temporary =
      m_folder + "/.tmp-" + std::to_string(getpid()) + "-" + std::to_string(s_counter.fetch_add(1));
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteFile(fd, bytes);
  const bool closed = close(fd) == 0;
  if (!written || !closed || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  Trim();
  return true;
}

// Oldest entries (of any build) go until the folder is under three
// quarters of its bound; folders left empty go with them, except this
// build's, which tells the next start its entries are there.
void ShaderCache::Trim() const {
  std::vector<Entry> files;
  std::vector<std::string> folders;
  ListEntries(m_root, &files, &folders);
  uint64_t total = 0;
  for (const Entry& e : files) total += e.bytes;
  if (total <= m_maxBytes) return;
  std::sort(files.begin(), files.end(), [](const Entry& a, const Entry& b) { return a.mtimeNs < b.mtimeNs; });
  for (const Entry& e : files) {
    if (total <= m_maxBytes / 4 * 3) break;
    if (unlink(e.path.c_str()) == 0) total -= e.bytes;
  }
  for (const std::string& folder : folders) {
    if (folder != m_folder) rmdir(folder.c_str());  // only when empty
  }
}

}  // namespace ostrevin
