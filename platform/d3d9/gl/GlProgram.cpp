#include "GlProgram.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "GlEnums.h"
#include "GlShaderCompile.h"
#include "Shader.h"
#include "StateTable.h"

namespace ostrevin::d3d9 {

namespace {

GLuint CompileShader(GLenum type, const std::string& source) {
  std::string log;
  const GLuint shader = CompileGlShader(type, source, &log);
  if (shader == 0) std::fprintf(stderr, "ostrevin: render-state variant of a shader does not compile: %s\n", log.c_str());
  return shader;
}

}  // namespace

GlProgramVariant GlProgramVariant::Of(const DeviceState& state, bool swapColours) {
  // The states whose rows say they choose the program (StateTable.h).
  GlProgramVariant v;
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  for (const RenderStateInfo& info : kRenderStateTable) {
    const DWORD value = state.renderStates[info.state];
    switch (info.realisedBy) {
      case RealisedBy::AlphaTestEnable: alphaTest = value != 0; break;
      case RealisedBy::AlphaFunction: alphaFunc = value; break;
      case RealisedBy::Shading: v.flat = value == D3DSHADE_FLAT; break;
      case RealisedBy::SrgbWrite: v.srgbWrite = value != 0; break;
      default: break;
    }
  }
  if (alphaTest && alphaFunc != D3DCMP_ALWAYS) v.alphaFunc = alphaFunc;  // an alpha test that can discard
  for (const SamplerStateInfo& info : kSamplerStateTable) {
    if (info.realisedBy != SamplerRealisedBy::SrgbTexture) continue;
    for (UINT i = 0; i < DeviceState::kSamplers; ++i)
      if (state.samplerStates[i][info.state]) v.srgbSamplers = static_cast<uint16_t>(v.srgbSamplers | (1u << i));
  }
  if (swapColours && state.decl != nullptr) v.swappedColourInputs = ColourInputsOf(*state.decl);
  return v;
}

GlslOptions GlProgramVariant::Options(ShaderStage stage, GlslOptions options) const {
  options.flatColours = flat;
  if (stage == ShaderStage::Vertex) options.swappedColourInputs = swappedColourInputs;
  if (stage == ShaderStage::Pixel) {
    options.srgbSamplers = srgbSamplers;
    options.srgbWrite = srgbWrite;
    options.alphaFunc = alphaFunc;
  }
  return options;
}

GlProgram* GlProgramCache::Current(const DeviceState& state, GlStateCache& cache, bool swapColours) {
  if (!m_dirty) return m_current;
  m_dirty = false;
  GlProgram* found = nullptr;
  const GlProgramVariant variant = GlProgramVariant::Of(state, swapColours);
  if (state.vs != nullptr && state.ps != nullptr) {
    for (auto& p : m_programs) {
      if (p->vs == state.vs && p->ps == state.ps && p->variant == variant) {
        found = p.get();
        break;
      }
    }
    if (found == nullptr) {
      auto program = std::make_unique<GlProgram>();
      program->vs = state.vs;
      program->ps = state.ps;
      program->variant = variant;
      Link(*program, cache);
      m_programs.push_back(std::move(program));
      found = m_programs.back().get();
    }
  }
  if (found != nullptr && !found->linked) found = nullptr;
  cache.UseProgram(found != nullptr ? found->name : 0);
  m_current = found;
  return found;
}

bool GlProgramCache::Link(GlProgram& program, GlStateCache& cache) {
  if (program.vs->Gl().Name() == 0 || program.ps->Gl().Name() == 0) return false;
  GLuint shaders[2] = {program.vs->Gl().Name(), program.ps->Gl().Name()};
  // A variant the shader was not translated for is translated for it: the
  // translator writes the GLSL of those options, the program keeps the
  // GL shader made of it.
  const ShaderStageObject* stages[2] = {program.vs, program.ps};
  for (int stage = 0; stage < 2; ++stage) {
    const GlslOptions options = program.variant.Options(stage == 0 ? ShaderStage::Vertex : ShaderStage::Pixel,
                                                        stages[stage]->Options());
    if (options == stages[stage]->Options()) continue;
    GlslShader glsl;
    std::string error;
    if (!stages[stage]->Translate(options, &glsl, &error)) {
      std::fprintf(stderr, "ostrevin: render-state variant of a shader does not translate: %s\n", error.c_str());
      return false;
    }
    shaders[stage] = program.ownShaders[stage] =
        CompileShader(stage == 0 ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, glsl.source);
    if (shaders[stage] == 0) return false;
  }
  const GLuint vs = shaders[0], ps = shaders[1];
  program.writesPointSize = program.vs->Glsl().writesPointSize;
  program.name = gl::CreateProgram();
  gl::AttachShader(program.name, vs);
  gl::AttachShader(program.name, ps);
  gl::LinkProgram(program.name);
  GLint ok = GL_FALSE;
  gl::GetProgramiv(program.name, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    GLint length = 0;
    gl::GetProgramiv(program.name, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    gl::GetProgramInfoLog(program.name, length, nullptr, &log[0]);
    std::fprintf(stderr, "ostrevin: shader pair does not link: %s\n", log.c_str());
    gl::DeleteProgram(program.name);
    program.name = 0;
    return false;
  }
  cache.UseProgram(program.name);  // for the sampler units below
  program.posFixLocation = gl::GetUniformLocation(program.name, kPositionFixupUniform);
  program.alphaRefLocation = gl::GetUniformLocation(program.name, kAlphaRefUniform);
  size_t shadowFloats = 0;
  for (int stage = 0; stage < 2; ++stage) {
    const GlslShader& glsl = stage == 0 ? program.vs->Glsl() : program.ps->Glsl();
    for (const GlslUniform& u : glsl.uniforms) {
      const GLint location = gl::GetUniformLocation(program.name, u.glslName.c_str());
      if (location < 0) continue;  // optimised away
      program.uniforms.push_back({&u, location, stage == 1});
      shadowFloats += 4 * static_cast<size_t>(u.registerCount);
    }
    for (const GlslSampler& s : glsl.samplers) {
      const GLint location = gl::GetUniformLocation(program.name, s.glslName.c_str());
      if (location >= 0) gl::Uniform1i(location, static_cast<GLint>(s.samplerIndex));
    }
  }
  program.shadow.assign(shadowFloats, std::nanf(""));
  program.linked = true;
  return true;
}

namespace {
// Int and bool registers to an int, uint or HLSL-bool uniform: each
// element's register (int4: its first `columns` ints; bool: `columns`
// registers of one value each), or float registers holding the values
// D3DX converted, packed and handed to glUniform{columns}{i,ui}v.
void UploadIntegers(GLint location, const GlslUniform& info, const void* regs) {
  const uint32_t columns = std::min(std::max(info.columns, 1u), 4u);
  const uint32_t n = std::min(std::max(1u, info.elements), 256u);
  const uint32_t step = info.registerSet == D3DXRS_BOOL ? 1 : 4;  // values per register
  int32_t packed[4 * 256];
  for (uint32_t e = 0; e < n; ++e) {
    for (uint32_t k = 0; k < columns; ++k) {
      const uint32_t at = info.registerSet == D3DXRS_BOOL ? e * columns + k : e * step + k;
      int32_t v;
      if (info.registerSet == D3DXRS_FLOAT4) {
        const float f = static_cast<const float*>(regs)[at];
        v = f != f ? 0 : f >= 2147483520.0f ? 0x7FFFFF80 : f <= -2147483648.0f ? INT32_MIN : static_cast<int32_t>(f);
        if (info.component == 'b') v = f != 0.0f;
      } else {
        v = static_cast<const int32_t*>(regs)[at];
      }
      if (info.component == 'b') v = v != 0;
      if (info.component == 'u' && v < 0) v = 0;
      packed[e * columns + k] = v;
    }
  }
  const GLsizei count = static_cast<GLsizei>(n);
  if (info.component == 'i') {
    switch (columns) {
      case 1: gl::Uniform1iv(location, count, packed); break;
      case 2: gl::Uniform2iv(location, count, packed); break;
      case 3: gl::Uniform3iv(location, count, packed); break;
      default: gl::Uniform4iv(location, count, packed); break;
    }
    return;
  }
  const GLuint* u = reinterpret_cast<const GLuint*>(packed);
  switch (columns) {
    case 1: gl::Uniform1uiv(location, count, u); break;
    case 2: gl::Uniform2uiv(location, count, u); break;
    case 3: gl::Uniform3uiv(location, count, u); break;
    default: gl::Uniform4uiv(location, count, u); break;
  }
}

// Registers to a uniform: each element's `rows` registers, of which the
// first `columns` floats are used, packed and handed to the glUniform* of
// the uniform's shape (see GlslUniform).
void Upload(GLint location, const GlslUniform& info, const float* regs) {
  const GLsizei n = static_cast<GLsizei>(std::min(std::max(1u, info.elements), 256u));
  const uint32_t rows = std::min(info.rows, 4u), columns = std::min(std::max(info.columns, 1u), 4u);
  float buffer[4 * 256];
  const GLsizei registers = std::min<GLsizei>(n * static_cast<GLsizei>(rows), 256);
  // Four columns are the registers as they are; fewer are packed.
  const float* packed = regs;
  if (columns < 4) {
    float* p = buffer;
    for (GLsizei r = 0; r < registers; ++r, p += columns) std::memcpy(p, regs + 4 * r, columns * sizeof(float));
    packed = buffer;
  }
  const GLsizei count = registers / static_cast<GLsizei>(rows);
  if (!info.matrix) {
    switch (columns) {
      case 1: gl::Uniform1fv(location, count, packed); break;
      case 2: gl::Uniform2fv(location, count, packed); break;
      case 3: gl::Uniform3fv(location, count, packed); break;
      default: gl::Uniform4fv(location, count, packed); break;
    }
    return;
  }
  // Not transposed, a register is a GLSL column: `rows` columns of `columns`
  // floats; transposed, a register is a GLSL row.
  const GLboolean transpose = info.transpose ? GL_TRUE : GL_FALSE;
  const uint32_t glColumns = info.transpose ? columns : rows, glRows = info.transpose ? rows : columns;
  switch (glColumns * 10 + glRows) {
    case 22: gl::UniformMatrix2fv(location, count, transpose, packed); break;
    case 23: gl::UniformMatrix2x3fv(location, count, transpose, packed); break;
    case 24: gl::UniformMatrix2x4fv(location, count, transpose, packed); break;
    case 32: gl::UniformMatrix3x2fv(location, count, transpose, packed); break;
    case 33: gl::UniformMatrix3fv(location, count, transpose, packed); break;
    case 34: gl::UniformMatrix3x4fv(location, count, transpose, packed); break;
    case 42: gl::UniformMatrix4x2fv(location, count, transpose, packed); break;
    case 43: gl::UniformMatrix4x3fv(location, count, transpose, packed); break;
    default: gl::UniformMatrix4fv(location, count, transpose, packed); break;
  }
}
}  // namespace

void GlProgramCache::FindRegisters(GlProgram& program, const DeviceState& state) {
  for (GlProgram::Uniform& u : program.uniforms) {
    const GlslUniform& info = *u.info;
    u.floats = 4 * info.registerCount;
    u.bytes = u.floats * sizeof(float);
    u.regs = nullptr;
    switch (info.registerSet) {
      case D3DXRS_BOOL:
        if (info.registerIndex + info.registerCount <= DeviceState::kBoolRegisters)
          u.regs = u.pixel ? &state.psBools[info.registerIndex] : &state.vsBools[info.registerIndex];
        u.bytes = sizeof(BOOL) * info.registerCount;
        break;
      case D3DXRS_INT4:
        if (info.registerIndex + info.registerCount <= DeviceState::kIntRegisters)
          u.regs = u.pixel ? state.psInts[info.registerIndex] : state.vsInts[info.registerIndex];
        break;
      default:
        if (info.registerIndex + info.registerCount <=
            (u.pixel ? DeviceState::kPixelRegisters : DeviceState::kVertexRegisters))
          u.regs = u.pixel ? state.psConstants[info.registerIndex] : state.vsConstants[info.registerIndex];
        break;
    }
  }
  program.registersOf = &state;
}

void GlProgramCache::UploadConstants(GlProgram& program, const DeviceState& state) {
  if (program.posFixVersion != state.viewportVersion && program.posFixLocation >= 0) {
    // Half a pixel right and down, less 1/128 of a pixel: Direct3D 9's
    // centres at integer coordinates, and no centre left exactly on an edge,
    // so the result does not hang on GL's tie rule (Direct3D's top-left
    // rule follows: centres on top and left edges fall inside).
    const float shift = 63.0f / 64.0f;
    const float fix[4] = {shift / static_cast<float>(state.viewport.Width),
                          -shift / static_cast<float>(state.viewport.Height), 0.0f, 0.0f};
    gl::Uniform4fv(program.posFixLocation, 1, fix);
    program.posFixVersion = state.viewportVersion;
  }
  if (program.alphaRefLocation >= 0 && program.alphaRef != state.renderStates[D3DRS_ALPHAREF]) {
    program.alphaRef = state.renderStates[D3DRS_ALPHAREF];
    const float ref = static_cast<float>(program.alphaRef & 0xff);
    gl::Uniform1fv(program.alphaRefLocation, 1, &ref);
  }
  const bool vsChanged = program.vsVersion != state.vsVersion;
  const bool psChanged = program.psVersion != state.psVersion;
  if (!vsChanged && !psChanged) return;
  if (program.registersOf != &state) FindRegisters(program, state);
  float* shadow = program.shadow.data();
  for (const GlProgram::Uniform& u : program.uniforms) {
    if ((u.pixel ? psChanged : vsChanged) && u.regs != nullptr && std::memcmp(shadow, u.regs, u.bytes) != 0) {
      std::memcpy(shadow, u.regs, u.bytes);
      if (u.info->component == 'f')
        Upload(u.location, *u.info, static_cast<const float*>(u.regs));
      else
        UploadIntegers(u.location, *u.info, u.regs);
    }
    shadow += u.floats;
  }
  program.vsVersion = state.vsVersion;
  program.psVersion = state.psVersion;
}

void GlProgramCache::Forget(const Resource* resource, bool contextAlive, GlStateCache& cache) {
  for (size_t i = 0; i < m_programs.size();) {
    GlProgram& p = *m_programs[i];
    if (static_cast<const Resource*>(p.vs) == resource || static_cast<const Resource*>(p.ps) == resource) {
      if (m_current == &p) {
        m_current = nullptr;
        m_dirty = true;
      }
      Destroy(p, contextAlive, cache);
      m_programs.erase(m_programs.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void GlProgramCache::Destroy(GlProgram& program, bool contextAlive, GlStateCache& cache) {
  if (program.name != 0) {
    cache.ForgetProgram(program.name);
    if (contextAlive) gl::DeleteProgram(program.name);
  }
  for (GLuint& shader : program.ownShaders) {
    if (shader != 0 && contextAlive) gl::DeleteShader(shader);
    shader = 0;
  }
}

void GlProgramCache::DestroyAll() {
  for (auto& program : m_programs)
    if (program->name != 0) gl::DeleteProgram(program->name);
  for (auto& program : m_programs)
    for (GLuint shader : program->ownShaders)
      if (shader != 0) gl::DeleteShader(shader);
  m_programs.clear();
  m_current = nullptr;
  m_dirty = true;
}

}  // namespace ostrevin::d3d9
