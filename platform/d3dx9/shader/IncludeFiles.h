// The application's ID3DXInclude during one D3DXCompileShader call: each
// file is asked for once, kept open for the whole call and closed at its
// end, and every answer is recorded, so that a cached result can be checked
// against the files it was made from.
#pragma once

#include <d3dx9.h>

#include <map>
#include <string>
#include <vector>

namespace ostrevin {

// One file the handler was asked for, and its answer.
struct IncludedFile {
  D3DXINCLUDE_TYPE type = D3DXINC_LOCAL;
  std::string name;
  std::string parent;   // the including file's name; empty for the source itself
  bool opened = false;  // whether Open succeeded
  std::string bytes;    // what it gave
};

class IncludeFiles {
 public:
  explicit IncludeFiles(LPD3DXINCLUDE include) : m_include(include) {}
  ~IncludeFiles();
  IncludeFiles(const IncludeFiles&) = delete;
  IncludeFiles& operator=(const IncludeFiles&) = delete;

  // The file name as included from includerName (a file opened before, or
  // anything else for the source itself); false when there is no handler
  // or it refused the file.
  bool Get(D3DXINCLUDE_TYPE type, const char* name, const char* includerName, const char** data, UINT* bytes);

  // Asks for the recorded files again, in their order: whether the handler
  // gives the same answers. Stops at the first difference.
  bool Match(const std::vector<IncludedFile>& recorded);

  // Every file asked for so far, in order.
  const std::vector<IncludedFile>& Asked() const { return m_asked; }

 private:
  struct File {
    bool ok = false;
    LPCVOID data = nullptr;
    UINT bytes = 0;
  };

  LPD3DXINCLUDE m_include;
  std::map<std::string, File> m_files;
  std::vector<IncludedFile> m_asked;
};

}  // namespace ostrevin
