// Edits of glslang's SPIR-V made before SPIRV-Cross reads it.
#include "SpirvEdits.h"

#include <algorithm>
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


std::vector<uint32_t> MakePrivate(std::vector<uint32_t> words, const std::set<uint32_t>& ids) {
  constexpr uint32_t kOpEntryPoint = 15, kOpTypePointer = 32, kOpVariable = 59, kOpAccessChain = 65,
                     kOpInBoundsAccessChain = 66;
  constexpr uint32_t kStoragePrivate = 6;
  constexpr size_t kHeader = 5;
  if (ids.empty() || words.size() < kHeader) return words;
  // The variables and the pointers into them take the Private twin of
  // their pointer type (SPIR-V defines a value before it uses it, so one
  // pass finds them all); the entry point is found for its interface.
  std::set<uint32_t> rooted(ids.begin(), ids.end());
  std::map<uint32_t, uint32_t> privateOf;  // pointer type -> its Private twin (a new id)
  size_t entryPoint = 0;
  std::vector<size_t> retyped;  // the instructions whose result type changes
  for (size_t i = kHeader; i < words.size();) {
    const uint32_t count = words[i] >> 16, op = words[i] & 0xFFFF;
    if (count == 0 || i + count > words.size()) return words;  // malformed: SPIRV-Cross will say so
    if (op == kOpEntryPoint && entryPoint == 0) entryPoint = i;
    const bool variable = op == kOpVariable && count >= 4 && ids.count(words[i + 2]) != 0;
    const bool chain = (op == kOpAccessChain || op == kOpInBoundsAccessChain) && count >= 4 &&
                       rooted.count(words[i + 3]) != 0;
    if (variable || chain) {
      if (chain) rooted.insert(words[i + 2]);
      privateOf.emplace(words[i + 1], 0);
      retyped.push_back(i);
    }
    i += count;
  }
  uint32_t bound = words[3];
  for (auto& entry : privateOf) entry.second = bound++;
  words[3] = bound;
  for (size_t i : retyped) {
    words[i + 1] = privateOf[words[i + 1]];
    if ((words[i] & 0xFFFF) == kOpVariable) words[i + 3] = kStoragePrivate;
  }
  // Each twin right after its pointer type (SPIR-V allows pointer types
  // with the same operands): from the back, so that offsets hold.
  std::vector<size_t> pointers;
  for (size_t i = kHeader; i < words.size(); i += words[i] >> 16) {
    if ((words[i] & 0xFFFF) == kOpTypePointer && (words[i] >> 16) == 4 && privateOf.count(words[i + 1]) != 0)
      pointers.push_back(i);
  }
  for (size_t k = pointers.size(); k-- > 0;) {
    const size_t i = pointers[k];
    const uint32_t twin[] = {(4u << 16) | kOpTypePointer, privateOf[words[i + 1]], kStoragePrivate, words[i + 3]};
    words.insert(words.begin() + static_cast<std::ptrdiff_t>(i + 4), std::begin(twin), std::end(twin));
  }
  // The entry point (before every type): execution model, function, name
  // (a string of whole words), interface; the variables leave the interface.
  if (entryPoint != 0) {
    const size_t end = entryPoint + (words[entryPoint] >> 16);
    size_t k = entryPoint + 3;
    while (k < end && (words[k] >> 24) != 0 && ((words[k] >> 16) & 0xFF) != 0 && ((words[k] >> 8) & 0xFF) != 0 &&
           (words[k] & 0xFF) != 0)
      ++k;
    const auto first = words.begin() + static_cast<std::ptrdiff_t>(std::min(k + 1, end));
    const auto last = std::remove_if(first, words.begin() + static_cast<std::ptrdiff_t>(end),
                                     [&](uint32_t id) { return ids.count(id) != 0; });
    const size_t removed = static_cast<size_t>(words.begin() + static_cast<std::ptrdiff_t>(end) - last);
    words.erase(last, words.begin() + static_cast<std::ptrdiff_t>(end));
    words[entryPoint] = static_cast<uint32_t>((((words[entryPoint] >> 16) - removed) << 16) | kOpEntryPoint);
  }
  return words;
}

}  // namespace ostrevin
