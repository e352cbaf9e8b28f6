// The persistent cache of compiled shaders: one file per compile under
// $XDG_CACHE_HOME/ostrevin (or ~/.cache/ostrevin), in a folder per build of
// the program, so that a new build never reads an older one's results.
// Entries are written to a temporary file and renamed into place; an entry
// whose length, checksum or key does not match is not trusted. The folder
// is kept under a size bound, oldest entries going first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shader/IncludeFiles.h"

namespace ostrevin {

// What a compile produced, with the includes it read.
struct CachedShader {
  std::vector<IncludedFile> includes;
  std::string messages;        // warnings
  std::vector<uint32_t> code;  // the layer's shader code
};

class ShaderCache {
 public:
  static constexpr uint64_t kDefaultMaxBytes = 64u << 20;

  // root is the cache folder (made when the first entry is stored); build
  // names the program's build, entries of other builds are never read.
  ShaderCache(std::string root, std::string build, uint64_t maxBytes = kDefaultMaxBytes);

  // The cache of this process, in the folder the environment names now:
  // none when OSTREVIN_SHADER_CACHE=0, when neither XDG_CACHE_HOME nor HOME
  // is set, or when the executable carries no build id.
  static std::optional<ShaderCache> OfProcess();

  // Whether this build stored entries before (a later run will likely hit).
  bool HoldsEntriesOfThisBuild() const;

  // key: the bytes that decide the result besides the includes. False when
  // there is no sound entry for it.
  bool Load(const std::string& key, CachedShader* out) const;
  // False when the entry could not be written; the cache is then left as it was.
  bool Store(const std::string& key, const CachedShader& entry) const;

  const std::string& Folder() const { return m_folder; }
  std::string PathOf(const std::string& key) const;

 private:
  void Trim() const;

  std::string m_root;
  std::string m_build;
  std::string m_folder;  // m_root/m_build
  uint64_t m_maxBytes;
};

}  // namespace ostrevin
