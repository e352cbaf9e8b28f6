// SPIR-V (glslang's HLSL front end) -> GLSL 3.30 core with SPIRV-Cross.
//
// What the rewrite does before SPIRV-Cross emits text:
//  - vertex inputs: named "in_<SEMANTIC>" and placed at VertexAttributeLocation,
//    or at the lowest location no other input of the shader takes;
//  - vertex outputs and pixel inputs: "v_<SEMANTIC>", always vec4 and without
//    a Location, so that GLSL 3.30 pairs them by name, i.e. by semantic,
//    whatever size each stage gives them (Direct3D 9 lets a float4 written
//    meet a float2 read). A smaller variable of the body is relayed: copied
//    from the vec4 at the start of main, or into it at the end;
//  - the POSITION output becomes gl_Position, DEPTH gl_FragDepth, PSIZE
//    gl_PointSize; pixel COLORn outputs go to location n; the pixel VPOS is
//    relayed from gl_FragCoord declared with Direct3D's convention (origin
//    at the top left, pixel centres on integers), VFACE from gl_FrontFacing;
//  - the global constant block becomes a plain uniform struct, "vs_c" or
//    "ps_c", whose members are the HLSL names; samplers are "vs_"/"ps_" + name;
//  - matrix layout decorations are dropped (meaningless for plain uniforms)
//    and turned into the transpose flag of the upload.
// Semantics are normalised: upper case, index 0 made explicit ("COLOR" ->
// "COLOR0"), SV_Position -> POSITION0, SV_Target -> COLOR.
#include "ShaderCode.h"

#include <spirv-tools/libspirv.hpp>
#include <spirv_cross/spirv_glsl.hpp>

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <set>

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
  // Pixel inputs may ask for centroid sampling: "TEXCOORD0_centroid".
  const std::string centroid = "_CENTROID";
  if (upper.size() > centroid.size() && upper.compare(upper.size() - centroid.size(), centroid.size(), centroid) == 0) {
    upper.erase(upper.size() - centroid.size());
  }
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

// The table entry of a SPIR-V constant: its HLSL name, or "$" and the name
// for a uniform parameter of the entry point.
const ShaderConstant* FindConstant(const ShaderCode& code, const std::string& name, bool sampler) {
  for (const ShaderConstant& c : code.constants) {
    if ((c.registerSet == D3DXRS_SAMPLER) != sampler) continue;
    if (c.name == name || (c.name.size() == name.size() + 1 && c.name[0] == '$' && c.name.compare(1, name.size(), name) == 0)) {
      return &c;
    }
  }
  return nullptr;
}

// HLSL's ldexp(x, e) is x * 2^e for any float e, but glslang passes it on
// as GLSL.std.450 Ldexp, whose exponent is an integer: SPIRV-Cross would
// truncate e. Each Ldexp becomes Exp2 and a multiplication.
std::vector<uint32_t> ExpandLdexp(const std::vector<uint32_t>& in) {
  constexpr uint32_t kOpExtInstImport = 11, kOpExtInst = 12, kOpFMul = 133;
  constexpr uint32_t kLdexp = 53, kExp2 = 29;
  constexpr size_t kHeader = 5;
  uint32_t glslSet = 0;
  bool any = false;
  for (size_t i = kHeader; i < in.size();) {
    const uint32_t count = in[i] >> 16, op = in[i] & 0xFFFF;
    if (count == 0 || i + count > in.size()) return in;  // malformed: SPIRV-Cross will say so
    if (op == kOpExtInstImport && count >= 3 &&
        std::string(reinterpret_cast<const char*>(&in[i + 2]), (count - 2) * 4).c_str() == std::string("GLSL.std.450")) {
      glslSet = in[i + 1];
    }
    if (op == kOpExtInst && count == 7 && glslSet != 0 && in[i + 3] == glslSet && in[i + 4] == kLdexp) any = true;
    i += count;
  }
  if (!any) return in;
  std::vector<uint32_t> out(in.begin(), in.begin() + kHeader);
  uint32_t bound = in[3];
  for (size_t i = kHeader; i < in.size();) {
    const uint32_t count = in[i] >> 16, op = in[i] & 0xFFFF;
    if (op == kOpExtInst && count == 7 && in[i + 3] == glslSet && in[i + 4] == kLdexp) {
      const uint32_t type = in[i + 1], result = in[i + 2], x = in[i + 5], e = in[i + 6];
      const uint32_t power = bound++;
      const uint32_t exp2[] = {(6u << 16) | kOpExtInst, type, power, glslSet, kExp2, e};
      const uint32_t mul[] = {(5u << 16) | kOpFMul, type, result, x, power};
      out.insert(out.end(), std::begin(exp2), std::end(exp2));
      out.insert(out.end(), std::begin(mul), std::end(mul));
    } else {
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i), in.begin() + static_cast<std::ptrdiff_t>(i + count));
    }
    i += count;
  }
  out[3] = bound;
  return out;
}

// The validator leaves the member of OpMemberDecorateString unchecked, and
// SPIRV-Cross makes room for every member up to the one named: each member
// an instruction names must be one of its struct's. (Runs on validated
// SPIR-V, whose instructions have sound word counts.)
bool MembersInRange(const std::vector<uint32_t>& spirv) {
  constexpr uint32_t kOpMemberName = 6, kOpTypeStruct = 30, kOpMemberDecorate = 72, kOpMemberDecorateString = 5633;
  std::map<uint32_t, uint32_t> members;  // struct id -> member count
  for (size_t i = 5; i < spirv.size(); i += spirv[i] >> 16) {
    const uint32_t count = spirv[i] >> 16, op = spirv[i] & 0xFFFF;
    if (count == 0) return false;
    if (op == kOpTypeStruct && count >= 2) members[spirv[i + 1]] = count - 2;
  }
  for (size_t i = 5; i < spirv.size(); i += spirv[i] >> 16) {
    const uint32_t count = spirv[i] >> 16, op = spirv[i] & 0xFFFF;
    if ((op == kOpMemberName || op == kOpMemberDecorate || op == kOpMemberDecorateString) && count >= 3) {
      const auto it = members.find(spirv[i + 1]);
      if (it == members.end() || spirv[i + 2] >= it->second) return false;
    }
  }
  return true;
}

// SPIRV-Cross and the scans of ConstantUse.cpp take the module as valid, but
// code handed to the layer from outside (a program's buffer, a cache entry)
// may hold anything: the validator sees it first, with the SPIR-V 1.0 rules
// glslang's output keeps (once its Ldexp is expanded).
bool ValidSpirv(const std::vector<uint32_t>& spirv, std::string* error) {
  spvtools::SpirvTools tools(SPV_ENV_UNIVERSAL_1_0);
  std::string first;
  tools.SetMessageConsumer([&first](spv_message_level_t, const char*, const spv_position_t&, const char* message) {
    if (first.empty() && message != nullptr) first = message;
  });
  if (!tools.Validate(spirv.data(), spirv.size(), spvtools::ValidatorOptions())) {
    *error = "shader code holds invalid SPIR-V" + (first.empty() ? std::string() : ": " + first);
    return false;
  }
  if (!MembersInRange(spirv)) {
    *error = "shader code holds invalid SPIR-V: a member index past its struct's members";
    return false;
  }
  return true;
}

// SPIRV-Cross writes '#line N "file"', which needs an extension; core GLSL
// has "#line N 1", which also tells HLSL lines (source string 1) from the
// lines of the GLSL before the first directive (string 0).
void StripLineFileNames(std::string* source) {
  const std::string extension = "#extension GL_GOOGLE_cpp_style_line_directive : require\n";
  const size_t at = source->find(extension);
  if (at != std::string::npos) source->erase(at, extension.size());
  for (size_t line = source->find("#line "); line != std::string::npos; line = source->find("#line ", line + 1)) {
    const size_t end = source->find('\n', line);
    const size_t quote = source->find(" \"", line);
    if (quote != std::string::npos && quote < end) source->replace(quote, end - quote, " 1");
  }
}

// Generic attribute locations every OpenGL 3.3 implementation has.
constexpr uint32_t kVertexAttributes = 16;

// A non-array float or int scalar or vector: what can pass through a vec4.
bool IsRelayable(const spirv_cross::SPIRType& type) {
  return type.array.empty() && type.columns == 1 && type.vecsize <= 4 &&
         (type.basetype == spirv_cross::SPIRType::Float || type.basetype == spirv_cross::SPIRType::Int ||
          type.basetype == spirv_cross::SPIRType::UInt);
}

std::string GlslType(const spirv_cross::SPIRType& type) {
  const bool isFloat = type.basetype == spirv_cross::SPIRType::Float;
  const bool isInt = type.basetype == spirv_cross::SPIRType::Int;
  if (type.vecsize == 1) return isFloat ? "float" : isInt ? "int" : "uint";
  return std::string(isFloat ? "vec" : isInt ? "ivec" : "uvec") + std::to_string(type.vecsize);
}

std::string Swizzle(uint32_t components) {
  return components >= 4 ? "" : "." + std::string("xyzw").substr(0, components);
}

// An interface variable whose body-side copy differs from what the other
// stage or the device sees.
struct Relay {
  std::string local;        // the body's variable, made a plain global
  std::string declaration;  // the interface variable ("" for a GL built-in)
  std::string copy;         // statement at the start (inputs) or end (outputs) of main
  bool atStart;
};

// "[qualifiers] in|out <type> <local>;" -> "<type> <local>;" and the
// interface declaration.
bool ApplyRelay(std::string* source, const Relay& r, std::string* error) {
  const std::string suffix = " " + r.local + ";\n";
  size_t end = source->find(suffix);
  while (end != std::string::npos) {
    const size_t begin = source->rfind('\n', end) + 1;
    const std::string line = source->substr(begin, end - begin);
    const size_t in = line.rfind("in ", line.rfind(' '));
    const size_t out = line.rfind("out ", line.rfind(' '));
    const size_t at = in != std::string::npos ? in : out;
    if (at != std::string::npos && (at == 0 || line[at - 1] == ' ')) {
      const size_t typeStart = line.find(' ', at) + 1;
      std::string replacement = line.substr(typeStart) + suffix.substr(0, suffix.size() - 1) + "\n";
      if (!r.declaration.empty()) replacement += r.declaration + "\n";
      source->replace(begin, end + suffix.size() - begin, replacement);
      return true;
    }
    end = source->find(suffix, end + 1);
  }
  *error = "translated shader does not declare '" + r.local + "'";
  return false;
}

// Inserts `lines` at the start of `void main()`.
bool PrependToMain(std::string* source, const std::string& lines, std::string* error) {
  const std::string head = "\nvoid main()\n{\n";
  const size_t at = source->find(head);
  if (at == std::string::npos) {
    *error = "translated shader has no main function";
    return false;
  }
  source->insert(at + head.size(), lines);
  return true;
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
        *error = "translated main returns early; its outputs cannot be completed at the end";
        return false;
      }
      source->insert(i, lines);
      return true;
    }
  }
  *error = "unbalanced braces in the translated shader";
  return false;
}

// The uniforms of member `member` of struct type `parent` (the constant
// block or a struct constant), the table entry `tableName`: one per scalar,
// vector or matrix, a struct's members each by its path ("vs_c.s[1].f").
bool AddUniforms(spirv_cross::CompilerGLSL& glsl, uint32_t parent, uint32_t member, const ShaderCode& code,
                 const std::string& tableName, const std::string& glslName, std::vector<GlslUniform>* out,
                 std::string* error) {
  const ShaderConstant* c = nullptr;
  for (const ShaderConstant& k : code.constants) {
    if (k.name == tableName && k.registerSet != D3DXRS_SAMPLER) c = &k;
  }
  if (c == nullptr) {
    *error = "constant '" + tableName + "' is missing from the constant table";
    return false;
  }
  const spirv_cross::SPIRType& type = glsl.get_type(glsl.get_type(parent).member_types[member]);
  if (type.basetype == spirv_cross::SPIRType::Struct) {
    const uint32_t elements = type.array.empty() ? 1 : type.array[0];
    for (uint32_t e = 0; e < elements; ++e) {
      const std::string index = type.array.empty() ? "" : "[" + std::to_string(e) + "]";
      for (uint32_t k = 0; k < type.member_types.size(); ++k) {
        const std::string name = glsl.get_member_name(type.self, k);
        if (!AddUniforms(glsl, type.self, k, code, tableName + index + "." + name, glslName + index + "." + name, out,
                         error))
          return false;
      }
    }
    return true;
  }
  GlslUniform u;
  u.glslName = glslName;
  u.registerSet = c->registerSet;
  u.registerIndex = c->registerIndex;
  u.registerCount = c->registerCount;
  u.elements = c->elements;
  switch (type.basetype) {
    case spirv_cross::SPIRType::Float: u.component = 'f'; break;
    case spirv_cross::SPIRType::Int: u.component = 'i'; break;
    case spirv_cross::SPIRType::UInt: u.component = c->parameterType == D3DXPT_BOOL ? 'b' : 'u'; break;
    default:
      *error = "constant '" + tableName + "' has a type GLSL uniforms cannot take";
      return false;
  }
  if (type.columns > 1) {
    if (u.component != 'f' || u.registerSet != D3DXRS_FLOAT4) {
      *error = "constant '" + tableName + "': only float matrices are supported";
      return false;
    }
    // glslang keeps HLSL rows as GLSL columns; a RowMajor member is an
    // HLSL column_major matrix, whose registers hold GLSL rows.
    const bool rowMajor = glsl.has_member_decoration(parent, member, spv::DecorationRowMajor);
    u.matrix = true;
    u.transpose = rowMajor;
    u.rows = rowMajor ? type.vecsize : type.columns;     // registers per element
    u.columns = rowMajor ? type.columns : type.vecsize;  // values per register
    glsl.unset_member_decoration(parent, member, spv::DecorationRowMajor);
    glsl.unset_member_decoration(parent, member, spv::DecorationColMajor);
  } else {
    u.rows = 1;
    u.columns = type.vecsize;
  }
  // A bool register holds one component, an int or float register a vector.
  const uint32_t needed = u.registerSet == D3DXRS_BOOL ? u.columns * u.elements : u.rows * u.elements;
  if (needed > u.registerCount) {
    *error = "constant '" + tableName + "' needs more registers than the table gives it";
    return false;
  }
  out->push_back(u);
  return true;
}

bool Translate(const ShaderCode& code, const GlslOptions& options, GlslShader* out, std::string* error) {
  if (code.spirv.size() < 5 || code.spirv[0] != 0x07230203u) {
    *error = "shader code holds no SPIR-V";
    return false;
  }
  const bool vertex = code.stage == ShaderStage::Vertex;
  const std::string prefix = vertex ? "vs" : "ps";
  const std::vector<uint32_t> spirv = ExpandLdexp(code.spirv);
  if (!ValidSpirv(spirv, error)) return false;
  spirv_cross::CompilerGLSL glsl(spirv.data(), spirv.size());
  const spv::ExecutionModel model = glsl.get_execution_model();
  if (model != (vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment)) {
    *error = "SPIR-V stage does not match the shader code's stage";
    return false;
  }
  spirv_cross::ShaderResources res = glsl.get_shader_resources();
  if (!res.storage_buffers.empty() || !res.storage_images.empty() || !res.push_constant_buffers.empty() ||
      !res.separate_images.empty() || !res.separate_samplers.empty() || !res.subpass_inputs.empty() ||
      !res.atomic_counters.empty() || res.uniform_buffers.size() > 1) {
    *error = "the shader uses resources other than constants and samplers";
    return false;
  }

  GlslShader result;
  result.stage = code.stage;
  bool readsFragCoord = false;

  auto semanticOf = [&](const spirv_cross::Resource& r, Semantic* s) {
    const std::string text = glsl.get_decoration_string(r.id, spv::DecorationHlslSemanticGOOGLE);
    if (text.empty() || !ParseSemantic(text, s)) {
      *error = "interface variable '" + r.name + "' has no usable semantic" + (text.empty() ? "" : " '" + text + "'");
      return false;
    }
    return true;
  };

  std::vector<Relay> relays;
  // The body keeps `local` of its own type; the interface sees `iface`.
  auto relay = [&](const spirv_cross::Resource& r, const std::string& local, const std::string& declaration,
                   const std::string& copy, bool atStart) {
    glsl.set_name(r.id, local);
    glsl.unset_decoration(r.id, spv::DecorationLocation);
    for (spv::Decoration d : {spv::DecorationFlat, spv::DecorationNoPerspective, spv::DecorationCentroid,
                              spv::DecorationSample}) {
      glsl.unset_decoration(r.id, d);
    }
    relays.push_back({local, declaration, copy, atStart});
  };

  if (vertex) {
    // Inputs with a fixed location first, then the rest at free ones.
    struct Input {
      const spirv_cross::Resource* r;
      Semantic s;
      int usage;
      uint32_t slots;
      int location;
    };
    std::vector<Input> inputs;
    std::set<uint32_t> taken;
    for (const spirv_cross::Resource& r : res.stage_inputs) {
      Input in{&r, {}, -1, 1, -1};
      if (!semanticOf(r, &in.s)) return false;
      in.usage = UsageOf(in.s.name);
      if (in.usage < 0 || in.s.index > 15) {
        *error = "vertex input semantic " + in.s.Text() + " is not a Direct3D 9 vertex input";
        return false;
      }
      const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
      in.slots = type.columns;
      for (uint32_t dim : type.array) in.slots *= std::max(dim, 1u);
      if (in.slots == 1) {
        in.location = VertexAttributeLocation(static_cast<BYTE>(in.usage), static_cast<BYTE>(in.s.index));
        if (in.location >= 0) taken.insert(static_cast<uint32_t>(in.location));
      }
      inputs.push_back(in);
    }
    for (Input& in : inputs) {
      if (in.location >= 0) continue;
      for (uint32_t first = 0; first + in.slots <= kVertexAttributes && in.location < 0; ++first) {
        bool free = true;
        for (uint32_t k = 0; k < in.slots; ++k) free = free && taken.count(first + k) == 0;
        if (free) in.location = static_cast<int>(first);
      }
      if (in.location < 0) {
        *error = "vertex shader has more inputs than the " + std::to_string(kVertexAttributes) + " attribute locations";
        return false;
      }
      for (uint32_t k = 0; k < in.slots; ++k) taken.insert(static_cast<uint32_t>(in.location) + k);
    }
    for (const Input& in : inputs) {
      const spirv_cross::Resource& r = *in.r;
      const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
      const std::string name = "in_" + in.s.Text();
      const uint32_t location = static_cast<uint32_t>(in.location);
      result.attributes.push_back({static_cast<BYTE>(in.usage), static_cast<BYTE>(in.s.index), location});
      if (IsRelayable(type) && type.basetype != spirv_cross::SPIRType::Float) {
        // Vertex data reaches the shader as floats, whatever HLSL calls it.
        relay(r, "vsi_" + in.s.Text(),
              "layout(location = " + std::to_string(location) + ") in vec4 " + name + ";",
              "vsi_" + in.s.Text() + " = " + GlslType(type) + "(" + name + Swizzle(type.vecsize) + ");", true);
        continue;
      }
      glsl.set_name(r.id, name);
      glsl.set_decoration(r.id, spv::DecorationLocation, location);
    }
  } else {
    for (const spirv_cross::Resource& r : res.stage_inputs) {
      Semantic s;
      if (!semanticOf(r, &s)) return false;
      const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
      const std::string local = "psi_" + s.Text();
      if (s.name == "VPOS" || s.name == "POSITION" || s.name == "VFACE") {
        if (!IsRelayable(type) || type.basetype != spirv_cross::SPIRType::Float) {
          *error = "pixel input " + s.Text() + " must be a float scalar or vector";
          return false;
        }
        if (s.name == "VFACE") {
          relay(r, local, "", local + " = " + GlslType(type) + "(gl_FrontFacing ? 1.0 : -1.0);", true);
        } else {
          relay(r, local, "", local + " = " + GlslType(type) + "(gl_FragCoord" + Swizzle(type.vecsize) + ");", true);
          readsFragCoord = true;
        }
        continue;
      }
      const std::string name = "v_" + s.Text();
      if (IsRelayable(type) && !(type.basetype == spirv_cross::SPIRType::Float && type.vecsize == 4)) {
        relay(r, local, "in vec4 " + name + ";", local + " = " + GlslType(type) + "(" + name + Swizzle(type.vecsize) + ");",
              true);
        continue;
      }
      glsl.set_name(r.id, name);
      glsl.unset_decoration(r.id, spv::DecorationLocation);
    }
  }

  bool wrotePosition = false;
  std::set<std::string> varyings;  // of a vertex shader
  for (const spirv_cross::BuiltInResource& b : res.builtin_outputs) {
    if (b.builtin == spv::BuiltInPosition) wrotePosition = true;
  }
  for (const spirv_cross::Resource& r : res.stage_outputs) {
    Semantic s;
    if (!semanticOf(r, &s)) return false;
    glsl.unset_decoration(r.id, spv::DecorationLocation);
    const spirv_cross::SPIRType& type = glsl.get_type(r.base_type_id);
    if (vertex) {
      if (s.name == "POSITION" && s.index == 0) {
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInPosition);
        wrotePosition = true;
      } else if (s.name == "PSIZE" && s.index == 0) {
        glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInPointSize);
      } else if (IsRelayable(type) && !(type.basetype == spirv_cross::SPIRType::Float && type.vecsize == 4)) {
        const std::string local = "vso_" + s.Text();
        const std::string name = "v_" + s.Text();
        std::string widened = "vec4(" + local;
        for (uint32_t k = type.vecsize; k < 3; ++k) widened += ", 0.0";
        widened += ", 1.0)";
        relay(r, local, "out vec4 " + name + ";", name + " = " + widened + ";", false);
        varyings.insert(name);
      } else {
        glsl.set_name(r.id, "v_" + s.Text());
        varyings.insert("v_" + s.Text());
      }
    } else {
      if (s.name == "COLOR" && s.index < 4) {
        glsl.set_name(r.id, "out_COLOR" + std::to_string(s.index));
        glsl.set_decoration(r.id, spv::DecorationLocation, s.index);
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
  // Direct3D 9 pairs any vertex shader with any pixel shader, which may read
  // a texture coordinate or colour the vertex shader does not write; GLSL
  // links only when every input has an output. So each of those the vertex
  // shader leaves out is declared and written as zero (the linker drops
  // what no pixel shader reads).
  std::string unwritten;
  if (vertex) {
    for (int k = 0; k < 10; ++k) {
      const std::string name = k < 8 ? "v_TEXCOORD" + std::to_string(k) : "v_COLOR" + std::to_string(k - 8);
      if (varyings.count(name) != 0) continue;
      glsl.add_header_line("out vec4 " + name + ";");
      unwritten += "    " + name + " = vec4(0.0);\n";
    }
  }

  const std::set<uint32_t> usedMembers = UsedBlockMembers(spirv);
  const std::set<uint32_t> readVariables = ReadVariables(spirv);
  for (const spirv_cross::Resource& r : res.uniform_buffers) {
    const spirv_cross::SPIRType& block = glsl.get_type(r.base_type_id);
    glsl.set_name(r.base_type_id, vertex ? "VsConstants" : "PsConstants");
    glsl.set_name(r.id, prefix + "_c");
    glsl.unset_decoration(r.id, spv::DecorationBinding);
    glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
    for (uint32_t i = 0; i < block.member_types.size(); ++i) {
      const std::string name = glsl.get_member_name(r.base_type_id, i);
      const ShaderConstant* c = FindConstant(code, name, false);
      if (c == nullptr && usedMembers.count(i) == 0) continue;  // dropped from the table: never read
      if (c == nullptr) {
        *error = "constant '" + name + "' is missing from the constant table";
        return false;
      }
      if (!AddUniforms(glsl, r.base_type_id, i, code, c->name, prefix + "_c." + name, &result.uniforms, error))
        return false;
    }
  }

  for (const spirv_cross::Resource& r : res.sampled_images) {
    const std::string name = glsl.get_name(r.id);
    const ShaderConstant* c = FindConstant(code, name, true);
    if (c == nullptr && readVariables.count(r.id) == 0) continue;  // never read: no texture unit
    if (c == nullptr) {
      *error = "sampler '" + name + "' is missing from the constant table";
      return false;
    }
    const std::string glslName = prefix + "_" + name;
    glsl.set_name(r.id, glslName);
    glsl.unset_decoration(r.id, spv::DecorationBinding);
    glsl.unset_decoration(r.id, spv::DecorationDescriptorSet);
    const spirv_cross::SPIRType& type = glsl.get_type(r.type_id);
    const bool planar = type.image.dim == spv::Dim1D || type.image.dim == spv::Dim2D;
    if (type.array.empty()) {
      result.samplers.push_back({glslName, c->registerIndex, planar});
    } else {
      for (uint32_t e = 0; e < c->elements; ++e) {
        result.samplers.push_back({glslName + "[" + std::to_string(e) + "]", c->registerIndex + e, planar});
      }
    }
  }

  spirv_cross::CompilerGLSL::Options glslOptions;
  glslOptions.version = 330;
  glslOptions.es = false;
  glslOptions.enable_420pack_extension = false;
  glslOptions.emit_uniform_buffer_as_plain_uniforms = true;
  glslOptions.separate_shader_objects = false;
  glslOptions.emit_line_directives = options.lineDirectives;
  glsl.set_common_options(glslOptions);
  if (vertex) glsl.add_header_line(std::string("uniform vec4 ") + kPositionFixupUniform + ";");
  if (readsFragCoord) glsl.add_header_line("layout(origin_upper_left, pixel_center_integer) in vec4 gl_FragCoord;");

  result.source = glsl.compile();
  if (options.lineDirectives) StripLineFileNames(&result.source);
  std::string head, tail = unwritten;
  for (const Relay& r : relays) {
    if (!ApplyRelay(&result.source, r, error)) return false;
    (r.atStart ? head : tail) += "    " + r.copy + "\n";
  }
  if (vertex) {
    tail += std::string("    gl_Position.xy += ") + kPositionFixupUniform + ".xy * gl_Position.w;\n";
    if (options.remapDepth) tail += "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";
  }
  if (!head.empty() && !PrependToMain(&result.source, head, error)) return false;
  if (!tail.empty() && !AppendToMain(&result.source, tail, error)) return false;
  *out = std::move(result);
  return true;
}

}  // namespace

int GlslAttributeLocation(const GlslShader& vertexShader, BYTE usage, BYTE usageIndex) {
  for (int pass = 0; pass < 2; ++pass) {
    for (const GlslAttribute& a : vertexShader.attributes) {
      if (a.usage == usage && a.usageIndex == usageIndex) return static_cast<int>(a.location);
    }
    if (usage != D3DDECLUSAGE_POSITIONT) break;
    usage = D3DDECLUSAGE_POSITION;
  }
  return -1;
}

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
