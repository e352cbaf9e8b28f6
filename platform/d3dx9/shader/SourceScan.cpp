// Readers of the source model: register annotations, the entry point's
// uniform parameters, and the refusal of sources glslang 12 crashes on.
#include "shader/SourceScan.h"

#include <set>

namespace ostrevin {
namespace {

// The name a token starts with: "o" of "o.pos".
std::string BaseName(const std::string& token) { return token.substr(0, token.find('.')); }

}  // namespace

std::map<std::string, ExplicitRegister> ScanRegisters(const SourceModel& model) {
  std::map<std::string, ExplicitRegister> found;
  for (const HlslGlobal& g : model.globals) {
    if (g.hasRegister && !g.inCbuffer) found[g.name] = g.reg;
  }
  for (const HlslParameter& p : model.entryParameters) {
    if (p.hasRegister) found[p.name] = p.reg;
  }
  return found;
}

std::vector<std::string> EntryPointUniforms(const SourceModel& model) {
  std::vector<std::string> names;
  for (const HlslParameter& p : model.entryParameters) {
    if (p.isUniform) names.push_back(p.name);
  }
  return names;
}

bool FindUnparsable(const SourceModel& model, std::string* message, std::string* file, int* line) {
  const std::vector<HlslToken>& tokens = model.tokens;
  // Postfix ++/-- on a name never declared: glslang 12 crashes when that
  // is a call argument. A name counts as declared when it follows another
  // name or a comma somewhere ("float x", "int i, x"); of a path ("o.pos")
  // the first name counts.
  std::set<std::string> named;
  for (size_t t = 1; t < tokens.size(); ++t) {
    const char prev = tokens[t - 1].text.back();
    if (IsHlslName(tokens[t].text) && (IsHlslNameChar(prev) || prev == ',')) named.insert(BaseName(tokens[t].text));
  }
  for (size_t t = 0; t + 2 < tokens.size(); ++t) {
    const std::string& a = tokens[t + 1].text;
    if (IsHlslName(tokens[t].text) && a == tokens[t + 2].text && (a == "+" || a == "-") &&
        named.count(BaseName(tokens[t].text)) == 0) {
      *message = "error X3004: undeclared identifier '" + BaseName(tokens[t].text) + "'";
      *line = tokens[t].line;
      *file = model.files[static_cast<size_t>(tokens[t].file)];
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
    } else if (IsHlslName(tok) && tok.find('.') == std::string::npos && !function && !initialiser && !annotation &&
               t > 0) {
      // A declarator: after a type name (or a comma, or a template's '>'),
      // and not itself a type, a call or a template.
      const char prev = tokens[t - 1].text.back();
      const char next = t + 1 < tokens.size() ? tokens[t + 1].text[0] : ';';
      const bool typeName = tokens[t - 1].text == "struct";  // types and variables share the names
      const bool afterType = IsHlslNameChar(prev) || prev == ',' || prev == '>' || prev == '}';
      const bool declarator = !IsHlslNameChar(next) && next != '(' && next != '{' && next != '<' && next != '.';
      if (typeName || (afterType && declarator)) {
        if (!declared.emplace(tok, tokens[t].line).second) {
          *message = "error X3003: redefinition of '" + tok + "'";
          *line = tokens[t].line;
          *file = model.files[static_cast<size_t>(tokens[t].file)];
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace ostrevin
