// WebAssembly has no build-id note: the build gives no id, so the shader
// cache is off there (a page's file system does not outlive it anyway).
#include "shader/BuildId.h"

namespace ostrevin {

std::string ProgramBuildId() { return std::string(); }

}  // namespace ostrevin
