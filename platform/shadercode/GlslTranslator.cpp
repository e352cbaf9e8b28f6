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
//
// Everything the translator decides is said to SPIRV-Cross before it
// writes (names, decorations, options, header lines and the statements of
// GlslEmitter); variables whose meaning changes are changed in the SPIR-V
// first (SpirvEdits.h). The text it returns is never searched or edited.
// The device's variants (GlslOptions) are decided the same way.
#include "ShaderCode.h"

#include <spirv-tools/libspirv.hpp>
#include <spirv_cross/spirv_glsl.hpp>

#include "GlslEmitter.h"
#include "SpirvEdits.h"

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

// Generic attribute locations every OpenGL 3.3 implementation has.
constexpr uint32_t kVertexAttributes = 16;

// What an interface variable's type is made of (of its element, as
// SPIRV-Cross's reflection gives the type of an array variable): 'f'
// float, 'i' int, 'u' uint, 0 anything else; components and columns.
struct Shape {
  char kind = 0;
  uint32_t vecsize = 1, columns = 1;
};

Shape ShapeOf(const spirv_cross::SPIRType& type) {
  Shape shape;
  if (!type.array.empty()) return shape;
  shape.kind = type.basetype == spirv_cross::SPIRType::Float ? 'f'
               : type.basetype == spirv_cross::SPIRType::Int ? 'i'
               : type.basetype == spirv_cross::SPIRType::UInt ? 'u'
                                                               : 0;
  shape.vecsize = type.vecsize;
  shape.columns = type.columns;
  return shape;
}

// A float or int scalar or vector: what can pass through a vec4.
bool IsRelayable(const Shape& shape) { return shape.kind != 0 && shape.columns == 1 && shape.vecsize <= 4; }

// An Input or Output variable of the entry point that is no built-in, as
// SPIRV-Cross's reflection would list it: its HLSL semantic and shape.
struct InterfaceVariable {
  uint32_t id = 0;
  bool input = false;
  std::string semantic;
  Shape shape;
};

// Read from the SPIR-V words, so that the variables to relay can be made
// Private before SPIRV-Cross parses the module (once).
std::vector<InterfaceVariable> InterfaceVariables(const std::vector<uint32_t>& w) {
  constexpr uint32_t kOpEntryPoint = 15, kOpTypeInt = 21, kOpTypeFloat = 22, kOpTypeVector = 23, kOpTypeMatrix = 24,
                     kOpTypeArray = 28, kOpTypeRuntimeArray = 29, kOpTypePointer = 32, kOpVariable = 59,
                     kOpDecorate = 71, kOpDecorateString = 5632;
  constexpr uint32_t kBuiltIn = 11, kHlslSemantic = 5635, kInput = 1, kOutput = 3;
  auto text = [&](size_t at, size_t end) {
    std::string out;
    for (size_t k = at; k < end; ++k) {
      for (int b = 0; b < 4; ++b) {
        const char ch = static_cast<char>((w[k] >> (8 * b)) & 0xFF);
        if (ch == '\0') return std::make_pair(out, k + 1);
        out.push_back(ch);
      }
    }
    return std::make_pair(out, end);
  };
  if (w.size() < 5) return {};
  const uint32_t bound = std::min<uint32_t>(w[3], 1u << 22);
  std::vector<Shape> shapes(bound);
  std::vector<uint32_t> pointees(bound);
  std::map<uint32_t, std::string> semantics;
  std::set<uint32_t> builtins, listedIds;
  auto known = [&](uint32_t id) { return id < bound; };
  std::vector<InterfaceVariable> out;
  bool entryPoint = false;
  for (size_t i = 5; i < w.size();) {
    const uint32_t count = w[i] >> 16, op = w[i] & 0xFFFF;
    if (count == 0 || i + count > w.size()) break;
    const uint32_t* o = &w[i + 1];
    if (op == kOpEntryPoint && count >= 3 && !entryPoint) {
      entryPoint = true;
      for (size_t k = text(i + 3, i + count).second; k < i + count; ++k) listedIds.insert(w[k]);
    } else if (op == kOpDecorate && count >= 3 && o[1] == kBuiltIn) {
      builtins.insert(o[0]);
    } else if (op == kOpDecorateString && count >= 4 && o[1] == kHlslSemantic) {
      semantics[o[0]] = text(i + 3, i + count).first;
    } else if (op == kOpTypeFloat && count >= 2 && known(o[0])) {
      shapes[o[0]] = {'f', 1, 1};
    } else if (op == kOpTypeInt && count >= 4 && known(o[0])) {
      shapes[o[0]] = {o[2] != 0 ? 'i' : 'u', 1, 1};
    } else if (op == kOpTypeVector && count >= 4 && known(o[0]) && known(o[1])) {
      shapes[o[0]] = shapes[o[1]];
      shapes[o[0]].vecsize = o[2];
    } else if (op == kOpTypeMatrix && count >= 4 && known(o[0]) && known(o[1])) {
      shapes[o[0]] = shapes[o[1]];
      shapes[o[0]].columns = o[2];
    } else if ((op == kOpTypeArray || op == kOpTypeRuntimeArray) && count >= 3 && known(o[0]) && known(o[1])) {
      shapes[o[0]] = shapes[o[1]];
    } else if (op == kOpTypePointer && count >= 4 && known(o[0]) && known(o[2])) {
      pointees[o[0]] = o[2];
    } else if (op == kOpVariable && count >= 4 && known(o[0]) && (o[2] == kInput || o[2] == kOutput)) {
      InterfaceVariable v;
      v.id = o[1];
      v.input = o[2] == kInput;
      v.shape = shapes[pointees[o[0]]];
      out.push_back(v);
    }
    i += count;
  }
  std::vector<InterfaceVariable> listed;
  for (InterfaceVariable& v : out) {
    if (listedIds.count(v.id) == 0 || builtins.count(v.id) != 0) continue;
    const auto semantic = semantics.find(v.id);
    if (semantic != semantics.end()) v.semantic = semantic->second;
    listed.push_back(std::move(v));
  }
  return listed;
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
// stage or the device sees: the body keeps its own type in a plain global
// (MakePrivate), the interface variable is declared in the header, and a
// statement copies between them at the start (inputs) or end (outputs) of
// main. Which ones:
//  - vertex inputs that are not float: vertex data reaches the shader as
//    floats; and those fed by D3DCOLOR data in BGRA order
//    (GlslOptions::swappedColourInputs), read swapped;
//  - pixel inputs VPOS (or POSITION) and VFACE, read from gl_FragCoord and
//    gl_FrontFacing;
//  - other vertex outputs and pixel inputs smaller than a vec4.
bool SwappedColourInput(const GlslOptions& options, const Semantic& s) {
  const int usage = UsageOf(s.name);
  return usage >= 0 && usage <= MAXD3DDECLUSAGE && s.index < 16 &&
         (options.swappedColourInputs[static_cast<size_t>(usage)] & (1u << s.index)) != 0;
}

bool Relayed(const GlslOptions& options, bool vertex, bool input, const Semantic& s, const Shape& type) {
  const bool vec4 = type.kind == 'f' && type.vecsize == 4;
  if (vertex && input) return IsRelayable(type) && (type.kind != 'f' || SwappedColourInput(options, s));
  if (input) return s.name == "VPOS" || s.name == "POSITION" || s.name == "VFACE" || (IsRelayable(type) && !vec4);
  if (vertex) return !((s.name == "POSITION" || s.name == "PSIZE") && s.index == 0) && IsRelayable(type) && !vec4;
  return false;
}

// The GLSL comparison of a D3DCMP_* alpha test ("" for ALWAYS and values
// outside the enumeration, nullptr for NEVER).
const char* CompareOperator(uint32_t func) {
  switch (func) {
    case D3DCMP_NEVER: return nullptr;
    case D3DCMP_LESS: return "<";
    case D3DCMP_EQUAL: return "==";
    case D3DCMP_LESSEQUAL: return "<=";
    case D3DCMP_GREATER: return ">";
    case D3DCMP_NOTEQUAL: return "!=";
    case D3DCMP_GREATEREQUAL: return ">=";
    default: return "";
  }
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
  // Code handed in from outside is validated before anything walks it.
  const std::vector<uint32_t> expanded = ExpandLdexp(code.spirv);
  if (!ValidSpirv(expanded, error)) return false;
  // The variables relayed are made plain globals before SPIRV-Cross reads
  // the module; they keep their ids, and their place in the interface it lists.
  const std::vector<InterfaceVariable> ioVariables = InterfaceVariables(expanded);
  std::set<uint32_t> relayed;
  for (const InterfaceVariable& v : ioVariables) {
    Semantic s;
    if (ParseSemantic(v.semantic, &s) && Relayed(options, vertex, v.input, s, v.shape)) relayed.insert(v.id);
  }
  const std::vector<uint32_t> spirv = MakePrivate(expanded, relayed);
  GlslEmitter glsl(spirv.data(), spirv.size());
  const spv::ExecutionModel model = glsl.get_execution_model();
  if (model != (vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment)) {
    *error = "SPIR-V stage does not match the shader code's stage";
    return false;
  }
  // GLSL ES: the header's declarations come before SPIRV-Cross's own
  // precision statements, so the defaults are said first.
  if (options.es300) {
    glsl.add_header_line("precision highp float;");
    glsl.add_header_line("precision highp int;");
  }
  spirv_cross::ShaderResources res = glsl.get_shader_resources();
  std::map<uint32_t, size_t> place;
  for (const InterfaceVariable& v : ioVariables) {
    place.emplace(v.id, place.size());
    if (relayed.count(v.id) == 0) continue;
    const uint32_t type = glsl.get_type_from_variable(v.id).self;
    (v.input ? res.stage_inputs : res.stage_outputs).push_back({v.id, type, type, glsl.get_name(v.id)});
  }
  for (auto* list : {&res.stage_inputs, &res.stage_outputs}) {
    std::stable_sort(list->begin(), list->end(), [&](const spirv_cross::Resource& a, const spirv_cross::Resource& b) {
      return place.count(a.id) != 0 && (place.count(b.id) == 0 || place[a.id] < place[b.id]);
    });
  }
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

  // The body keeps `local` of its own type; the interface sees `declaration`.
  std::vector<std::string> copiesOut;
  auto relay = [&](const spirv_cross::Resource& r, const std::string& local, const std::string& declaration,
                   const std::string& copy, bool atStart) {
    glsl.set_name(r.id, local);
    glsl.unset_decoration(r.id, spv::DecorationLocation);
    for (spv::Decoration d : {spv::DecorationFlat, spv::DecorationNoPerspective, spv::DecorationCentroid,
                              spv::DecorationSample}) {
      glsl.unset_decoration(r.id, d);
    }
    if (!declaration.empty()) glsl.add_header_line(declaration);
    (atStart ? glsl.prologue : copiesOut).push_back(copy);
  };
  // D3DSHADE_FLAT: colour varyings take the first vertex's value.
  auto interpolation = [&](const Semantic& s) { return options.flatColours && s.name == "COLOR" ? "flat " : ""; };

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
      if (relayed.count(r.id) != 0) {
        // Vertex data reaches the shader as floats, whatever HLSL calls it.
        const std::string read = name + (SwappedColourInput(options, in.s) ? ".zyxw" : "");
        relay(r, "vsi_" + in.s.Text(),
              "layout(location = " + std::to_string(location) + ") in vec4 " + name + ";",
              "vsi_" + in.s.Text() + " = " + GlslType(type) + "(" + read + Swizzle(type.vecsize) + ");", true);
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
        if (!IsRelayable(ShapeOf(type)) || type.basetype != spirv_cross::SPIRType::Float) {
          *error = "pixel input " + s.Text() + " must be a float scalar or vector";
          return false;
        }
        if (s.name == "VFACE") {
          relay(r, local, "", local + " = " + GlslType(type) + "(gl_FrontFacing ? 1.0 : -1.0);", true);
        } else {
          if (options.es300) {
            *error = "pixel input " + s.Text() + " (the pixel's position) is not available in GLSL ES 3.00";
            return false;
          }
          relay(r, local, "", local + " = " + GlslType(type) + "(gl_FragCoord" + Swizzle(type.vecsize) + ");", true);
          readsFragCoord = true;
        }
        continue;
      }
      const std::string name = "v_" + s.Text();
      if (relayed.count(r.id) != 0) {
        relay(r, local, interpolation(s) + std::string("in vec4 ") + name + ";",
              local + " = " + GlslType(type) + "(" + name + Swizzle(type.vecsize) + ");", true);
        continue;
      }
      glsl.set_name(r.id, name);
      glsl.unset_decoration(r.id, spv::DecorationLocation);
      if (*interpolation(s) != 0) glsl.set_decoration(r.id, spv::DecorationFlat);
    }
  }

  bool wrotePosition = false;
  std::string colour0;             // a pixel shader's vec4 colour output 0
  std::set<std::string> varyings;  // of a vertex shader
  for (const spirv_cross::BuiltInResource& b : res.builtin_outputs) {
    if (b.builtin == spv::BuiltInPosition) wrotePosition = true;
    if (b.builtin == spv::BuiltInPointSize) result.writesPointSize = true;
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
        result.writesPointSize = true;
      } else if (relayed.count(r.id) != 0) {
        const std::string local = "vso_" + s.Text();
        const std::string name = "v_" + s.Text();
        std::string widened = "vec4(" + local;
        for (uint32_t k = type.vecsize; k < 3; ++k) widened += ", 0.0";
        widened += ", 1.0)";
        relay(r, local, interpolation(s) + std::string("out vec4 ") + name + ";", name + " = " + widened + ";", false);
        varyings.insert(name);
      } else {
        glsl.set_name(r.id, "v_" + s.Text());
        if (*interpolation(s) != 0) glsl.set_decoration(r.id, spv::DecorationFlat);
        varyings.insert("v_" + s.Text());
      }
    } else {
      if (s.name == "COLOR" && s.index < 4) {
        glsl.set_name(r.id, "out_COLOR" + std::to_string(s.index));
        glsl.set_decoration(r.id, spv::DecorationLocation, s.index);
        if (s.index == 0 && type.basetype == spirv_cross::SPIRType::Float && type.vecsize == 4 && type.columns == 1 &&
            type.array.empty())
          colour0 = "out_COLOR0";
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
  if (vertex) {
    for (int k = 0; k < 10; ++k) {
      const std::string name = k < 8 ? "v_TEXCOORD" + std::to_string(k) : "v_COLOR" + std::to_string(k - 8);
      if (varyings.count(name) != 0) continue;
      glsl.add_header_line(std::string(k < 8 || !options.flatColours ? "" : "flat ") + "out vec4 " + name + ";");
      glsl.epilogue.push_back(name + " = vec4(0.0);");
    }
  }
  glsl.epilogue.insert(glsl.epilogue.end(), copiesOut.begin(), copiesOut.end());

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
    const uint32_t elements = type.array.empty() ? 1 : c->elements;
    for (uint32_t e = 0; e < elements; ++e) {
      const uint32_t index = c->registerIndex + e;
      const std::string element = type.array.empty() ? glslName : glslName + "[" + std::to_string(e) + "]";
      result.samplers.push_back({element, index, planar});
      // D3DSAMP_SRGBTEXTURE on any element decodes the reads of the whole array.
      if (index < 32 && (options.srgbSamplers & (1u << index)) != 0) glsl.decodedSamplers.insert(r.id);
    }
  }
  if (!glsl.decodedSamplers.empty()) {
    glsl.decode = "ostrevin_srgb_decode";
    glsl.add_header_line(
        "vec4 ostrevin_srgb_decode(vec4 c) {\n"
        "  vec3 lo = c.rgb / 12.92, hi = pow((c.rgb + 0.055) / 1.055, vec3(2.4));\n"
        "  return vec4(mix(hi, lo, lessThanEqual(c.rgb, vec3(0.04045))), c.a);\n"
        "}");
  }

  spirv_cross::CompilerGLSL::Options glslOptions;
  glslOptions.version = options.es300 ? 300 : 330;
  glslOptions.es = options.es300;
  glslOptions.fragment.default_float_precision = spirv_cross::CompilerGLSL::Options::Highp;
  glslOptions.fragment.default_int_precision = spirv_cross::CompilerGLSL::Options::Highp;
  glslOptions.enable_420pack_extension = false;
  glslOptions.emit_uniform_buffer_as_plain_uniforms = true;
  glslOptions.separate_shader_objects = false;
  glslOptions.vertex.fixup_clipspace = options.remapDepth;  // z from [0, w] to [-w, w], after the epilogue
  glsl.set_common_options(glslOptions);
  glsl.lineDirectives = options.lineDirectives;
  if (vertex) {
    glsl.add_header_line(std::string("uniform vec4 ") + kPositionFixupUniform + ";");
    glsl.epilogue.push_back(std::string("gl_Position.xy += ") + kPositionFixupUniform + ".xy * gl_Position.w;");
  }
  if (readsFragCoord) glsl.add_header_line("layout(origin_upper_left, pixel_center_integer) in vec4 gl_FragCoord;");
  if (!colour0.empty() && options.srgbWrite) {
    glsl.epilogue.push_back("{");
    glsl.epilogue.push_back("vec3 ostrevin_c = clamp(" + colour0 + ".rgb, 0.0, 1.0);");
    glsl.epilogue.push_back(colour0 + ".rgb = mix(1.055 * pow(ostrevin_c, vec3(1.0 / 2.4)) - 0.055, ostrevin_c * 12.92, "
                            "lessThanEqual(ostrevin_c, vec3(0.0031308)));");
    glsl.epilogue.push_back("}");
  }
  const char* compare = CompareOperator(options.alphaFunc);
  if (!colour0.empty() && compare == nullptr) {
    glsl.epilogue.push_back("discard;");
  } else if (!colour0.empty() && *compare != 0) {
    // Direct3D compares the alpha the target stores, 0..255, with ALPHAREF.
    glsl.add_header_line(std::string("uniform float ") + kAlphaRefUniform + ";");
    glsl.epilogue.push_back("{");
    glsl.epilogue.push_back("float ostrevin_a = floor(clamp(" + colour0 + ".a, 0.0, 1.0) * 255.0 + 0.5);");
    glsl.epilogue.push_back(std::string("if (!(ostrevin_a ") + compare + " " + kAlphaRefUniform + ")) discard;");
    glsl.epilogue.push_back("}");
  }

  result.source = glsl.compile();
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
