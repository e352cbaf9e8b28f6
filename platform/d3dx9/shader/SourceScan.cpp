// The register-annotation scan and the refusal of sources glslang 12
// crashes on.
#include "shader/SourceScan.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

namespace ostrevin {
namespace {

bool IsIdent(char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; }

}  // namespace

bool FindUnparsable(const std::string& text, std::string* message, int* line) {
  struct Token {
    std::string text;
    int line;
  };
  std::vector<Token> tokens;
  int currentLine = 1;
  bool lineStart = true;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '\n') {
      ++currentLine;
      lineStart = true;
      ++i;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(ch))) {
      ++i;
      continue;
    }
    if (lineStart && ch == '#') {
      // Directives left by the preprocessor: "#line N" sets the next line.
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size();
      const std::string directive = text.substr(i, end - i);
      int n = 0;
      if (std::sscanf(directive.c_str(), "#line %d", &n) == 1) currentLine = n - 1;
      i = end;
      continue;
    }
    lineStart = false;
    if (ch == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
      if (text[i + 1] == '/') {
        while (i < text.size() && text[i] != '\n') ++i;
      } else {
        i += 2;
        while (i + 1 < text.size() && !(text[i] == '*' && text[i + 1] == '/')) {
          if (text[i] == '\n') ++currentLine;
          ++i;
        }
        i += 2;
      }
      continue;
    }
    size_t j = i + 1;
    if (IsIdent(ch)) {
      while (j < text.size() && IsIdent(text[j])) ++j;
    }
    tokens.push_back({text.substr(i, j - i), currentLine});
    i = j;
  }

  // Postfix ++/-- on a name never declared: glslang 12 crashes when that
  // is a call argument. A name counts as declared when it follows another
  // name or a comma somewhere ("float x", "int i, x").
  std::set<std::string> named;
  for (size_t t = 1; t < tokens.size(); ++t) {
    const char prev = tokens[t - 1].text[0];
    if (IsIdent(tokens[t].text[0]) && (IsIdent(prev) || prev == ',')) named.insert(tokens[t].text);
  }
  for (size_t t = 0; t + 2 < tokens.size(); ++t) {
    const std::string& tok = tokens[t].text;
    const std::string& a = tokens[t + 1].text;
    const std::string& b = tokens[t + 2].text;
    if (IsIdent(tok[0]) && !std::isdigit(static_cast<unsigned char>(tok[0])) && a == b && (a == "+" || a == "-") &&
        named.count(tok) == 0) {
      *message = "error X3004: undeclared identifier '" + tok + "'";
      *line = tokens[t].line;
      return true;
    }
  }

  std::map<std::string, int> declared;
  int depth = 0;            // (), [], {} and <> inside the statement
  bool function = false;    // a parameter list was seen
  bool initialiser = false; // after '=' until ',' or ';'
  bool annotation = false;  // after ':' until ',', '=' or ';'
  auto reset = [&] { function = initialiser = annotation = false; };
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::string& tok = tokens[t].text;
    const char c = tok[0];
    if (c == '(' || c == '[' || c == '{' || (c == '<' && !initialiser)) {
      if (depth == 0 && c == '(' && !initialiser && !annotation) function = true;
      ++depth;
      continue;
    }
    if (c == ')' || c == ']' || c == '}' || (c == '>' && !initialiser)) {
      if (depth > 0) --depth;
      // A function body ends the declaration.
      if (depth == 0 && c == '}' && function) reset();
      continue;
    }
    if (depth > 0) continue;
    if (c == ';') {
      reset();
    } else if (c == ',') {
      initialiser = annotation = false;
    } else if (c == '=') {
      initialiser = true;
      annotation = false;
    } else if (c == ':') {
      annotation = true;
    } else if (IsIdent(c) && !std::isdigit(static_cast<unsigned char>(c)) && !function && !initialiser &&
               !annotation && t > 0) {
      // A declarator: after a type name (or a comma, or a template's '>'),
      // and not itself a type, a call or a template.
      const char prev = tokens[t - 1].text[0];
      const char next = t + 1 < tokens.size() ? tokens[t + 1].text[0] : ';';
      const bool typeName = tokens[t - 1].text == "struct";  // types and variables share the names
      const bool afterType = IsIdent(prev) || prev == ',' || prev == '>' || prev == '}';
      const bool declarator = !IsIdent(next) && next != '(' && next != '{' && next != '<' && next != '.';
      if (typeName || (afterType && declarator)) {
        if (!declared.emplace(tok, tokens[t].line).second) {
          *message = "error X3003: redefinition of '" + tok + "'";
          *line = tokens[t].line;
          return true;
        }
      }
    }
  }
  return false;
}

std::map<std::string, ExplicitRegister> ScanRegisters(const char* src, size_t len) {
  std::map<std::string, ExplicitRegister> found;
  const std::string text(src, len);
  size_t pos = 0;
  while ((pos = text.find("register", pos)) != std::string::npos) {
    const size_t at = pos;
    pos += 8;
    if ((at > 0 && IsIdent(text[at - 1])) || (pos < text.size() && IsIdent(text[pos]))) continue;
    size_t p = pos;
    auto skip = [&](size_t& i) {
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    };
    skip(p);
    if (p >= text.size() || text[p] != '(') continue;
    ++p;
    skip(p);
    if (p >= text.size()) continue;
    const char set = static_cast<char>(std::tolower(static_cast<unsigned char>(text[p])));
    if (set != 'c' && set != 's') continue;
    ++p;
    uint64_t index = 0;
    size_t digits = 0;
    while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p])) && digits < 6) {
      index = index * 10 + static_cast<uint64_t>(text[p] - '0');
      ++p;
      ++digits;
    }
    if (digits == 0) continue;
    // Backwards: ':' then optional [..] groups, then the name.
    size_t b = at;
    auto back = [&]() {
      while (b > 0 && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
    };
    back();
    if (b == 0 || text[b - 1] != ':') continue;
    --b;
    back();
    while (b > 0 && text[b - 1] == ']') {
      const size_t open = text.rfind('[', b - 1);
      if (open == std::string::npos) break;
      b = open;
      back();
    }
    size_t nameEnd = b;
    while (b > 0 && IsIdent(text[b - 1])) --b;
    if (b == nameEnd) continue;
    found[text.substr(b, nameEnd - b)] = {set, static_cast<uint32_t>(index)};
  }
  return found;
}

}  // namespace ostrevin
