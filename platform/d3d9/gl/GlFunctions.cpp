#include "GlFunctions.h"

#include <SDL.h>

#include <cstring>

namespace ostrevin {
namespace gl {

#define OSTREVIN_GL_DEFINE(type, name) type name = nullptr;
OSTREVIN_GL_FUNCTIONS(OSTREVIN_GL_DEFINE)
OSTREVIN_GL_DESKTOP_FUNCTIONS(OSTREVIN_GL_DEFINE)
OSTREVIN_GL_ES_FUNCTIONS(OSTREVIN_GL_DEFINE)
OSTREVIN_GL_OPTIONAL_FUNCTIONS(OSTREVIN_GL_DEFINE)
#undef OSTREVIN_GL_DEFINE

bool Load(bool es, const char** missing) {
#define OSTREVIN_GL_LOAD(type, name)                                    \
  name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));   \
  if (name == nullptr) {                                                \
    if (missing != nullptr) *missing = "gl" #name;                      \
    return false;                                                       \
  }
  OSTREVIN_GL_FUNCTIONS(OSTREVIN_GL_LOAD)
  if (!es) {
    OSTREVIN_GL_DESKTOP_FUNCTIONS(OSTREVIN_GL_LOAD)
  } else {
    OSTREVIN_GL_ES_FUNCTIONS(OSTREVIN_GL_LOAD)
  }
#undef OSTREVIN_GL_LOAD
#define OSTREVIN_GL_LOAD_OPTIONAL(type, name) \
  name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));
  OSTREVIN_GL_OPTIONAL_FUNCTIONS(OSTREVIN_GL_LOAD_OPTIONAL)
#undef OSTREVIN_GL_LOAD_OPTIONAL
  return true;
}

bool HasExtension(const char* name) {
  GLint count = 0;
  GetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const char* ext = reinterpret_cast<const char*>(GetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (ext != nullptr && std::strcmp(ext, name) == 0) return true;
  }
  return false;
}

}  // namespace gl
}  // namespace ostrevin
