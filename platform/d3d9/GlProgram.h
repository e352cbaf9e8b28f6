// GL programs, one per vertex/pixel shader pair as the draws meet them:
// linking, sampler units, and the upload of the Direct3D constant registers
// into the GLSL uniforms (only what changed since the program last drew).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DeviceState.h"
#include "GlStateCache.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

class Resource;

struct GlProgram {
  VertexShader* vs = nullptr;
  PixelShader* ps = nullptr;
  GLuint name = 0;
  bool linked = false;
  GLint posFixLocation = -1;
  struct Uniform {
    const GlslUniform* info;
    GLint location;
    bool pixel;
  };
  std::vector<Uniform> uniforms;
  std::vector<float> shadow;  // last uploaded values, 4 floats per register, per uniform in order
  uint64_t vsVersion = ~0ull, psVersion = ~0ull, posFixVersion = ~0ull;
};

class GlProgramCache {
 public:
  // The linked program of the state's shader pair, bound; nullptr (and
  // program 0 bound) when a shader is missing or the pair does not link.
  GlProgram* Current(const DeviceState& state, GlStateCache& cache);
  void ShadersChanged() { m_dirty = true; }
  // Uploads the constants and the half-pixel position fix-up of the viewport.
  static void UploadConstants(GlProgram& program, const DeviceState& state);
  // Drops the programs made with `resource` (a shader being released).
  void Forget(const Resource* resource, bool contextAlive, GlStateCache& cache);
  void DestroyAll();

 private:
  static bool Link(GlProgram& program, GlStateCache& cache);

  std::vector<std::unique_ptr<GlProgram>> m_programs;
  GlProgram* m_current = nullptr;
  bool m_dirty = true;
};

}  // namespace ostrevin::d3d9
