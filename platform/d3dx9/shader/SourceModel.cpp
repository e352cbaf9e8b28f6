// The one HLSL tokenizer and the one pass that builds the source model.
#include "shader/SourceModel.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace ostrevin {
namespace {

// "#line N" or "#line N "file"": the line of the next line, and the file.
void LineDirective(const std::string& directive, int* line, int* file, std::vector<std::string>* files) {
  size_t i = 1;
  while (i < directive.size() && (directive[i] == ' ' || directive[i] == '\t')) ++i;
  if (directive.compare(i, 4, "line") != 0) return;
  i += 4;
  while (i < directive.size() && (directive[i] == ' ' || directive[i] == '\t')) ++i;
  if (i >= directive.size() || !std::isdigit(static_cast<unsigned char>(directive[i]))) return;
  *line = std::atoi(directive.c_str() + i) - 1;  // the directive's own newline counts
  const size_t quote = directive.find('"', i);
  if (quote == std::string::npos) return;
  const size_t close = directive.find('"', quote + 1);
  const std::string name =
      directive.substr(quote + 1, close == std::string::npos ? std::string::npos : close - quote - 1);
  const auto it = std::find(files->begin(), files->end(), name);
  *file = static_cast<int>(it - files->begin());
  if (it == files->end()) files->push_back(name);
}

std::vector<HlslToken> Tokenize(const std::string& text, std::vector<std::string>* files) {
  std::vector<HlslToken> tokens;
  tokens.reserve(text.size() / 3);
  bool lineStart = true;
  int line = 1, file = 0;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '\n') {
      ++line;
      lineStart = true;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(ch))) {
      ++i;
      continue;
    }
    if (lineStart && ch == '#') {  // a directive, continued lines included
      const size_t begin = i;
      while (i < text.size() && text[i] != '\n') {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
          ++line;
          ++i;
        }
        ++i;
      }
      LineDirective(text.substr(begin, i - begin), &line, &file, files);
      continue;
    }
    lineStart = false;
    if (ch == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    if (ch == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      const size_t end = text.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? text.size() : end + 2;
      line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i),
                                          text.begin() + static_cast<std::ptrdiff_t>(stop), '\n'));
      i = stop;
      continue;
    }
    size_t j = i + 1;
    if (ch == '"') {
      while (j < text.size() && text[j] != '"' && text[j] != '\n') j += text[j] == '\\' ? 2 : 1;
      j = std::min(j + 1, text.size());
    } else if (IsHlslNameChar(ch) || (ch == '.' && j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))) {
      // Names and numbers (with their exponent signs: 1e-3).
      while (j < text.size() && (IsHlslNameChar(text[j]) || text[j] == '.' ||
                                 ((text[j] == '-' || text[j] == '+') && std::isdigit(static_cast<unsigned char>(ch)) &&
                                  (text[j - 1] == 'e' || text[j - 1] == 'E')))) {
        ++j;
      }
    }
    tokens.push_back({i, j, text.substr(i, j - i), line, file});
    i = j;
  }
  return tokens;
}

// The token after the bracket opened at `open`; tokens.size() when unbalanced.
size_t PastClose(const std::vector<HlslToken>& tokens, size_t open) {
  const size_t close = MatchingBracket(tokens, open);
  return close == tokens.size() ? close : close + 1;
}

// `register ( [profile ,] <set><index> )` with its '(' at `open`.
bool RegisterAt(const std::vector<HlslToken>& tokens, size_t open, ExplicitRegister* out) {
  if (open + 2 >= tokens.size() || tokens[open].text != "(") return false;
  size_t r = open + 1;
  if (tokens[r + 1].text == "," && r + 2 < tokens.size()) r += 2;
  const std::string& reg = tokens[r].text;
  const char set = static_cast<char>(std::tolower(static_cast<unsigned char>(reg[0])));
  if ((set != 'c' && set != 's' && set != 'b' && set != 'i') || reg.size() < 2 || reg.size() > 7 ||
      reg.find_first_not_of("0123456789", 1) != std::string::npos) {
    return false;
  }
  *out = {set, static_cast<uint32_t>(std::stoul(reg.substr(1)))};
  return true;
}

// More initialiser items than any shader has: such lists are left alone.
constexpr unsigned long kMaxElements = 65536;

class Builder {
 public:
  Builder(SourceModel* model, const std::string& entryPoint)
      : m(*model), tokens(model->tokens), n(model->tokens.size()), entry(entryPoint) {}

  void Run() {
    int depth = 0;   // braces
    int parens = 0;  // parentheses at file scope (parameter lists)
    size_t statement = 0;
    std::vector<size_t> samplerNames, texCalls;
    for (size_t t = 0; t < n; ++t) {
      const std::string& s = tokens[t].text;
      if (depth == 0 && parens == 0 && t == statement) Statement(t);
      if (s == "sampler" && t + 1 < n && IsHlslName(tokens[t + 1].text)) samplerNames.push_back(t);
      if (s.compare(0, 3, "tex") == 0 && t + 2 < n && tokens[t + 1].text == "(") texCalls.push_back(t);
      if (depth > 0) ConstructorTargetAt(t);
      FlatInitialiserAt(t);
      if (s == "{") ++depth;
      if (s == "}" && depth > 0) --depth;
      if (depth == 0 && s == "(") ++parens;
      if (depth == 0 && s == ")" && parens > 0) --parens;
      if (depth == 0 && (s == ";" || s == "}")) statement = t + 1;
    }
    // How each untyped sampler is read: the first call naming it.
    for (size_t at : samplerNames) {
      const std::string& name = tokens[at + 1].text;
      std::string type;
      for (size_t call : texCalls) {
        const std::string& c = tokens[call].text;
        if (tokens[call + 2].text != name) continue;
        if (c.compare(0, 5, "tex1D") == 0) type = "sampler1D";
        else if (c.compare(0, 5, "tex2D") == 0) type = "sampler2D";
        else if (c.compare(0, 5, "tex3D") == 0) type = "sampler3D";
        else if (c.compare(0, 7, "texCUBE") == 0) type = "samplerCUBE";
        else continue;
        break;
      }
      m.untypedSamplers.emplace_back(at, type);
    }
  }

 private:
  const std::string& At(size_t t) const {
    static const std::string kNone;
    return t < n ? tokens[t].text : kNone;
  }

  // A file-scope statement starting at `t`.
  void Statement(size_t t) {
    const std::string& s = At(t);
    if (!IsHlslName(s)) return;  // the ';' after a body or an initialiser's braces
    if (s == "technique") {
      size_t open = t + 1;
      for (int angle = 0; open < n; ++open) {  // past the name and annotations (<...>)
        const std::string& a = tokens[open].text;
        if (a == "<") ++angle;
        if (a == ">" && angle > 0) --angle;
        if (angle == 0 && (a == "{" || a == ";")) break;
      }
      if (open == n || tokens[open].text != "{") return;
      const size_t close = MatchingBracket(tokens, open);
      if (close != n) m.techniques.push_back({t, close});
      return;
    }
    if (s == "cbuffer" || s == "tbuffer") {
      // cbuffer name [: register(bN)] { declarations }: the declarations are globals.
      size_t open = t;
      while (open < n && tokens[open].text != "{" && tokens[open].text != ";") ++open;
      if (open == n || tokens[open].text != "{") return;
      const size_t close = MatchingBracket(tokens, open);
      for (size_t d = open + 1; d < close;) {
        if (tokens[d].text == ";") {
          ++d;
          continue;
        }
        d = Declaration(d, close, true);
      }
      return;
    }
    Declaration(t, n, false);
  }

  // Past the statement at `t` (its ';', or the body of a function or struct).
  size_t Skip(size_t t, size_t limit) const {
    bool initialiser = false;
    while (t < limit) {
      const std::string& s = tokens[t].text;
      if (s == ";") return t + 1;
      if (s == "=") initialiser = true;
      if (s == "(" || s == "[" || s == "{") {
        const bool body = s == "{" && !initialiser;
        t = PastClose(tokens, t);
        if (body) return t;
        continue;
      }
      ++t;
    }
    return limit;
  }

  // `[modifiers] type declarator, ...;` from `t`: the globals, or a
  // function (the entry point's parameters), or a texture object. Past it.
  size_t Declaration(size_t t, size_t limit, bool inCbuffer) {
    static const std::set<std::string> kModifiers = {"static", "uniform", "extern", "const", "shared", "volatile",
                                                     "row_major", "column_major", "precise", "snorm", "unorm"};
    static const std::set<std::string> kTextureTypes = {"texture",   "Texture",     "texture1D", "texture2D",
                                                        "texture3D", "textureCUBE", "TEXTURE"};
    HlslGlobal g;
    g.statement = t;
    g.inCbuffer = inCbuffer;
    bool onlyStorage = true;  // no modifier but uniform, shared and extern
    while (t < limit && kModifiers.count(tokens[t].text) != 0) {
      const std::string& s = tokens[t].text;
      g.isStatic = g.isStatic || s == "static";
      g.isConst = g.isConst || s == "const";
      g.isUniform = g.isUniform || s == "uniform";
      onlyStorage = onlyStorage && (s == "uniform" || s == "shared" || s == "extern");
      ++t;
    }
    if (t >= limit) return limit;
    g.type = t;
    if (!inCbuffer && kTextureTypes.count(tokens[t].text) != 0 && IsHlslName(At(t + 1)) && onlyStorage) {
      // To the end of the declaration, annotations (<...>) and all.
      size_t end = t + 1;
      int angle = 0;
      while (end < n && !(tokens[end].text == ";" && angle == 0)) {
        if (tokens[end].text == "<") ++angle;
        if (tokens[end].text == ">" && angle > 0) --angle;
        if (tokens[end].text == "{") end = MatchingBracket(tokens, end);
        if (end < n) ++end;
      }
      if (end == n) return n;
      m.textureObjects.push_back({g.statement, end});
      return end + 1;
    }
    if (tokens[t].text == "struct") {
      t += At(t + 1) == "{" ? 1 : 2;
      if (At(t) == "{") t = PastClose(tokens, t);
    } else {
      ++t;
      if (At(t) == "<") t = PastClose(tokens, t);  // vector<float, 3>, matrix<...>
    }
    g.typeEnd = t;
    while (t < limit) {
      if (!IsHlslName(tokens[t].text)) return Skip(t, limit);
      HlslGlobal d = g;
      d.name = tokens[t].text;
      d.nameToken = t++;
      if (At(t) == "(") {  // a function
        const size_t close = MatchingBracket(tokens, t);
        if (!inCbuffer && d.name == entry && !m.entryPointFound && (At(close + 1) == "{" || At(close + 1) == ":")) {
          m.entryPointFound = true;
          Parameters(t, close);
        }
        return Skip(t, limit);
      }
      // Array sizes, semantic or register, annotations.
      bool literalDims = true;
      while (t < limit && tokens[t].text != "=" && tokens[t].text != "," && tokens[t].text != ";") {
        const std::string& s = tokens[t].text;
        if (s == "{") return Skip(t, limit);
        if (s == "[") {
          d.array = true;
          const unsigned long size = std::strtoul(At(t + 1).c_str(), nullptr, 10);
          if (At(t + 2) == "]" && size > 0 && size <= kMaxElements) {
            d.dims.push_back(static_cast<unsigned>(size));
          } else {
            literalDims = false;
          }
        }
        if (s == ":" && At(t + 1) == "register") d.hasRegister = RegisterAt(tokens, t + 2, &d.reg);
        t = s == "(" || s == "[" || s == "<" ? PastClose(tokens, t) : t + 1;
      }
      if (!literalDims) d.dims.clear();
      if (t < limit && tokens[t].text == "=") {
        d.equals = t;
        d.initBegin = ++t;
        while (t < limit && tokens[t].text != "," && tokens[t].text != ";") {
          const std::string& s = tokens[t].text;
          t = s == "(" || s == "[" || s == "{" ? PastClose(tokens, t) : t + 1;
        }
        d.initEnd = std::min(t, limit);
        if (At(d.initBegin) == "sampler_state" && At(d.initBegin + 1) == "{") {
          const size_t close = MatchingBracket(tokens, d.initBegin + 1);
          if (close != n) m.samplerStates.push_back({d.equals, close});
        }
      }
      m.globals.push_back(std::move(d));
      if (t >= limit || tokens[t].text == ";") return t + 1;
      ++t;  // ','
    }
    return limit;
  }

  // The entry point's parameter list, `(` at `open`: [modifiers] type name
  // [array] [: semantic | register(..)] [= value], ...
  void Parameters(size_t open, size_t close) {
    size_t first = open + 1;
    for (size_t u = open + 1; u <= close && u < n; ++u) {
      if (u != close && (tokens[u].text == "(" || tokens[u].text == "[")) {
        u = MatchingBracket(tokens, u);
        continue;
      }
      if (tokens[u].text != "," && u != close) continue;
      HlslParameter p;
      bool named = false;
      for (size_t k = first; k < u; ++k) {
        const std::string& s = tokens[k].text;
        if (s == "uniform") p.isUniform = true;
        if (s == ":" && At(k + 1) == "register") p.hasRegister = RegisterAt(tokens, k + 2, &p.reg);
        if (s == ":" || s == "=" || s == "[") named = true;
        if (!named && IsHlslName(s)) p.name = s;
      }
      if (!p.name.empty()) m.entryParameters.push_back(p);
      first = u + 1;
    }
  }

  // The components of the variable `name` as declared before token `at`:
  // the nearest `type name` or `type a, b, name`; 0 when not found.
  unsigned DeclaredComponents(size_t at, const std::string& name) const {
    for (size_t k = at; k-- > 1;) {
      if (tokens[k].text != name) continue;
      size_t j = k - 1;
      while (j >= 2 && tokens[j].text == "," && IsHlslName(tokens[j - 1].text) &&
             TypeComponents(tokens[j - 1].text) == 0) {
        j -= 2;
      }
      const unsigned c = TypeComponents(tokens[j].text);
      if (c > 0) return c;
    }
    return 0;
  }

  // `float4(a, b) = expr;` at `t` when the names' declared sizes add up to
  // the constructor's.
  void ConstructorTargetAt(size_t t) {
    const unsigned components = TypeComponents(tokens[t].text);
    if (components < 2 || components > 4 || t == 0 || At(t + 1) != "(") return;
    const std::string& before = tokens[t - 1].text;
    if (before != ";" && before != "{" && before != "}") return;
    ConstructorTarget c;
    c.type = t;
    c.close = MatchingBracket(tokens, t + 1);
    if (At(c.close + 1) != "=") return;
    unsigned total = 0;
    for (size_t k = t + 2; k < c.close; k += 2) {
      if (!IsHlslName(tokens[k].text) || (k + 1 < c.close && tokens[k + 1].text != ",")) return;
      const unsigned size = DeclaredComponents(t, tokens[k].text);
      if (size == 0) return;
      c.names.emplace_back(tokens[k].text, size);
      total += size;
    }
    if (c.names.empty() || total != components) return;
    size_t semi = c.close + 2;
    while (semi < n && tokens[semi].text != ";") {
      const std::string& x = tokens[semi].text;
      if (x == "{" || x == "}") return;
      if (x == "(" || x == "[") semi = MatchingBracket(tokens, semi);
      if (semi < n) ++semi;
    }
    if (semi >= n) return;
    c.semicolon = semi;
    m.constructorTargets.push_back(std::move(c));
  }

  // `type name [n]... = {` at `t`.
  void FlatInitialiserAt(size_t t) {
    const unsigned components = TypeComponents(tokens[t].text);
    if (components == 0 || !IsHlslName(At(t + 1)) || At(t + 2) != "[") return;
    FlatInitialiser f;
    f.components = components;
    size_t u = t + 2;
    while (u + 2 < n && tokens[u].text == "[" && tokens[u + 2].text == "]") {
      const unsigned long size = std::strtoul(tokens[u + 1].text.c_str(), nullptr, 10);
      if (size == 0 || size > kMaxElements) break;
      f.dims.push_back(static_cast<unsigned>(size));
      u += 3;
    }
    if (f.dims.empty() || At(u) != "=" || At(u + 1) != "{") return;
    f.open = u + 1;
    f.close = MatchingBracket(tokens, f.open);
    if (f.close != n) m.flatInitialisers.push_back(std::move(f));
  }

  SourceModel& m;
  const std::vector<HlslToken>& tokens;
  const size_t n;
  const std::string& entry;
};

}  // namespace

bool IsHlslName(const std::string& token) {
  return !token.empty() && (std::isalpha(static_cast<unsigned char>(token[0])) || token[0] == '_');
}

bool IsHlslNameChar(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; }

size_t MatchingBracket(const std::vector<HlslToken>& tokens, size_t open) {
  const bool angle = open < tokens.size() && tokens[open].text == "<";
  int depth = 0;
  for (size_t t = open; t < tokens.size(); ++t) {
    if (tokens[t].text.size() != 1) continue;
    const char c = tokens[t].text[0];
    if (angle ? c == '<' : (c == '(' || c == '[' || c == '{')) ++depth;
    if ((angle ? c == '>' : (c == ')' || c == ']' || c == '}')) && --depth == 0) return t;
  }
  return tokens.size();
}

unsigned TypeComponents(const std::string& type) {
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

SourceModel BuildSourceModel(const std::string& text, const std::string& entryPoint) {
  SourceModel model;
  model.files.push_back("");
  model.tokens = Tokenize(text, &model.files);
  Builder(&model, entryPoint).Run();
  return model;
}

}  // namespace ostrevin
