// The build id of an ELF program: the GNU build-id note of the object this
// code is linked into.
#include <link.h>

#include <cstdint>
#include <cstring>

#include "shader/BuildId.h"

namespace ostrevin {

// The GNU build id of the object this code is linked into: it changes with
// every change of the program, the layer or the compiler libraries in it.
std::string ProgramBuildId() {
  struct Search {
    uintptr_t address;
    std::string id;
  } search = {reinterpret_cast<uintptr_t>(&ProgramBuildId), std::string()};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) -> int {
        Search* s = static_cast<Search*>(data);
        bool mine = false;
        for (int i = 0; i < info->dlpi_phnum && !mine; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
          mine = ph.p_type == PT_LOAD && s->address >= start && s->address < start + ph.p_memsz;
        }
        if (!mine) return 0;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_NOTE) continue;
          const char* p = reinterpret_cast<const char*>(info->dlpi_addr + ph.p_vaddr);
          const char* end = p + ph.p_memsz;
          while (p + sizeof(ElfW(Nhdr)) <= end) {
            const ElfW(Nhdr)* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
            const char* name = p + sizeof(ElfW(Nhdr));
            const char* desc = name + ((note->n_namesz + 3) & ~3u);
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0 &&
                desc + note->n_descsz <= end) {
              s->id = LowerHex(reinterpret_cast<const unsigned char*>(desc), note->n_descsz);
              return 1;
            }
            p = desc + ((note->n_descsz + 3) & ~3u);
          }
        }
        return 1;
      },
      &search);
  return search.id;
}

}  // namespace ostrevin
