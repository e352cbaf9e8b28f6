// Edits of glslang's SPIR-V made before SPIRV-Cross reads it.
#include "SpirvEdits.h"

#include <iterator>
#include <map>
#include <string>
#include <utility>

namespace ostrevin {

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


std::vector<uint32_t> MakePrivate(const std::vector<uint32_t>& in, const std::set<uint32_t>& ids) {
  constexpr uint32_t kOpEntryPoint = 15, kOpTypePointer = 32, kOpVariable = 59, kOpAccessChain = 65,
                     kOpInBoundsAccessChain = 66;
  constexpr uint32_t kStoragePrivate = 6;
  constexpr size_t kHeader = 5;
  if (ids.empty() || in.size() < kHeader) return in;
  // The pointer types of the variables and of the pointers into them
  // (SPIR-V defines a value before it uses it, so one pass finds them all).
  std::set<uint32_t> rooted(ids.begin(), ids.end());
  std::map<uint32_t, uint32_t> privateOf;  // pointer type -> its Private twin (a new id)
  for (size_t i = kHeader; i < in.size();) {
    const uint32_t count = in[i] >> 16, op = in[i] & 0xFFFF;
    if (count == 0 || i + count > in.size()) return in;  // malformed: SPIRV-Cross will say so
    if (op == kOpVariable && count >= 4 && ids.count(in[i + 2]) != 0) privateOf[in[i + 1]] = 0;
    if ((op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 4 && rooted.count(in[i + 3]) != 0) {
      rooted.insert(in[i + 2]);
      privateOf[in[i + 1]] = 0;
    }
    i += count;
  }
  // A twin is declared right after its pointer type (SPIR-V allows pointer
  // types with the same operands).
  uint32_t bound = in[3];
  for (auto& entry : privateOf) entry.second = bound++;
  std::vector<uint32_t> out(in.begin(), in.begin() + kHeader);
  out.reserve(in.size() + 4 * privateOf.size());
  for (size_t i = kHeader; i < in.size();) {
    const uint32_t count = in[i] >> 16, op = in[i] & 0xFFFF;
    const size_t start = out.size();
    out.insert(out.end(), &in[i], &in[i] + count);
    if (op == kOpEntryPoint && count >= 3) {
      // Execution model, function, name (a string of whole words), interface.
      size_t k = start + 3;
      while (k < out.size() && (out[k] >> 24) != 0 && ((out[k] >> 16) & 0xFF) != 0 && ((out[k] >> 8) & 0xFF) != 0 &&
             (out[k] & 0xFF) != 0)
        ++k;
      for (++k; k < out.size();) {
        if (ids.count(out[k]) != 0) out.erase(out.begin() + static_cast<std::ptrdiff_t>(k));
        else ++k;
      }
      out[start] = static_cast<uint32_t>(((out.size() - start) << 16) | kOpEntryPoint);
    } else if (op == kOpVariable && count >= 4 && ids.count(in[i + 2]) != 0) {
      out[start + 1] = privateOf[in[i + 1]];
      out[start + 3] = kStoragePrivate;
    } else if ((op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 4 && rooted.count(in[i + 2]) != 0) {
      out[start + 1] = privateOf[in[i + 1]];
    } else if (op == kOpTypePointer && count == 4) {
      auto twin = privateOf.find(in[i + 1]);
      if (twin != privateOf.end()) {
        const uint32_t pointer[] = {(4u << 16) | kOpTypePointer, twin->second, kStoragePrivate, in[i + 3]};
        out.insert(out.end(), std::begin(pointer), std::end(pointer));
      }
    }
    i += count;
  }
  out[3] = bound;
  return out;
}

}  // namespace ostrevin
