// Which constants a shader's SPIR-V reads.
#include "ShaderCode.h"

#include <map>

namespace ostrevin {

std::set<uint32_t> UsedBlockMembers(const std::vector<uint32_t>& spirv) {
  constexpr uint32_t kOpConstant = 43, kOpVariable = 59, kOpAccessChain = 65, kOpInBoundsAccessChain = 66;
  constexpr uint32_t kStorageUniform = 2;
  constexpr size_t kHeader = 5;
  std::set<uint32_t> blocks;
  std::map<uint32_t, uint32_t> constants;  // id -> value
  std::set<uint32_t> used;
  for (size_t i = kHeader; i < spirv.size();) {
    const uint32_t count = spirv[i] >> 16, op = spirv[i] & 0xFFFF;
    if (count == 0 || i + count > spirv.size()) break;
    if (op == kOpConstant && count == 4) constants[spirv[i + 2]] = spirv[i + 3];
    if (op == kOpVariable && count >= 4 && spirv[i + 3] == kStorageUniform) blocks.insert(spirv[i + 2]);
    if ((op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 5 && blocks.count(spirv[i + 3]) != 0) {
      auto it = constants.find(spirv[i + 4]);
      if (it != constants.end()) used.insert(it->second);
    }
    i += count;
  }
  return used;
}

std::set<uint32_t> ReadVariables(const std::vector<uint32_t>& spirv) {
  constexpr uint32_t kOpLoad = 61, kOpAccessChain = 65, kOpInBoundsAccessChain = 66;
  constexpr size_t kHeader = 5;
  std::set<uint32_t> read;
  for (size_t i = kHeader; i < spirv.size();) {
    const uint32_t count = spirv[i] >> 16, op = spirv[i] & 0xFFFF;
    if (count == 0 || i + count > spirv.size()) break;
    if ((op == kOpLoad || op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 4) read.insert(spirv[i + 3]);
    i += count;
  }
  return read;
}

}  // namespace ostrevin
