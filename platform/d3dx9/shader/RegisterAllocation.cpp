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

}  // namespace

bool BuildConstants(const std::vector<uint32_t>& spirv, ShaderStage stage,
                    const std::map<std::string, ExplicitRegister>& explicitRegs, std::vector<ShaderConstant>* out,
                    std::string* error) {
  spirv_cross::Compiler reflect(spirv.data(), spirv.size());
  const spirv_cross::ShaderResources res = reflect.get_shader_resources();
  std::vector<ShaderConstant> constants;
  // As D3DX: a constant the code never reads has no register and is not in
  // the table, whatever its type or annotation.
  const std::set<uint32_t> read = UsedBlockMembers(spirv);

  for (const spirv_cross::Resource& r : res.uniform_buffers) {
    const spirv_cross::SPIRType& block = reflect.get_type(r.base_type_id);
    for (uint32_t i = 0; i < block.member_types.size(); ++i) {
      if (read.count(i) == 0) continue;
      ShaderConstant c;
      c.name = reflect.get_member_name(r.base_type_id, i);
      const spirv_cross::SPIRType& type = reflect.get_type(block.member_types[i]);
      if (type.basetype == spirv_cross::SPIRType::Struct) {
        *error = "error: constant '" + c.name + "': struct constants are not supported";
        return false;
      }
      switch (type.basetype) {
        case spirv_cross::SPIRType::Float: c.parameterType = D3DXPT_FLOAT; break;
        case spirv_cross::SPIRType::Int:
        case spirv_cross::SPIRType::UInt: c.parameterType = D3DXPT_INT; break;
        case spirv_cross::SPIRType::Boolean: c.parameterType = D3DXPT_BOOL; break;
        default:
          *error = "error: constant '" + c.name + "' has an unsupported type";
          return false;
      }
      uint64_t elements = 1;
      for (uint32_t dim : type.array) elements *= dim;
      if (elements == 0 || elements > 4096) {
        *error = "error: constant '" + c.name + "' has an unsupported array size";
        return false;
      }
      c.elements = static_cast<uint32_t>(elements);
      uint32_t perElement = 1;
      if (type.columns > 1) {
        // HLSL rows are SPIR-V columns; RowMajor marks HLSL column_major.
        c.rows = type.columns;
        c.columns = type.vecsize;
        const bool columnMajor = reflect.has_member_decoration(r.base_type_id, i, spv::DecorationRowMajor);
        c.parameterClass = columnMajor ? D3DXPC_MATRIX_COLUMNS : D3DXPC_MATRIX_ROWS;
        perElement = columnMajor ? c.columns : c.rows;
      } else {
        c.rows = 1;
        c.columns = type.vecsize;
        c.parameterClass = type.vecsize == 1 ? D3DXPC_SCALAR : D3DXPC_VECTOR;
      }
      c.registerSet = D3DXRS_FLOAT4;
      c.registerCount = perElement * c.elements;
      constants.push_back(std::move(c));
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
    constants.push_back(std::move(c));
  }

  const uint32_t floatRegisters = stage == ShaderStage::Vertex ? 256 : 224;
  std::vector<bool> usedFloat(floatRegisters, false), usedSampler(16, false);
  std::vector<bool> placed(constants.size(), false);
  for (size_t i = 0; i < constants.size(); ++i) {
    ShaderConstant& c = constants[i];
    auto it = explicitRegs.find(c.name);
    const char wanted = c.registerSet == D3DXRS_SAMPLER ? 's' : 'c';
    if (it == explicitRegs.end() || it->second.set != wanted) continue;
    std::vector<bool>& used = c.registerSet == D3DXRS_SAMPLER ? usedSampler : usedFloat;
    if (!Reserve(used, it->second.index, c.registerCount)) {
      *error = "error: constant '" + c.name + "': register(" + wanted + std::to_string(it->second.index) +
               ") overlaps another constant or is out of range";
      return false;
    }
    c.registerIndex = it->second.index;
    placed[i] = true;
  }
  for (size_t i = 0; i < constants.size(); ++i) {
    if (placed[i]) continue;
    ShaderConstant& c = constants[i];
    std::vector<bool>& used = c.registerSet == D3DXRS_SAMPLER ? usedSampler : usedFloat;
    if (!Allocate(used, c.registerCount, &c.registerIndex)) {
      *error = "error: constant '" + c.name + "': out of " +
               (c.registerSet == D3DXRS_SAMPLER ? "sampler" : "constant") + " registers";
      return false;
    }
  }
  *out = std::move(constants);
  return true;
}

}  // namespace ostrevin
