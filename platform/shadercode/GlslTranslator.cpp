// SPIR-V (glslang's HLSL front end) -> GLSL 3.30 core with SPIRV-Cross.
//
// What the rewrite does before SPIRV-Cross emits text:
//  - vertex inputs: named "in_<SEMANTIC>" and placed at VertexAttributeLocation;
//  - vertex outputs and pixel inputs: named "v_<SEMANTIC>" with no Location,
//    so that GLSL 3.30 pairs them by name, i.e. by semantic;
//  - the POSITION output becomes gl_Position, DEPTH gl_FragDepth, PSIZE
//    gl_PointSize; pixel COLORn outputs go to location n;
//  - the global constant block becomes a plain uniform struct, "vs_c" or
//    "ps_c", whose members are the HLSL names; samplers are "vs_"/"ps_" + name;
//  - matrix layout decorations are dropped (meaningless for plain uniforms)
//    and turned into the transpose flag of the upload.
// Semantics are normalised: upper case, index 0 made explicit ("COLOR" ->
// "COLOR0"), SV_Position -> POSITION0, SV_Target -> COLOR.
#include "ShaderCode.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <cctype>
#include <exception>

namespace ostrevin {
namespace {

struct Semantic {
  std::string name;   // without the index, upper case
  uint32_t index = 0;
  std::string Text() const { return name + std::to_string(index); }
};

bool ParseSemantic(const std::string& text, Semantic* out) {
  std::string upper;
  for (char ch : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
  size_t digits = upper.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(upper[digits - 1]))) --digits;
  if (digits == 0) return false;
  Semantic s;
  s.name = upper.substr(0, digits);
  for (char ch : s.name) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
  }
  const std::string number = upper.substr(digits);
  if (number.size() > 3) return false;
  s.index = number.empty() ? 0 : static_cast<uint32_t>(std::stoul(number));
  if (s.name == "SV_POSITION") s.name = "POSITION";
  if (s.name == "SV_TARGET") s.name = "COLOR";
  if (s.name == "SV_DEPTH") s.name = "DEPTH";
  *out = s;
  return true;
}

int UsageOf(const std::string& name) {
  static const struct {
    const char* name;
    int usage;
  } kUsages[] = {{"POSITION", D3DDECLUSAGE_POSITION}, {"BLENDWEIGHT", D3DDECLUSAGE_BLENDWEIGHT},
                 {"BLENDINDICES", D3DDECLUSAGE_BLENDINDICES}, {"NORMAL", D3DDECLUSAGE_NORMAL},
                 {"PSIZE", D3DDECLUSAGE_PSIZE}, {"TEXCOORD", D3DDECLUSAGE_TEXCOORD},
                 {"TANGENT", D3DDECLUSAGE_TANGENT}, {"BINORMAL", D3DDECLUSAGE_BINORMAL},
                 {"TESSFACTOR", D3DDECLUSAGE_TESSFACTOR}, {"POSITIONT", D3DDECLUSAGE_POSITIONT},
                 {"COLOR", D3DDECLUSAGE_COLOR}, {"FOG", D3DDECLUSAGE_FOG},
                 {"DEPTH", D3DDECLUSAGE_DEPTH}, {"SAMPLE", D3DDECLUSAGE_SAMPLE}};
  for (const auto& u : kUsages) {
    if (name == u.name) return u.usage;
  }
  return -1;
}

const ShaderConstant* FindConstant(const ShaderCode& code, const std::string& name, bool sampler) {
  for (const ShaderConstant& c : code.constants) {
    if (c.name == name && (c.registerSet == D3DXRS_SAMPLER) == sampler) return &c;
  }
  return nullptr;
}

// Inserts `lines` just before the closing brace of `void main()`.
bool AppendToMain(std::string* source, const std::string& lines, std::string* error) {
  const size_t head = source->find("\nvoid main()\n{\n");
  if (head == std::string::npos || source->find("\nvoid main()\n{\n", head + 1) != std::string::npos) {
    *error = "translated shader has no single main function";
    return false;
  }
  const size_t open = source->find('{', head);
  int depth = 0;
  for (size_t i = open; i < source->size(); ++i) {
    if ((*source)[i] == '{') {
      ++depth;
    } else if ((*source)[i] == '}' && --depth == 0) {
      const std::string body = source->substr(open, i - open);
      if (body.find("return") != std::string::npos) {
        *error = "translated main returns early; the position fix-up cannot be appended";
        return false;
      }
      source->insert(i, lines);
      return true;
    }
  }
  *error = "unbalanced braces in the translated shader";
  return false;
}

bool Translate(const ShaderCode& code, const GlslOptions& options, GlslShader* out, std::string* error) {
  if (code.spirv.size() < 5 || code.spirv[0] != 0x07230203u) {
    *error = "shader code holds no SPIR-V";
    return false;
  }
  const bool vertex = code.stage == ShaderStage::Vertex;
  const std::string prefix = vertex ? "vs" : "ps";
  spirv_cross::CompilerGLSL glsl(code.spirv.data(), code.spirv.size());
  const spv::ExecutionModel model = glsl.get_execution_model();
  if (model != (vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment)) {
    *error = "SPIR-V stage does not match the shader code's stage";
    return false;
  }
  spirv_cross::ShaderResources res = glsl.get_shader_resources();
  if (!res.storage_buffers.empty() || !res.storage_images.empty() || !res.push_constant_buffers.empty() ||
      !res.separate_images.empty() || !res.separate_samplers.empty() || !res.subpass_inputs.empty() ||
      !res.atomic_counters.empty() || res.uniform_buffers.size() > 1) {
    *error = "the shader uses resources other than float constants and samplers";
    return false;
  }

  GlslShader result;
  result.stage = code.stage;

  auto semanticOf = [&](const spirv_cross::Resource& r, Semantic* s) {
    const std::string text = glsl.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE);
    if (text.empty() || !ParseSemantic(text, s)) {
      *error = "interface variable '" + r.name + "' has no usable semantic" + (text.empty() ? "" : " '" + text + "'");
      return false;
    }
    return true;
  };

  for (const spirv_cross::Resource& r : res.stage_inputs) {
    if (glsl.has_decoration(r.id, spv::DecorationBuiltIn)) continue;
    Semantic s;
    if (!semanticOf(r, &s)) return false;
    if (vertex) {
      const int usage = UsageOf(s.name);
      const int location = (usage < 0 || s.index > 255)
                               ? -1
                               : VertexAttributeLocation(static_cast<BYTE>(usage), static_cast<BYTE>(s.index));
      if (location < 0) {
        *error = "vertex input semantic " + s.Text() + " has no attribute location";
        return false;
      }
      glsl.set_name(r.id, "in_" + s.Text());
      glsl.set_decoration(r.id, spv::DecorationLocation, static_cast<uint32_t>(location));
    } else {
      if (s.name == "VPOS" || s.name == "POSITION") {
        glsl.unset_decoration(r.id, spv::DecorationLocation);
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInFragCoord);
        continue;
      }
      glsl.set_name(r.id, "v_" + s.Text());
      glsl.unset_decoration(r.id, spv::DecorationLocation);
    }
  }

  bool wroteColor0 = false;
  bool wrotePosition = false;
  for (const spirv_cross::Resource& r : res.stage_outputs) {
    if (glsl.has_decoration(r.id, spv::DecorationBuiltIn)) {
      if (glsl.get_decoration(r.id, spv::DecorationBuiltIn) == spv::BuiltInPosition) wrotePosition = true;
      continue;
    }
    Semantic s;
    if (!semanticOf(r, &s)) return false;
    glsl.unset_decoration(r.id, spv::DecorationLocation);
    if (vertex) {
      if (s.name == "POSITION" && s.index == 0) {
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInPosition);
        wrotePosition = true;
      } else if (s.name == "PSIZE" && s.index == 0) {
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInPointSize);
      } else {
        glsl.set_name(r.id, "v_" + s.Text());
      }
    } else {
      if (s.name == "COLOR" && s.index < 4) {
        glsl.set_name(r.id, "out_COLOR" + std::to_string(s.index));
        glsl.set_decoration(r.id, spv::DecorationLocation, s.index);
        wroteColor0 = wroteColor0 || s.index == 0;
      } else if (s.name == "DEPTH" && s.index == 0) {
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInFragDepth);
      } else {
        *error = "pixel output semantic " + s.Text() + " is not supported";
        return false;
      }
    }
  }
  if (vertex && !wrotePosition) {
    *error = "vertex shader has no POSITION output";
    return false;
  }
  (void)wroteColor0;

  for (const spirv_cross::Resource& r : res.uniform_buffers) {
    const spirv_cross::SPIRType& block = glsl.get_type(r.base_type_id);
    glsl.set_name(r.base_type_id, vertex ? "VsConstants" : "PsConstants");
    glsl.set_name(r.id, prefix + "_c");
    glsl.unset_decoration(r.id, spv::DecorationBinding);
    glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
    for (uint32_t i = 0; i < block.member_types.size(); ++i) {
      const std::string name = glsl.get_member_name(r.base_type_id, i);
      const ShaderConstant* c = FindConstant(code, name, false);
      if (c == nullptr) {
        *error = "constant '" + name + "' is missing from the constant table";
        return false;
      }
      const spirv_cross::SPIRType& type = glsl.get_type(block.member_types[i]);
      if (type.basetype != spirv_cross::SPIRType::Float) {
        *error = "constant '" + name + "': only float constants are supported";
        return false;
      }
      GlslUniform u;
      u.glslName = prefix + "_c." + name;
      u.registerIndex = c->registerIndex;
      u.registerCount = c->registerCount;
      u.elements = c->elements;
      if (type.columns > 1) {
        // glslang keeps HLSL rows as GLSL columns; a RowMajor member is an
        // HLSL column_major matrix, whose registers hold GLSL rows.
        const bool rowMajor = glsl.has_member_decoration(r.base_type_id, i, spv::DecorationRowMajor);
        u.matrix = true;
        u.transpose = rowMajor;
        u.rows = rowMajor ? type.vecsize : type.columns;     // registers per element
        u.columns = rowMajor ? type.columns : type.vecsize;  // floats per register
        glsl.unset_member_decoration(r.base_type_id, i, spv::DecorationRowMajor);
        glsl.unset_member_decoration(r.base_type_id, i, spv::DecorationColMajor);
      } else {
        u.rows = 1;
        u.columns = type.vecsize;
      }
      if (u.rows * u.elements > u.registerCount) {
        *error = "constant '" + name + "' needs more registers than the table gives it";
        return false;
      }
      result.uniforms.push_back(u);
    }
  }

  for (const spirv_cross::Resource& r : res.sampled_images) {
    const std::string name = glsl.get_name(r.id);
    const ShaderConstant* c = FindConstant(code, name, true);
    if (c == nullptr) {
      *error = "sampler '" + name + "' is missing from the constant table";
      return false;
    }
    const std::string glslName = prefix + "_" + name;
    glsl.set_name(r.id, glslName);
    glsl.unset_decoration(r.id, spv::DecorationBinding);
    glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
    const spirv_cross::SPIRType& type = glsl.get_type(r.type_id);
    if (type.array.empty()) {
      result.samplers.push_back({glslName, c->registerIndex});
    } else {
      for (uint32_t e = 0; e < c->elements; ++e) {
        result.samplers.push_back({glslName + "[" + std::to_string(e) + "]", c->registerIndex + e});
      }
    }
  }

  spirv_cross::CompilerGLSL::Options glslOptions;
  glslOptions.version = 330;
  glslOptions.es = false;
  glslOptions.enable_420pack_extension = false;
  glslOptions.emit_uniform_buffer_as_plain_uniforms = true;
  glslOptions.separate_shader_objects = false;
  glsl.set_common_options(glslOptions);
  if (vertex) glsl.add_header_line(std::string("uniform vec4 ") + kPositionFixupUniform + ";");

  result.source = glsl.compile();
  if (vertex) {
    std::string tail = std::string("    gl_Position.xy += ") + kPositionFixupUniform + ".xy * gl_Position.w;\n";
    if (options.remapDepth) tail += "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";
    if (!AppendToMain(&result.source, tail, error)) return false;
  }
  *out = std::move(result);
  return true;
}

}  // namespace

bool TranslateShaderToGlsl(const ShaderCode& code, const GlslOptions& options, GlslShader* out,
                           std::string* error) {
  std::string localError;
  std::string* err = error != nullptr ? error : &localError;
  if (out == nullptr) {
    *err = "no output";
    return false;
  }
  try {
    return Translate(code, options, out, err);
  } catch (const std::exception& e) {
    *err = std::string("SPIR-V translation failed: ") + e.what();
  } catch (...) {
    *err = "SPIR-V translation failed";
  }
  return false;
}

}  // namespace ostrevin
