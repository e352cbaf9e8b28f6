// The rewrites for glslang, as edits the source model calls for.
#include "shader/SourceRewrite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>

namespace ostrevin {
namespace {

// More initialiser items than any shader has: such lists are left alone.
constexpr unsigned long kMaxElements = 65536;

std::string Blank(const std::string& text, size_t begin, size_t end) {
  std::string out = text.substr(begin, end - begin);
  for (char& ch : out) {
    if (ch != '\n') ch = ' ';
  }
  return out;
}

// Whether the global declares float constants of the table: not static,
// a float scalar, vector or matrix type. HLSL's globals are const by
// default, so D3DX lists these as it lists any global; glslang would fold
// them into the code instead. Int and bool ones keep their `const`: their
// values may size arrays and bound loops.
bool ConstFloatGlobal(const SourceModel& model, const HlslGlobal& g) {
  if (!g.isConst || g.isStatic || g.inCbuffer) return false;
  const std::vector<HlslToken>& tokens = model.tokens;
  const std::string& type = tokens[g.type].text;
  if (type == "matrix" || type == "vector") {
    if (g.type + 2 >= g.typeEnd || tokens[g.type + 1].text != "<") return true;  // float4x4, float4
    const std::string& base = tokens[g.type + 2].text;
    return base == "float" || base == "half" || base == "double";
  }
  if (TypeComponents(type) == 0) return false;
  for (const char* real : {"float", "half", "double", "min16float", "min10float"}) {
    if (type.compare(0, std::strlen(real), real) == 0) return true;
  }
  return false;
}

// `{ a, b, c, d }` whose items are all scalars: braces around each
// element, and around each array level.
void BraceFlatInitialiser(const std::vector<HlslToken>& tokens, const FlatInitialiser& f,
                          std::vector<SourceEdit>* edits) {
  // Item boundaries: token indices of each item's first and last token.
  std::vector<std::pair<size_t, size_t>> items;
  size_t first = f.open + 1;
  for (size_t t = f.open + 1; t < f.close; ++t) {
    const std::string& s = tokens[t].text;
    if (s == "{") return;  // braced already, at least in part: left alone
    if (s == "(" || s == "[") {
      t = MatchingBracket(tokens, t);
      if (t >= f.close) return;
      continue;
    }
    if (s == ",") {
      if (t > first) items.push_back({first, t - 1});
      first = t + 1;
    }
  }
  if (f.close > first) items.push_back({first, f.close - 1});
  // Levels, innermost first: the element's components, then each dimension.
  std::vector<unsigned> levels;
  if (f.components > 1) levels.push_back(f.components);
  for (size_t d = f.dims.size(); d-- > 1;) levels.push_back(f.dims[d]);  // the outermost is the list itself
  uint64_t total = f.dims.front();
  for (unsigned n : levels) total *= n;
  if (levels.empty() || total > kMaxElements || items.size() != total) return;
  std::vector<std::string> before(items.size()), after(items.size());
  unsigned span = 1;
  for (unsigned n : levels) {
    span *= n;
    for (size_t k = 0; k < items.size(); k += span) {
      before[k] += "{";
      after[k + span - 1] += "}";
    }
  }
  for (size_t k = 0; k < items.size(); ++k) {
    const HlslToken& a = tokens[items[k].first];
    const HlslToken& b = tokens[items[k].second];
    edits->push_back({a.begin, a.begin, before[k]});
    edits->push_back({b.end, b.end, after[k]});
  }
}

}  // namespace

std::vector<SourceEdit> RewritesForGlslang(const SourceModel& model, const std::string& text) {
  const std::vector<HlslToken>& tokens = model.tokens;
  std::vector<SourceEdit> edits;
  auto blank = [&](const TokenRange& r) {
    const size_t begin = tokens[r.first].begin, end = tokens[r.last].end;
    edits.push_back({begin, end, Blank(text, begin, end)});
  };
  size_t statement = tokens.size();  // of the last global whose const was dropped
  for (const HlslGlobal& g : model.globals) {
    if (g.statement == statement || !ConstFloatGlobal(model, g)) continue;
    statement = g.statement;
    for (size_t t = g.statement; t < g.type; ++t) {
      if (tokens[t].text == "const") blank({t, t});
    }
  }
  for (const auto& [at, type] : model.untypedSamplers) {
    if (!type.empty()) edits.push_back({tokens[at].begin, tokens[at].end, type});
  }
  for (const TokenRange& r : model.samplerStates) blank(r);
  for (const TokenRange& r : model.techniques) blank(r);
  for (const TokenRange& r : model.textureObjects) blank(r);
  for (const ConstructorTarget& c : model.constructorTargets) {
    const std::string tmp = "ostrevin_target";
    edits.push_back({tokens[c.type].begin, tokens[c.close + 1].end, "{ " + tokens[c.type].text + " " + tmp + " ="});
    std::string assign = ";";
    unsigned offset = 0;
    for (const auto& name : c.names) {
      assign += " " + name.first + " = " + tmp + "." + std::string("xyzw").substr(offset, name.second) + ";";
      offset += name.second;
    }
    edits.push_back({tokens[c.semicolon].begin, tokens[c.semicolon].end, assign + " }"});
  }
  for (const FlatInitialiser& f : model.flatInitialisers) BraceFlatInitialiser(tokens, f, &edits);
  return edits;
}

std::string ApplyEdits(const std::string& text, std::vector<SourceEdit> edits) {
  if (edits.empty()) return text;
  std::string out;
  out.reserve(text.size() + edits.size() * 2);
  size_t at = 0;
  // In text order; insertions at one place keep their order.
  std::stable_sort(edits.begin(), edits.end(), [](const SourceEdit& a, const SourceEdit& b) { return a.begin < b.begin; });
  for (const SourceEdit& e : edits) {
    if (e.begin < at) continue;
    out.append(text, at, e.begin - at);
    out += e.text;
    at = e.end;
  }
  out.append(text, at, std::string::npos);
  return out;
}

}  // namespace ostrevin
