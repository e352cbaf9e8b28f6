#include "GlProgram.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "Shader.h"

namespace ostrevin::d3d9 {

GlProgram* GlProgramCache::Current(const DeviceState& state, GlStateCache& cache) {
  if (!m_dirty) return m_current;
  m_dirty = false;
  GlProgram* found = nullptr;
  if (state.vs != nullptr && state.ps != nullptr) {
    for (auto& p : m_programs) {
      if (p->vs == state.vs && p->ps == state.ps) {
        found = p.get();
        break;
      }
    }
    if (found == nullptr) {
      auto program = std::make_unique<GlProgram>();
      program->vs = state.vs;
      program->ps = state.ps;
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
  if (program.vs->GlShader() == 0 || program.ps->GlShader() == 0) return false;
  program.name = gl::CreateProgram();
  gl::AttachShader(program.name, program.vs->GlShader());
  gl::AttachShader(program.name, program.ps->GlShader());
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
  const bool vsChanged = program.vsVersion != state.vsVersion;
  const bool psChanged = program.psVersion != state.psVersion;
  if (!vsChanged && !psChanged) return;
  float* shadow = program.shadow.data();
  for (const GlProgram::Uniform& u : program.uniforms) {
    const GlslUniform& info = *u.info;
    const size_t floats = 4 * static_cast<size_t>(info.registerCount);
    const UINT limit = u.pixel ? DeviceState::kPixelRegisters : DeviceState::kVertexRegisters;
    if ((u.pixel ? psChanged : vsChanged) && info.registerIndex + info.registerCount <= limit) {
      const float* regs = u.pixel ? state.psConstants[info.registerIndex] : state.vsConstants[info.registerIndex];
      if (std::memcmp(shadow, regs, floats * sizeof(float)) != 0) {
        std::memcpy(shadow, regs, floats * sizeof(float));
        const GLsizei n = static_cast<GLsizei>(std::max(1u, info.elements));
        const GLboolean transpose = info.transpose ? GL_TRUE : GL_FALSE;
        if (info.matrix) {
          // Registers are float4s: `rows` registers of four floats per element.
          if (info.rows == 3) gl::UniformMatrix4x3fv(u.location, n, transpose, regs);
          else if (info.rows == 2) gl::UniformMatrix4x2fv(u.location, n, transpose, regs);
          else gl::UniformMatrix4fv(u.location, n, transpose, regs);
        } else {
          // Vectors and scalars: one register each, leading components used.
          float packed[4 * 256];
          const GLsizei count = std::min<GLsizei>(n, 256);
          for (GLsizei i = 0; i < count; ++i) std::memcpy(&packed[i * info.columns], regs + 4 * i, info.columns * sizeof(float));
          switch (info.columns) {
            case 1: gl::Uniform1fv(u.location, count, packed); break;
            case 2: gl::Uniform2fv(u.location, count, packed); break;
            case 3: gl::Uniform3fv(u.location, count, packed); break;
            default: gl::Uniform4fv(u.location, count, regs); break;
          }
        }
      }
    }
    shadow += floats;
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
      if (p.name != 0) {
        cache.ForgetProgram(p.name);
        if (contextAlive) gl::DeleteProgram(p.name);
      }
      m_programs.erase(m_programs.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void GlProgramCache::DestroyAll() {
  for (auto& program : m_programs)
    if (program->name != 0) gl::DeleteProgram(program->name);
  m_programs.clear();
  m_current = nullptr;
  m_dirty = true;
}

}  // namespace ostrevin::d3d9
