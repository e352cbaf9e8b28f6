// The model of a shader's preprocessed HLSL that the D3DX front reads: the
// text tokenized once, and what its file scope declares. The scans
// (SourceScan.h, InitialiserScan.h) and the rewrites for glslang
// (SourceRewrite.h) read it; nothing else tokenizes HLSL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ostrevin {

// A token: a name (dotted paths and numbers included: "o.pos", "1.5f",
// "1e-3"), a string or one punctuation character. Comments and
// preprocessor directives are no tokens; "#line N ["file"]" directives set
// the line (and file) of what follows.
struct HlslToken {
  size_t begin, end;  // bytes of the text
  std::string text;
  int line;           // the user's line
  int file;           // index into SourceModel::files
};

// `name : register([profile,] <set><index>)`.
struct ExplicitRegister {
  char set;  // 'c', 'b', 'i' or 's'
  uint32_t index;
};

// One declarator of a file-scope declaration (or of a cbuffer's):
// `[modifiers] type name [dims] [: semantic | register(..)] [<annotations>] [= initialiser]`.
struct HlslGlobal {
  std::string name;
  size_t statement = 0;  // the statement's first token (its first modifier)
  size_t type = 0;       // the type's first token (`vector` of `vector<float, 3>`)
  size_t typeEnd = 0;    // past the type's tokens
  size_t nameToken = 0;
  bool isStatic = false, isConst = false, isUniform = false;
  bool inCbuffer = false;
  bool array = false;
  std::vector<unsigned> dims;       // literal array sizes, outermost first (empty when not all literal)
  bool hasRegister = false;
  ExplicitRegister reg{};
  size_t initBegin = 0, initEnd = 0;  // the initialiser's tokens; initBegin == initEnd: none
  size_t equals = 0;                  // the '=' (when there is an initialiser)
};

// A parameter of the entry point's definition.
struct HlslParameter {
  std::string name;
  bool isUniform = false;
  bool hasRegister = false;
  ExplicitRegister reg{};
};

// `float4(a, b) = expr;` in a function (D3DX takes a constructor as the
// target): the statement's tokens and the names with their declared sizes.
struct ConstructorTarget {
  size_t type = 0, close = 0, semicolon = 0;  // the constructor, its ')' and the statement's ';'
  std::vector<std::pair<std::string, unsigned>> names;
};

// `type name[n]... = { a, b, ... }` whose items are all scalars.
struct FlatInitialiser {
  size_t open = 0, close = 0;  // the braces
  unsigned components = 0;     // of one element of the type
  std::vector<unsigned> dims;
};

// A range of tokens [first, last] a plain compile ignores.
struct TokenRange {
  size_t first, last;
};

struct SourceModel {
  std::vector<std::string> files;  // [0]: the source itself ("")
  std::vector<HlslToken> tokens;
  // In declaration order, cbuffers' members included.
  std::vector<HlslGlobal> globals;
  // Untyped samplers (`sampler name`, globals and parameters): the token
  // `sampler`, and the type the first tex1D*/tex2D*/tex3D*/texCUBE* call
  // naming the sampler reads it as ("sampler2D"...; "" when none does).
  std::vector<std::pair<size_t, std::string>> untypedSamplers;
  // `= sampler_state { ... }` initialisers, texture object declarations
  // (`texture t;`, `texture2D t <...>;`) and technique blocks.
  std::vector<TokenRange> samplerStates, textureObjects, techniques;
  // The entry point's definition: found, and its parameters.
  bool entryPointFound = false;
  std::vector<HlslParameter> entryParameters;
  // Inside functions: what glslang needs rewritten.
  std::vector<ConstructorTarget> constructorTargets;
  std::vector<FlatInitialiser> flatInitialisers;
};

// Tokenizes `text` (preprocessed HLSL) and builds its model in one pass.
SourceModel BuildSourceModel(const std::string& text, const std::string& entryPoint);

// Helpers over tokens, for the model's readers.
bool IsHlslName(const std::string& token);
bool IsHlslNameChar(char ch);
// The index of the token closing the bracket ( [ { or < at `open` (all of
// ( [ { counted alike; only < > for <); tokens.size() when unbalanced.
size_t MatchingBracket(const std::vector<HlslToken>& tokens, size_t open);
// Components of one element of a scalar, vector or matrix type name
// (float3 -> 3, half2x2 -> 4); 0 for anything else.
unsigned TypeComponents(const std::string& type);

}  // namespace ostrevin
