// GL programs, one per vertex/pixel shader pair and render-state variant as
// the draws meet them: linking, sampler units, and the upload of the Direct3D
// constant registers into the GLSL uniforms (only what changed since the
// program last drew). What Direct3D 9 does around the shaders and GL does
// not (alpha test, flat shading, sRGB reads and writes) is a variant: the
// translator's options (GlslOptions) that the shaders are translated with
// for the program.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "GlStateCache.h"
#include "ShaderCode.h"

namespace ostrevin::d3d9 {

class Resource;

// The render states a program is made for.
struct GlProgramVariant {
  DWORD alphaFunc = 0;         // D3DCMP_* of an alpha test that can discard; 0 without one
  bool flat = false;           // D3DSHADE_FLAT: colours from the first vertex
  bool srgbWrite = false;      // D3DRS_SRGBWRITEENABLE: colour 0 encoded to sRGB
  uint16_t srgbSamplers = 0;   // D3DSAMP_SRGBTEXTURE by sampler: reads decoded to linear
  // The declaration's D3DCOLOR inputs where the context has no GL_BGRA
  // attributes (VertexDeclaration::ColourInputs): read swapped.
  std::array<uint16_t, MAXD3DDECLUSAGE + 1> swappedColourInputs{};

  // swapColours: the context has no GL_BGRA attributes (GlCaps::bgra false).
  static GlProgramVariant Of(const DeviceState& state, bool swapColours);
  bool operator==(const GlProgramVariant& o) const {
    return alphaFunc == o.alphaFunc && flat == o.flat && srgbWrite == o.srgbWrite && srgbSamplers == o.srgbSamplers &&
           swappedColourInputs == o.swappedColourInputs;
  }
  bool Plain() const { return *this == GlProgramVariant{}; }
  // The translator's options for a shader of `stage` in this variant, from
  // those the shader was created with.
  GlslOptions Options(ShaderStage stage, GlslOptions options) const;
};

struct GlProgram {
  VertexShader* vs = nullptr;
  PixelShader* ps = nullptr;
  GlProgramVariant variant;
  GLuint name = 0;
  GLuint ownShaders[2] = {0, 0};  // a variant's own vertex and pixel shaders (0: the shader's)
  bool linked = false;
  bool writesPointSize = false;
  GLint posFixLocation = -1;
  GLint alphaRefLocation = -1;
  DWORD alphaRef = ~0u;
  struct Uniform {
    const GlslUniform* info;
    GLint location;
    bool pixel;
    // Found at the first upload: the device's registers the uniform reads
    // (null: past the register file) and their bytes; its shadow's floats.
    const void* regs = nullptr;
    uint32_t bytes = 0, floats = 0;
  };
  std::vector<Uniform> uniforms;
  const DeviceState* registersOf = nullptr;  // the state whose registers `regs` point into
  std::vector<float> shadow;  // last uploaded values, 4 floats per register, per uniform in order
  uint64_t vsVersion = ~0ull, psVersion = ~0ull, posFixVersion = ~0ull;
};

class GlProgramCache {
 public:
  // The linked program of the state's shader pair, bound; nullptr (and
  // program 0 bound) when a shader is missing or the pair does not link.
  // swapColours as GlProgramVariant::Of takes it.
  GlProgram* Current(const DeviceState& state, GlStateCache& cache, bool swapColours);
  void ShadersChanged() { m_dirty = true; }
  // Uploads the constants and the half-pixel position fix-up of the viewport.
  static void UploadConstants(GlProgram& program, const DeviceState& state);
  // Drops the programs made with `resource` (a shader being released).
  void Forget(const Resource* resource, bool contextAlive, GlStateCache& cache);
  void DestroyAll();

 private:
  static bool Link(GlProgram& program, GlStateCache& cache);
  // Where each uniform's registers are in `state`, once per program.
  static void FindRegisters(GlProgram& program, const DeviceState& state);
  static void Destroy(GlProgram& program, bool contextAlive, GlStateCache& cache);

  std::vector<std::unique_ptr<GlProgram>> m_programs;
  GlProgram* m_current = nullptr;
  bool m_dirty = true;
};

}  // namespace ostrevin::d3d9
