// The GL shader object of a translated vertex or pixel shader. The front
// keeps the shader code and its GLSL translation; the programs link the name.
#pragma once

#include <string>

namespace ostrevin {
struct GlslShader;
}

namespace ostrevin::d3d9 {

class GlDevice;

class GlShader {
 public:
  // Compiles the translation; false, with the compiler's log in *log, when
  // GL refuses it.
  bool Create(GlDevice& device, const GlslShader& glsl, std::string* log);
  void Destroy(GlDevice& device);
  unsigned Name() const { return m_name; }  // 0 while there is none

 private:
  unsigned m_name = 0;
};

}  // namespace ostrevin::d3d9
