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

namespace {
enum Op : uint32_t {
  kOpLine = 8, kOpFunctionEnd = 56, kOpConstant = 43, kOpConstantComposite = 44, kOpConstantNull = 46,
  kOpVariable = 59, kOpLoad = 61, kOpStore = 62, kOpAccessChain = 65, kOpInBoundsAccessChain = 66,
  kOpCompositeExtract = 81, kOpLogicalNot = 168, kOpIEqual = 170, kOpINotEqual = 171, kOpSLessThanEqual = 179,
  kOpLoopMerge = 246, kOpSelectionMerge = 247, kOpLabel = 248, kOpBranch = 249, kOpBranchConditional = 250,
  kOpSwitch = 251, kOpKill = 252, kOpReturn = 253, kOpReturnValue = 254, kOpNoLine = 317,
};

// The first operand word that can name a value another instruction made.
uint32_t FirstValueOperand(uint32_t op) {
  switch (op) {
    case kOpStore: case kOpReturnValue: case kOpSwitch: return 1;
    case kOpLine: case kOpNoLine: case kOpFunctionEnd: case kOpLoopMerge: case kOpSelectionMerge: case kOpLabel:
    case kOpBranch: case kOpKill: case kOpReturn: return ~0u;
    default: return 3;
  }
}
}  // namespace

std::map<uint32_t, BlockMemberUse> BlockMemberUses(const std::vector<uint32_t>& spirv) {
  constexpr uint32_t kStorageUniform = 2;
  constexpr size_t kHeader = 5;
  std::map<uint32_t, uint32_t> constants;  // id -> value
  std::set<uint32_t> zeros, blocks, loopConditions;
  // Values made from a member (id -> member index): pointers into it, its
  // reads, a bool read compared with zero, an int read compared in a test.
  std::map<uint32_t, uint32_t> chains, reads, bools, tests;
  std::map<uint32_t, BlockMemberUse> uses;
  bool afterLoopMerge = false, inLoopCondition = false;
  for (size_t i = kHeader; i < spirv.size();) {
    const uint32_t count = spirv[i] >> 16, op = spirv[i] & 0xFFFF;
    if (count == 0 || i + count > spirv.size()) break;
    const uint32_t* w = &spirv[i];
    i += count;
    auto in = [](const std::map<uint32_t, uint32_t>& m, uint32_t id, uint32_t* member) {
      auto it = m.find(id);
      if (it == m.end()) return false;
      *member = it->second;
      return true;
    };
    uint32_t m = 0;
    const bool wasAfterMerge = afterLoopMerge;
    afterLoopMerge = false;
    if (op == kOpConstant && count == 4) {
      constants[w[2]] = w[3];
      if (w[3] == 0) zeros.insert(w[2]);
      continue;
    }
    if (op == kOpConstantNull && count == 3) {
      zeros.insert(w[2]);
      continue;
    }
    if (op == kOpConstantComposite) {
      bool zero = count > 3;
      for (uint32_t k = 3; k < count; ++k) zero = zero && zeros.count(w[k]) != 0;
      if (zero) zeros.insert(w[2]);
      continue;
    }
    if (op == kOpVariable && count >= 4 && w[3] == kStorageUniform) {
      blocks.insert(w[2]);
      continue;
    }
    if ((op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 5) {
      auto c = constants.find(w[4]);
      if (blocks.count(w[3]) != 0 && c != constants.end()) {
        chains[w[2]] = c->second;
        uses[c->second];
        continue;
      }
      if (in(chains, w[3], &m)) {
        chains[w[2]] = m;
        for (uint32_t k = 4; k < count; ++k) {
          if (in(reads, w[k], &m) || in(chains, w[k], &m)) uses[m] = {false, false, false};
        }
        continue;
      }
    }
    if (op == kOpLoad && count >= 4 && in(chains, w[3], &m)) {
      reads[w[2]] = m;
      continue;
    }
    if (op == kOpLabel) {
      inLoopCondition = loopConditions.count(w[1]) != 0;
      continue;
    }
    if (op == kOpLoopMerge) {
      afterLoopMerge = true;
      continue;
    }
    if (op == kOpBranch && wasAfterMerge) {
      loopConditions.insert(w[1]);
      continue;
    }
    if (op == kOpBranchConditional && count >= 4) {
      if (in(tests, w[1], &m) && !(inLoopCondition || wasAfterMerge)) uses[m].loopCountOnly = false;
      if (in(reads, w[1], &m)) uses[m] = {false, false, false};
      continue;
    }
    if (op == kOpINotEqual && count == 5) {
      const bool zeroB = zeros.count(w[4]) != 0, zeroA = zeros.count(w[3]) != 0;
      if ((zeroB && in(reads, w[3], &m)) || (zeroA && in(reads, w[4], &m))) {
        bools[w[2]] = m;
        uses[m].loopCountOnly = false;
        continue;
      }
    }
    if (op >= kOpIEqual && op <= kOpSLessThanEqual && count == 5) {
      bool any = false;
      for (uint32_t k = 3; k < 5; ++k) {
        if (in(reads, w[k], &m)) {
          tests[w[2]] = m;
          uses[m].boolean = uses[m].branchOnly = false;
          any = true;
        } else if (in(bools, w[k], &m)) {
          uses[m].branchOnly = false;
        }
      }
      if (any) continue;
    }
    if ((op == kOpCompositeExtract || op == kOpLogicalNot) && count >= 4) {
      if (in(bools, w[3], &m)) {
        bools[w[2]] = m;
        continue;
      }
      if (op == kOpCompositeExtract && in(reads, w[3], &m)) {
        reads[w[2]] = m;
        continue;
      }
    }
    // Any other use of a value made from a member.
    for (uint32_t k = FirstValueOperand(op); k < count; ++k) {
      if (in(reads, w[k], &m) || in(chains, w[k], &m)) uses[m] = {false, false, false};
      if (in(bools, w[k], &m)) uses[m].branchOnly = false;
      if (in(tests, w[k], &m)) uses[m].loopCountOnly = false;
    }
  }
  return uses;
}

}  // namespace ostrevin
