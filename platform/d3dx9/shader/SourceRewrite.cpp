// Source rewrites ahead of glslang's HLSL parse.
#include "shader/SourceRewrite.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

namespace ostrevin {

std::vector<HlslToken> TokenizeHlsl(const std::string& text) {
  std::vector<HlslToken> tokens;
  bool lineStart = true;
  auto ident = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; };
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '\n') {
      lineStart = true;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(ch))) {
      ++i;
      continue;
    }
    if (lineStart && ch == '#') {  // a directive, continued lines included
      while (i < text.size() && text[i] != '\n') {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        ++i;
      }
      continue;
    }
    lineStart = false;
    if (ch == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (ch == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const size_t end = text.find("*/", i + 2);
      i = end == std::string::npos ? text.size() : end + 2;
      continue;
    }
    size_t j = i + 1;
    if (ch == '"') {
      while (j < text.size() && text[j] != '"' && text[j] != '\n') j += text[j] == '\\' ? 2 : 1;
      j = std::min(j + 1, text.size());
    } else if (ident(ch) || (ch == '.' && j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))) {
      // Names and numbers (with their exponent signs: 1e-3).
      while (j < text.size() && (ident(text[j]) || text[j] == '.' ||
                                 ((text[j] == '-' || text[j] == '+') && std::isdigit(static_cast<unsigned char>(ch)) &&
                                  (text[j - 1] == 'e' || text[j - 1] == 'E')))) {
        ++j;
      }
    }
    tokens.push_back({i, j, text.substr(i, j - i)});
    i = j;
  }
  return tokens;
}

namespace {

bool IsName(const std::string& t) {
  return !t.empty() && (std::isalpha(static_cast<unsigned char>(t[0])) || t[0] == '_');
}

// The index of the token closing the bracket at `open`; tokens.size() when
// unbalanced.
size_t Matching(const std::vector<HlslToken>& tokens, size_t open) {
  int depth = 0;
  for (size_t t = open; t < tokens.size(); ++t) {
    const char c = tokens[t].text[0];
    if (tokens[t].text.size() != 1) continue;
    if (c == '(' || c == '[' || c == '{') ++depth;
    if ((c == ')' || c == ']' || c == '}') && --depth == 0) return t;
  }
  return tokens.size();
}

// Components of one element of a scalar, vector or matrix type name
// (float3 -> 3, half2x2 -> 4); 0 for anything else.
unsigned Components(const std::string& type) {
  static const char* const kScalars[] = {"float", "half", "double", "int", "uint", "bool", "min16float",
                                         "min10float", "min16int"};
  for (const char* scalar : kScalars) {
    const std::string s = scalar;
    if (type.compare(0, s.size(), s) != 0) continue;
    const std::string rest = type.substr(s.size());
    if (rest.empty()) return 1;
    if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') return static_cast<unsigned>(rest[0] - '0');
    if (rest.size() == 3 && rest[0] >= '1' && rest[0] <= '4' && rest[1] == 'x' && rest[2] >= '1' && rest[2] <= '4') {
      return static_cast<unsigned>((rest[0] - '0') * (rest[2] - '0'));
    }
  }
  return 0;
}

// Whether the `const` at `at` declares float globals that are constants of
// the table: no `static` in the statement, a float scalar, vector or matrix
// type. HLSL's globals are const by default, so D3DX lists these as it
// lists any global; glslang would fold them into the code instead. Int and
// bool ones keep their `const`: their values may size arrays and bound
// loops.
bool ConstFloatGlobal(const std::vector<HlslToken>& tokens, size_t statement, size_t at) {
  static const std::set<std::string> kModifiers = {"const",  "uniform",   "extern",       "shared",
                                                   "volatile", "row_major", "column_major", "precise"};
  size_t t = statement;
  while (t < tokens.size() && (kModifiers.count(tokens[t].text) != 0 || tokens[t].text == "static")) {
    if (tokens[t].text == "static") return false;
    ++t;
  }
  if (t <= at || t >= tokens.size()) return false;
  const std::string& type = tokens[t].text;
  if (type == "matrix" || type == "vector") {
    if (t + 2 >= tokens.size() || tokens[t + 1].text != "<") return true;  // float4x4, float4
    const std::string& base = tokens[t + 2].text;
    return base == "float" || base == "half" || base == "double";
  }
  if (Components(type) == 0) return false;
  for (const char* real : {"float", "half", "double", "min16float", "min10float"}) {
    if (type.compare(0, std::strlen(real), real) == 0) return true;
  }
  return false;
}

// More initialiser items than any shader has: such lists are left alone.
constexpr unsigned long kMaxElements = 65536;

struct Edit {
  size_t begin, end;  // bytes of the original text replaced
  std::string text;
};

std::string Blank(const std::string& text, size_t begin, size_t end) {
  std::string out = text.substr(begin, end - begin);
  for (char& ch : out) {
    if (ch != '\n') ch = ' ';
  }
  return out;
}

// `{ a, b, c, d }` of a `type name[n]...` declaration whose items are all
// scalars: braces around each element, and around each array level.
void BraceFlatInitialiser(const std::vector<HlslToken>& tokens, size_t open, size_t close, unsigned components,
                          const std::vector<unsigned>& dims, std::vector<Edit>* edits) {
  // Item boundaries: token indices of each item's first and last token.
  std::vector<std::pair<size_t, size_t>> items;
  size_t first = open + 1;
  for (size_t t = open + 1; t < close; ++t) {
    const std::string& s = tokens[t].text;
    if (s == "{") return;  // braced already, at least in part: left alone
    if (s == "(" || s == "[") {
      t = Matching(tokens, t);
      if (t >= close) return;
      continue;
    }
    if (s == ",") {
      if (t > first) items.push_back({first, t - 1});
      first = t + 1;
    }
  }
  if (close > first) items.push_back({first, close - 1});
  // Levels, innermost first: the element's components, then each dimension.
  std::vector<unsigned> levels;
  if (components > 1) levels.push_back(components);
  for (size_t d = dims.size(); d-- > 1;) levels.push_back(dims[d]);  // the outermost is the list itself
  uint64_t total = dims.front();
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


// The components of the variable `name` as declared before token `at`: the
// nearest `type name` or `type a, b, name` (without initialisers); 0 when
// not found.
unsigned DeclaredComponents(const std::vector<HlslToken>& tokens, size_t at, const std::string& name) {
  for (size_t k = at; k-- > 1;) {
    if (tokens[k].text != name) continue;
    size_t j = k - 1;
    while (j >= 2 && tokens[j].text == "," && IsName(tokens[j - 1].text) && Components(tokens[j - 1].text) == 0) {
      j -= 2;
    }
    const unsigned n = Components(tokens[j].text);
    if (n > 0) return n;
  }
  return 0;
}

// `float4(a, b) = expr;` (a constructor as the target, which D3DX takes):
// `{ float4 tmp = expr; a = tmp.xy; b = tmp.zw; }` when the names' declared
// sizes add up to the constructor's. False when it is not such a statement.
bool ConstructorAssignment(const std::vector<HlslToken>& tokens, size_t t, std::vector<Edit>* edits,
                           size_t* statementEnd) {
  const unsigned components = Components(tokens[t].text);
  if (components < 2 || components > 4 || t == 0 || t + 1 >= tokens.size() || tokens[t + 1].text != "(") return false;
  const std::string& before = tokens[t - 1].text;
  if (before != ";" && before != "{" && before != "}") return false;
  const size_t close = Matching(tokens, t + 1);
  if (close + 1 >= tokens.size() || tokens[close + 1].text != "=") return false;
  std::vector<std::pair<std::string, unsigned>> targets;
  unsigned total = 0;
  for (size_t k = t + 2; k < close; k += 2) {
    if (!IsName(tokens[k].text) || (k + 1 < close && tokens[k + 1].text != ",")) return false;
    const unsigned n = DeclaredComponents(tokens, t, tokens[k].text);
    if (n == 0) return false;
    targets.emplace_back(tokens[k].text, n);
    total += n;
  }
  if (targets.empty() || total != components) return false;
  size_t semi = close + 2;
  while (semi < tokens.size() && tokens[semi].text != ";") {
    const std::string& x = tokens[semi].text;
    if (x == "{" || x == "}") return false;
    if (x == "(" || x == "[") semi = Matching(tokens, semi);
    if (semi < tokens.size()) ++semi;
  }
  if (semi >= tokens.size()) return false;
  const std::string tmp = "ostrevin_target";
  edits->push_back({tokens[t].begin, tokens[close + 1].end, "{ " + tokens[t].text + " " + tmp + " ="});
  std::string assign = ";";
  unsigned offset = 0;
  for (const auto& target : targets) {
    assign += " " + target.first + " = " + tmp + "." + std::string("xyzw").substr(offset, target.second) + ";";
    offset += target.second;
  }
  edits->push_back({tokens[semi].begin, tokens[semi].end, assign + " }"});
  *statementEnd = semi;
  return true;
}
}  // namespace

std::map<std::string, std::string> UntypedSamplerTypes(const std::string& preprocessed) {
  const std::vector<HlslToken> tokens = TokenizeHlsl(preprocessed);
  std::set<std::string> untyped;
  for (size_t t = 0; t + 1 < tokens.size(); ++t) {
    if (tokens[t].text == "sampler" && IsName(tokens[t + 1].text)) untyped.insert(tokens[t + 1].text);
  }
  std::map<std::string, std::string> types;
  for (size_t t = 0; t + 2 < tokens.size(); ++t) {
    const std::string& call = tokens[t].text;
    if (call.compare(0, 3, "tex") != 0 || tokens[t + 1].text != "(") continue;
    const std::string& name = tokens[t + 2].text;
    if (untyped.count(name) == 0 || types.count(name) != 0) continue;
    if (call.compare(0, 5, "tex1D") == 0) types[name] = "sampler1D";
    else if (call.compare(0, 5, "tex2D") == 0) types[name] = "sampler2D";
    else if (call.compare(0, 5, "tex3D") == 0) types[name] = "sampler3D";
    else if (call.compare(0, 7, "texCUBE") == 0) types[name] = "samplerCUBE";
  }
  return types;
}

std::string RewriteForGlslang(const std::string& text, const std::map<std::string, std::string>& samplerTypes) {
  const std::vector<HlslToken> tokens = TokenizeHlsl(text);
  std::vector<Edit> edits;
  static const std::set<std::string> kTextureTypes = {"texture",   "Texture",   "texture1D", "texture2D",
                                                      "texture3D", "textureCUBE", "TEXTURE"};
  int depth = 0;   // braces
  int parens = 0;  // parentheses at file scope (parameter lists)
  size_t statement = 0;  // the first token of the file-scope statement at t
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::string& s = tokens[t].text;
    if (s == "{") ++depth;
    if (s == "}" && depth > 0) --depth;
    if (depth == 0 && s == "(") ++parens;
    if (depth == 0 && s == ")" && parens > 0) --parens;
    if (depth == 0 && (s == ";" || s == "}" || s == "{")) statement = t + 1;

    if (s == "const" && depth == 0 && parens == 0 && ConstFloatGlobal(tokens, statement, t)) {
      edits.push_back({tokens[t].begin, tokens[t].end, Blank(text, tokens[t].begin, tokens[t].end)});
      continue;
    }
    if (s == "sampler" && t + 1 < tokens.size()) {
      auto it = samplerTypes.find(tokens[t + 1].text);
      if (it != samplerTypes.end()) edits.push_back({tokens[t].begin, tokens[t].end, it->second});
      continue;
    }
    if (s == "=" && t + 2 < tokens.size() && tokens[t + 1].text == "sampler_state" && tokens[t + 2].text == "{") {
      const size_t close = Matching(tokens, t + 2);
      if (close == tokens.size()) continue;
      edits.push_back({tokens[t].begin, tokens[close].end, Blank(text, tokens[t].begin, tokens[close].end)});
      t = close;
      continue;
    }
    // An effect file's techniques: a shader compile ignores them.
    if (depth == 0 && s == "technique" && t + 1 < tokens.size() &&
        (t == 0 || tokens[t - 1].text == ";" || tokens[t - 1].text == "}")) {
      size_t open = t + 1;
      for (int angle = 0; open < tokens.size(); ++open) {  // past the name and annotations (<...>)
        const std::string& a = tokens[open].text;
        if (a == "<") ++angle;
        if (a == ">" && angle > 0) --angle;
        if (angle == 0 && (a == "{" || a == ";")) break;
      }
      if (open == tokens.size() || tokens[open].text != "{") continue;
      const size_t close = Matching(tokens, open);
      if (close == tokens.size()) continue;
      edits.push_back({tokens[t].begin, tokens[close].end, Blank(text, tokens[t].begin, tokens[close].end)});
      t = close;
      continue;
    }
    if (depth == 0 && kTextureTypes.count(s) != 0 && t + 1 < tokens.size() && IsName(tokens[t + 1].text) &&
        (t == 0 || tokens[t - 1].text == ";" || tokens[t - 1].text == "}" || tokens[t - 1].text == "uniform" ||
         tokens[t - 1].text == "shared" || tokens[t - 1].text == "extern")) {
      // To the end of the declaration, annotations (<...>) and all.
      size_t end = t + 1;
      int angle = 0;
      while (end < tokens.size() && !(tokens[end].text == ";" && angle == 0)) {
        if (tokens[end].text == "<") ++angle;
        if (tokens[end].text == ">" && angle > 0) --angle;
        if (tokens[end].text == "{") end = Matching(tokens, end);
        if (end < tokens.size()) ++end;
      }
      if (end == tokens.size()) continue;
      size_t begin = t;
      while (begin > 0 && (tokens[begin - 1].text == "uniform" || tokens[begin - 1].text == "shared" ||
                           tokens[begin - 1].text == "extern")) {
        --begin;
      }
      edits.push_back({tokens[begin].begin, tokens[end].end, Blank(text, tokens[begin].begin, tokens[end].end)});
      t = end;
      continue;
    }
    size_t statementEnd = 0;
    if (depth > 0 && ConstructorAssignment(tokens, t, &edits, &statementEnd)) {
      t = statementEnd;
      continue;
    }
    // type name [n]... = { flat list }
    const unsigned components = Components(s);
    if (components > 0 && t + 3 < tokens.size() && IsName(tokens[t + 1].text) && tokens[t + 2].text == "[") {
      std::vector<unsigned> dims;
      size_t u = t + 2;
      while (u + 2 < tokens.size() && tokens[u].text == "[" && tokens[u + 2].text == "]") {
        const unsigned long n = std::strtoul(tokens[u + 1].text.c_str(), nullptr, 10);
        if (n == 0 || n > kMaxElements) break;
        dims.push_back(static_cast<unsigned>(n));
        u += 3;
      }
      if (dims.empty() || u + 1 >= tokens.size() || tokens[u].text != "=" || tokens[u + 1].text != "{") continue;
      const size_t close = Matching(tokens, u + 1);
      if (close == tokens.size()) continue;
      BraceFlatInitialiser(tokens, u + 1, close, components, dims, &edits);
      t = close;
    }
  }
  if (edits.empty()) return text;
  std::string out;
  out.reserve(text.size() + edits.size() * 2);
  size_t at = 0;
  // Edits come in text order; insertions at one place keep their order.
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
  for (const Edit& e : edits) {
    if (e.begin < at) continue;
    out.append(text, at, e.begin - at);
    out += e.text;
    at = e.end;
  }
  out.append(text, at, std::string::npos);
  return out;
}

std::vector<std::string> EntryPointUniforms(const std::string& preprocessed, const std::string& entryPoint) {
  const std::vector<HlslToken> tokens = TokenizeHlsl(preprocessed);
  std::vector<std::string> names;
  int depth = 0;
  for (size_t t = 0; t + 1 < tokens.size(); ++t) {
    const std::string& s = tokens[t].text;
    if (s == "{") ++depth;
    if (s == "}" && depth > 0) --depth;
    if (depth != 0 || s != entryPoint || tokens[t + 1].text != "(") continue;
    const size_t close = Matching(tokens, t + 1);
    // A definition, not a call or a prototype: a body or a semantic follows.
    if (close + 1 >= tokens.size() || (tokens[close + 1].text != "{" && tokens[close + 1].text != ":")) continue;
    size_t first = t + 2;
    for (size_t u = t + 2; u <= close; ++u) {
      if (u != close && (tokens[u].text == "(" || tokens[u].text == "[")) {
        u = Matching(tokens, u);
        continue;
      }
      if (tokens[u].text != "," && u != close) continue;
      // One parameter: [modifiers] type name [array] [: semantic] [= value]
      bool isUniform = false;
      std::string name;
      for (size_t k = first; k < u; ++k) {
        const std::string& p = tokens[k].text;
        if (p == "uniform") isUniform = true;
        if (p == ":" || p == "=" || p == "[") break;
        if (IsName(p)) name = p;
      }
      if (isUniform && !name.empty()) names.push_back(name);
      first = u + 1;
    }
    break;
  }
  return names;
}

}  // namespace ostrevin
