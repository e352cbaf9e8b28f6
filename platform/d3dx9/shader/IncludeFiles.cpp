// Asking the application's include handler, once per file and call.
#include "shader/IncludeFiles.h"

#include <cstring>

namespace ostrevin {

IncludeFiles::~IncludeFiles() {
  for (auto& f : m_files) {
    if (f.second.ok) m_include->Close(f.second.data);
  }
}

bool IncludeFiles::Get(D3DXINCLUDE_TYPE type, const char* name, const char* includerName, const char** data,
                       UINT* bytes) {
  if (m_include == nullptr || name == nullptr) return false;
  auto it = m_files.find(name);
  if (it == m_files.end()) {
    LPCVOID parent = nullptr;
    const char* parentName = "";
    if (includerName != nullptr) {
      auto p = m_files.find(includerName);
      if (p != m_files.end()) {
        parent = p->second.data;
        parentName = includerName;
      }
    }
    File f;
    f.ok = SUCCEEDED(m_include->Open(type, name, parent, &f.data, &f.bytes));
    if (f.ok && f.data == nullptr) f.bytes = 0;
    it = m_files.emplace(name, f).first;
    IncludedFile record;
    record.type = type;
    record.name = name;
    record.parent = parentName;
    record.opened = f.ok;
    if (f.ok) record.bytes.assign(static_cast<const char*>(f.data), f.bytes);
    m_asked.push_back(std::move(record));
  }
  if (!it->second.ok) return false;
  *data = static_cast<const char*>(it->second.data);
  *bytes = it->second.bytes;
  return true;
}

bool IncludeFiles::Match(const std::vector<IncludedFile>& recorded) {
  for (const IncludedFile& f : recorded) {
    const char* data = nullptr;
    UINT bytes = 0;
    const bool ok = Get(f.type, f.name.c_str(), f.parent.empty() ? nullptr : f.parent.c_str(), &data, &bytes);
    if (ok != f.opened) return false;
    if (ok && (bytes != f.bytes.size() || (bytes > 0 && std::memcmp(data, f.bytes.data(), bytes) != 0))) return false;
  }
  return true;
}

}  // namespace ostrevin
