// The shader-code container: header, constant records, names, default
// values, SPIR-V.
#include "ShaderCode.h"

#include <algorithm>
#include <cstring>

namespace ostrevin {
namespace {

// Word offsets inside the header.
enum HeaderWord : uint32_t {
  kMagic = 0,
  kVersion,
  kTotalBytes,
  kStage,
  kMajor,
  kMinor,
  kConstantCount,
  kConstantsOffset,  // in words from the start
  kNamesOffset,      // in words
  kNamesBytes,       // bytes of the name area (padded to whole words)
  kDefaultsOffset,   // in words
  kDefaultsWords,
  kSpirvOffset,      // in words
  kSpirvWords,
  kHeaderWords
};

// Words of one constant record.
enum ConstantWord : uint32_t {
  kNameOffset = 0,  // bytes into the name area
  kNameLength,      // without the terminating zero
  kRegisterSet,
  kRegisterIndex,
  kRegisterCount,
  kClass,
  kType,
  kRows,
  kColumns,
  kElements,
  kStructMembers,
  kDefaultOffset,  // words into the default-value area
  kDefaultWords,   // 0: no default value
  kConstantWords
};

// Sizes no real shader comes near; anything above is malformed.
constexpr uint64_t kMaxConstants = 4096;
constexpr uint64_t kMaxNameLength = 1024;
constexpr uint64_t kMaxRegisters = 65536;
// Array elements of all constants together: the constant table gives each
// element a handle of its own.
constexpr uint64_t kMaxElements = 65536;

}  // namespace

std::vector<uint32_t> EncodeShaderCode(const ShaderCode& code) {
  std::string names;
  std::vector<uint32_t> defaults;
  std::vector<uint32_t> records;
  records.reserve(code.constants.size() * kConstantWords);
  for (const ShaderConstant& c : code.constants) {
    const uint32_t offset = static_cast<uint32_t>(names.size());
    names += c.name;
    names.push_back('\0');
    const uint32_t rec[kConstantWords] = {offset,
                                          static_cast<uint32_t>(c.name.size()),
                                          static_cast<uint32_t>(c.registerSet),
                                          c.registerIndex,
                                          c.registerCount,
                                          static_cast<uint32_t>(c.parameterClass),
                                          static_cast<uint32_t>(c.parameterType),
                                          c.rows,
                                          c.columns,
                                          c.elements,
                                          c.structMembers,
                                          static_cast<uint32_t>(defaults.size()),
                                          static_cast<uint32_t>(c.defaultValue.size())};
    defaults.insert(defaults.end(), c.defaultValue.begin(), c.defaultValue.end());
    records.insert(records.end(), rec, rec + kConstantWords);
  }
  while (names.size() % 4 != 0) names.push_back('\0');

  const uint32_t constantsOffset = kHeaderWords;
  const uint32_t namesOffset = constantsOffset + static_cast<uint32_t>(records.size());
  const uint32_t defaultsOffset = namesOffset + static_cast<uint32_t>(names.size() / 4);
  const uint32_t spirvOffset = defaultsOffset + static_cast<uint32_t>(defaults.size());
  const uint32_t totalWords = spirvOffset + static_cast<uint32_t>(code.spirv.size());

  std::vector<uint32_t> out(totalWords, 0);
  out[kMagic] = kShaderCodeMagic;
  out[kVersion] = kShaderCodeVersion;
  out[kTotalBytes] = totalWords * 4;
  out[kStage] = static_cast<uint32_t>(code.stage);
  out[kMajor] = code.majorVersion;
  out[kMinor] = code.minorVersion;
  out[kConstantCount] = static_cast<uint32_t>(code.constants.size());
  out[kConstantsOffset] = constantsOffset;
  out[kNamesOffset] = namesOffset;
  out[kNamesBytes] = static_cast<uint32_t>(names.size());
  out[kDefaultsOffset] = defaultsOffset;
  out[kDefaultsWords] = static_cast<uint32_t>(defaults.size());
  out[kSpirvOffset] = spirvOffset;
  out[kSpirvWords] = static_cast<uint32_t>(code.spirv.size());
  std::copy(records.begin(), records.end(), out.begin() + constantsOffset);
  if (!names.empty()) std::memcpy(&out[namesOffset], names.data(), names.size());
  std::copy(defaults.begin(), defaults.end(), out.begin() + defaultsOffset);
  std::copy(code.spirv.begin(), code.spirv.end(), out.begin() + spirvOffset);
  return out;
}

uint32_t ShaderCodeSize(const DWORD* pFunction) {
  if (pFunction == nullptr || pFunction[kMagic] != kShaderCodeMagic) return 0;
  return pFunction[kTotalBytes];
}

bool DecodeShaderCode(const DWORD* pFunction, size_t maxBytes, ShaderCode* out) {
  if (pFunction == nullptr || out == nullptr) return false;
  if (maxBytes != 0 && maxBytes < kHeaderWords * 4) return false;
  // Without a bound from the caller the header's size field is the bound.
  if (pFunction[kMagic] != kShaderCodeMagic) return false;
  if (pFunction[kVersion] != kShaderCodeVersion) return false;
  const uint64_t totalBytes = pFunction[kTotalBytes];
  if (totalBytes % 4 != 0 || totalBytes < kHeaderWords * 4) return false;
  if (maxBytes != 0 && totalBytes > maxBytes) return false;
  const uint64_t totalWords = totalBytes / 4;
  const DWORD* w = pFunction;

  const uint32_t stage = w[kStage];
  if (stage != static_cast<uint32_t>(ShaderStage::Vertex) && stage != static_cast<uint32_t>(ShaderStage::Pixel)) {
    return false;
  }
  const uint64_t constantCount = w[kConstantCount];
  const uint64_t constantsOffset = w[kConstantsOffset];
  const uint64_t namesOffset = w[kNamesOffset];
  const uint64_t namesBytes = w[kNamesBytes];
  const uint64_t defaultsOffset = w[kDefaultsOffset];
  const uint64_t defaultsWords = w[kDefaultsWords];
  const uint64_t spirvOffset = w[kSpirvOffset];
  const uint64_t spirvWords = w[kSpirvWords];
  if (constantCount > kMaxConstants || namesBytes % 4 != 0) return false;
  if (constantsOffset < kHeaderWords || constantsOffset + constantCount * kConstantWords > namesOffset) return false;
  if (namesOffset + namesBytes / 4 > defaultsOffset) return false;
  if (defaultsOffset + defaultsWords > spirvOffset) return false;
  if (spirvOffset + spirvWords != totalWords) return false;

  ShaderCode code;
  code.stage = static_cast<ShaderStage>(stage);
  code.majorVersion = w[kMajor];
  code.minorVersion = w[kMinor];
  const char* names = reinterpret_cast<const char*>(w + namesOffset);
  code.constants.reserve(constantCount);
  uint64_t elements = 0;
  for (uint64_t i = 0; i < constantCount; ++i) {
    const DWORD* rec = w + constantsOffset + i * kConstantWords;
    const uint64_t nameOffset = rec[kNameOffset];
    const uint64_t nameLength = rec[kNameLength];
    if (nameLength == 0 || nameLength > kMaxNameLength) return false;
    if (nameOffset + nameLength + 1 > namesBytes || names[nameOffset + nameLength] != '\0') return false;
    if (std::memchr(names + nameOffset, '\0', nameLength) != nullptr) return false;
    ShaderConstant c;
    c.name.assign(names + nameOffset, nameLength);
    const uint32_t set = rec[kRegisterSet];
    const uint32_t cls = rec[kClass];
    const uint32_t type = rec[kType];
    if (set > D3DXRS_SAMPLER || cls > D3DXPC_STRUCT || type > D3DXPT_SAMPLERCUBE) return false;
    c.registerSet = static_cast<D3DXREGISTER_SET>(set);
    c.parameterClass = static_cast<D3DXPARAMETER_CLASS>(cls);
    c.parameterType = static_cast<D3DXPARAMETER_TYPE>(type);
    c.registerIndex = rec[kRegisterIndex];
    c.registerCount = rec[kRegisterCount];
    c.rows = rec[kRows];
    c.columns = rec[kColumns];
    c.elements = rec[kElements];
    c.structMembers = rec[kStructMembers];
    if (uint64_t(c.registerIndex) + c.registerCount > kMaxRegisters) return false;
    if (c.structMembers > kMaxConstants || (c.structMembers != 0) != (c.parameterClass == D3DXPC_STRUCT)) return false;
    if (c.parameterClass == D3DXPC_STRUCT ? c.rows != 1 || c.columns < 1 || c.columns > kMaxRegisters * 4
                                           : c.rows < 1 || c.rows > 4 || c.columns < 1 || c.columns > 4)
      return false;
    if (c.elements < 1 || c.elements > kMaxRegisters) return false;
    elements += c.elements;
    if (elements > kMaxElements + constantCount) return false;
    const uint64_t defaultOffset = rec[kDefaultOffset];
    const uint64_t defaultWords = rec[kDefaultWords];
    if (defaultWords != 0) {
      const uint64_t registerWords = c.registerSet == D3DXRS_BOOL ? 1 : 4;
      if (c.registerSet == D3DXRS_SAMPLER || defaultWords != c.registerCount * registerWords ||
          defaultOffset + defaultWords > defaultsWords) {
        return false;
      }
      const DWORD* data = w + defaultsOffset + defaultOffset;
      c.defaultValue.assign(data, data + defaultWords);
    }
    code.constants.push_back(std::move(c));
  }
  code.spirv.assign(w + spirvOffset, w + spirvOffset + spirvWords);
  *out = std::move(code);
  return true;
}

int VertexAttributeLocation(BYTE usage, BYTE usageIndex) {
  switch (usage) {
    case D3DDECLUSAGE_POSITION:
      return usageIndex == 0 ? 0 : -1;
    case D3DDECLUSAGE_NORMAL:
      return usageIndex <= 2 ? 1 + usageIndex : -1;
    case D3DDECLUSAGE_TEXCOORD:
      return usageIndex <= 7 ? 4 + usageIndex : -1;
    case D3DDECLUSAGE_COLOR:
      return usageIndex <= 1 ? 12 + usageIndex : -1;
    case D3DDECLUSAGE_TANGENT:
      return usageIndex == 0 ? 14 : -1;
    case D3DDECLUSAGE_BINORMAL:
      return usageIndex == 0 ? 15 : -1;
    default:
      return -1;
  }
}

}  // namespace ostrevin
