// The register-annotation scan and the refusal of sources glslang 12
// crashes on.
#include "shader/SourceScan.h"

#include "shader/SourceRewrite.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <string>
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

std::map<std::string, ExplicitRegister> ScanRegisters(const std::string& text, const std::string& entryPoint) {
  std::map<std::string, ExplicitRegister> found;
  const std::vector<HlslToken> tokens = TokenizeHlsl(text);
  int braces = 0;
  // Open parentheses at file scope; the first says whether it is the entry
  // point's parameter list.
  std::vector<bool> parens;
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::string& s = tokens[t].text;
    if (s == "{") ++braces;
    if (s == "}" && braces > 0) --braces;
    if (braces > 0) continue;
    if (s == "(") {
      parens.push_back(parens.empty() ? t > 0 && tokens[t - 1].text == entryPoint : parens.front());
      continue;
    }
    if (s == ")") {
      if (!parens.empty()) parens.pop_back();
      continue;
    }
    // Globals, and the entry point's parameters; another function's
    // parameter is no constant of this shader.
    if (s != "register" || (!parens.empty() && !(parens.size() == 1 && parens.front()))) continue;
    // register ( [profile ,] <set><index> [.component] )
    if (t + 3 >= tokens.size() || tokens[t + 1].text != "(") continue;
    size_t r = t + 2;
    if (tokens[r + 1].text == "," && r + 2 < tokens.size()) r += 2;
    const std::string& reg = tokens[r].text;
    const char set = static_cast<char>(std::tolower(static_cast<unsigned char>(reg[0])));
    if ((set != 'c' && set != 's' && set != 'b' && set != 'i') || reg.size() < 2 || reg.size() > 7 ||
        reg.find_first_not_of("0123456789", 1) != std::string::npos) {
      continue;
    }
    const uint32_t index = static_cast<uint32_t>(std::stoul(reg.substr(1)));
    // Backwards: ':', optional [..] groups, the name.
    if (t < 2 || tokens[t - 1].text != ":") continue;
    size_t n = t - 2;
    while (n > 0 && tokens[n].text == "]") {
      while (n > 0 && tokens[n].text != "[") --n;
      if (n > 0) --n;
    }
    if (!IsIdent(tokens[n].text[0]) || std::isdigit(static_cast<unsigned char>(tokens[n].text[0]))) continue;
    found[tokens[n].text] = {set, index};
  }
  return found;
}

}  // namespace ostrevin
