// A GL shader object compiled from GLSL: the one place that compiles and
// collects the compiler's log, for the shaders' own objects and for the
// render-state variants of a program.
#pragma once

#include <string>

#include "GlFunctions.h"

namespace ostrevin::d3d9 {

// The compiled shader of `type` (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER), or 0
// with the compiler's log in *log when the source does not compile.
GLuint CompileGlShader(GLenum type, const std::string& source, std::string* log);

}  // namespace ostrevin::d3d9
