// Constants from SPIR-V reflection, and their registers.
#include "shader/RegisterAllocation.h"

#include <d3dx9.h>

#include <spirv_cross/spirv_cross.hpp>

#include <set>

namespace ostrevin {
namespace {

// Places [count] registers at the lowest free index; false when none fit.
bool Allocate(std::vector<bool>& used, uint32_t count, uint32_t* index) {
  const uint32_t limit = static_cast<uint32_t>(used.size());
  for (uint32_t start = 0; start + count <= limit; ++start) {
    bool free = true;
    for (uint32_t i = 0; i < count && free; ++i) free = !used[start + i];
    if (free) {
      for (uint32_t i = 0; i < count; ++i) used[start + i] = true;
      *index = start;
      return true;
    }
  }
  return false;
}

bool Reserve(std::vector<bool>& used, uint32_t start, uint32_t count) {
  if (uint64_t(start) + count > used.size()) return false;
  for (uint32_t i = 0; i < count; ++i) {
    if (used[start + i]) return false;
  }
  for (uint32_t i = 0; i < count; ++i) used[start + i] = true;
  return true;
}

// A scalar, vector or matrix of `type` (one array level or none) as a
// FLOAT4 constant: class, shape and registers. HLSL rows are SPIR-V
// columns; a RowMajor decoration marks an HLSL column_major matrix.
bool Shape(const spirv_cross::SPIRType& type, bool columnMajor, ShaderConstant* c, std::string* error) {
  uint64_t elements = 1;
  for (uint32_t dim : type.array) elements *= dim;
  if (elements == 0 || elements > 4096) {
    *error = "error: constant '" + c->name + "' has an unsupported array size";
    return false;
  }
  c->elements = static_cast<uint32_t>(elements);
  uint32_t perElement = 1;
  if (type.columns > 1) {
    c->rows = type.columns;
    c->columns = type.vecsize;
    c->parameterClass = columnMajor ? D3DXPC_MATRIX_COLUMNS : D3DXPC_MATRIX_ROWS;
    perElement = columnMajor ? c->columns : c->rows;
  } else {
    c->rows = 1;
    c->columns = type.vecsize;
    c->parameterClass = type.vecsize == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
  }
  c->registerSet = D3DXRS_FLOAT4;
  c->registerCount = perElement * c->elements;
  return true;
}

// Appends the entries of a constant of `type` named `name` (a struct's, then
// its members' for each element, depth first) with registers counted from
// `base` in FLOAT4. A struct takes its members' registers one after another,
// whatever their types, as D3DX places them.
bool AddConstant(const spirv_cross::Compiler& reflect, const spirv_cross::SPIRType& type, bool columnMajor,
                 bool boolean, const std::string& name, uint32_t base, std::vector<ShaderConstant>* out,
                 std::string* error, int depth = 0) {
  ShaderConstant c;
  c.name = name;
  c.registerIndex = base;
  if (type.basetype != spirv_cross::SPIRType::Struct) {
    switch (type.basetype) {
      case spirv_cross::SPIRType::Float: c.parameterType = D3DXPT_FLOAT; break;
      case spirv_cross::SPIRType::Int: c.parameterType = D3DXPT_INT; break;
      case spirv_cross::SPIRType::UInt: c.parameterType = boolean ? D3DXPT_BOOL : D3DXPT_INT; break;
      case spirv_cross::SPIRType::Boolean: c.parameterType = D3DXPT_BOOL; break;
      default:
        *error = "error: constant '" + name + "' has an unsupported type";
        return false;
    }
    if (!Shape(type, columnMajor, &c, error)) return false;
    out->push_back(std::move(c));
    return true;
  }
  if (depth > 8 || type.array.size() > 1) {
    *error = "error: constant '" + name + "': struct too deeply nested";
    return false;
  }
  const uint32_t elements = type.array.empty() ? 1 : type.array[0];
  if (elements == 0 || elements > 4096) {
    *error = "error: constant '" + name + "' has an unsupported array size";
    return false;
  }
  const size_t at = out->size();
  c.parameterClass = D3DXPC_STRUCT;
  c.parameterType = D3DXPT_VOID;
  c.rows = 1;
  c.columns = 0;
  c.elements = elements;
  c.structMembers = static_cast<uint32_t>(type.member_types.size());
  out->push_back(c);
  uint32_t next = base;
  for (uint32_t e = 0; e < elements; ++e) {
    const std::string element = elements > 1 ? name + "[" + std::to_string(e) + "]" : name;
    for (uint32_t k = 0; k < type.member_types.size(); ++k) {
      const spirv_cross::SPIRType& member = reflect.get_type(type.member_types[k]);
      const bool memberColumnMajor = reflect.has_member_decoration(type.self, k, spv::DecorationRowMajor);
      const size_t first = out->size();
      // Members keep glslang's types: a bool member is a uint, read as an int.
      if (!AddConstant(reflect, member, memberColumnMajor, false, element + "." + reflect.get_member_name(type.self, k),
                       next, out, error, depth + 1))
        return false;
      const ShaderConstant& m = (*out)[first];
      next += m.registerCount;
      if (e == 0) {
        const uint32_t scalars = m.parameterClass == D3DXPC_STRUCT ? m.columns : m.rows * m.columns;
        (*out)[at].columns += scalars * m.elements;
      }
    }
  }
  (*out)[at].registerCount = next - base;
  return true;
}

}  // namespace

bool BuildConstants(const std::vector<uint32_t>& spirv, ShaderStage stage, bool flowControlRegisters,
                    const std::map<std::string, ExplicitRegister>& explicitRegs, std::vector<ShaderConstant>* out,
                    std::string* error) {
  spirv_cross::Compiler reflect(spirv.data(), spirv.size());
  const spirv_cross::ShaderResources res = reflect.get_shader_resources();
  std::vector<ShaderConstant> constants;
  std::vector<size_t> tops;  // the top-level entries; a struct's members follow it
  // As D3DX: a constant the code never reads has no register and is not in
  // the table, whatever its type or annotation.
  const std::map<uint32_t, BlockMemberUse> uses = BlockMemberUses(spirv);

  for (const spirv_cross::Resource& r : res.uniform_buffers) {
    const spirv_cross::SPIRType& block = reflect.get_type(r.base_type_id);
    for (uint32_t i = 0; i < block.member_types.size(); ++i) {
      auto use = uses.find(i);
      if (use == uses.end()) continue;
      const std::string name = reflect.get_member_name(r.base_type_id, i);
      const spirv_cross::SPIRType& type = reflect.get_type(block.member_types[i]);
      const bool integer = type.basetype == spirv_cross::SPIRType::Int || type.basetype == spirv_cross::SPIRType::UInt;
      const bool boolean = type.basetype == spirv_cross::SPIRType::UInt && use->second.boolean;
      tops.push_back(constants.size());
      if (!AddConstant(reflect, type, reflect.has_member_decoration(r.base_type_id, i, spv::DecorationRowMajor),
                       boolean, name, 0, &constants, error))
        return false;
      ShaderConstant& c = constants[tops.back()];
      if (!integer || c.parameterClass == D3DXPC_MATRIX_ROWS || c.parameterClass == D3DXPC_MATRIX_COLUMNS) continue;
      // D3DX gives bool and int constants the registers of static flow
      // control when that is all the code does with them - a bool that only
      // decides an `if`, an int that only counts a loop - or when their
      // register() says so; otherwise they are read as floats.
      auto reg = explicitRegs.find(name);
      const char wanted = reg != explicitRegs.end() ? reg->second.set : 0;
      if (!flowControlRegisters) continue;
      if (boolean && (wanted == 'b' || (wanted == 0 && use->second.branchOnly))) {
        c.registerSet = D3DXRS_BOOL;
        c.registerCount = c.columns * c.elements;
      } else if (!boolean && (wanted == 'i' || (wanted == 0 && use->second.loopCountOnly))) {
        c.registerSet = D3DXRS_INT4;
        c.registerCount = c.elements;
      }
    }
  }
  const std::set<uint32_t> readVariables = ReadVariables(spirv);
  for (const spirv_cross::Resource& r : res.sampled_images) {
    if (readVariables.count(r.id) == 0) continue;
    ShaderConstant c;
    c.name = reflect.get_name(r.id);
    const spirv_cross::SPIRType& type = reflect.get_type(r.type_id);
    uint64_t elements = 1;
    for (uint32_t dim : type.array) elements *= dim;
    if (elements == 0 || elements > 16) {
      *error = "error: sampler '" + c.name + "' has an unsupported array size";
      return false;
    }
    switch (type.image.dim) {
      case spv::Dim1D: c.parameterType = D3DXPT_SAMPLER1D; break;
      case spv::Dim3D: c.parameterType = D3DXPT_SAMPLER3D; break;
      case spv::DimCube: c.parameterType = D3DXPT_SAMPLERCUBE; break;
      default: c.parameterType = D3DXPT_SAMPLER2D; break;
    }
    c.registerSet = D3DXRS_SAMPLER;
    c.parameterClass = D3DXPC_OBJECT;
    c.rows = c.columns = 1;
    c.elements = static_cast<uint32_t>(elements);
    c.registerCount = c.elements;
    tops.push_back(constants.size());
    constants.push_back(std::move(c));
  }

  const uint32_t floatRegisters = stage == ShaderStage::Vertex ? 256 : 224;
  std::vector<bool> usedFloat(floatRegisters, false), usedSampler(16, false), usedBool(16, false), usedInt(16, false);
  auto fileOf = [&](D3DXREGISTER_SET set) -> std::vector<bool>& {
    switch (set) {
      case D3DXRS_BOOL: return usedBool;
      case D3DXRS_INT4: return usedInt;
      case D3DXRS_SAMPLER: return usedSampler;
      default: return usedFloat;
    }
  };
  auto letterOf = [](D3DXREGISTER_SET set) {
    switch (set) {
      case D3DXRS_BOOL: return 'b';
      case D3DXRS_INT4: return 'i';
      case D3DXRS_SAMPLER: return 's';
      default: return 'c';
    }
  };
  std::vector<bool> placed(tops.size(), false);
  // A struct's members move with it.
  auto place = [&](size_t t, uint32_t index) {
    const size_t end = t + 1 < tops.size() ? tops[t + 1] : constants.size();
    for (size_t k = tops[t]; k < end; ++k) constants[k].registerIndex += index;
    placed[t] = true;
  };
  for (size_t t = 0; t < tops.size(); ++t) {
    const ShaderConstant& c = constants[tops[t]];
    auto it = explicitRegs.find(c.name);
    const char wanted = letterOf(c.registerSet);
    if (it == explicitRegs.end() || it->second.set != wanted) continue;
    if (!Reserve(fileOf(c.registerSet), it->second.index, c.registerCount)) {
      *error = "error: constant '" + c.name + "': register(" + wanted + std::to_string(it->second.index) +
               ") overlaps another constant or is out of range";
      return false;
    }
    place(t, it->second.index);
  }
  for (size_t t = 0; t < tops.size(); ++t) {
    if (placed[t]) continue;
    const ShaderConstant& c = constants[tops[t]];
    uint32_t index = 0;
    if (!Allocate(fileOf(c.registerSet), c.registerCount, &index)) {
      const char* kind = c.registerSet == D3DXRS_SAMPLER ? "sampler"
                         : c.registerSet == D3DXRS_BOOL  ? "bool"
                         : c.registerSet == D3DXRS_INT4  ? "int"
                                                         : "constant";
      *error = "error: constant '" + c.name + "': out of " + kind + " registers";
      return false;
    }
    place(t, index);
  }
  *out = std::move(constants);
  return true;
}

}  // namespace ostrevin
