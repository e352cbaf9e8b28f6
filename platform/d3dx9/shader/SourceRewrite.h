// HLSL that D3DX compiles and glslang's front end refuses or misreads,
// rewritten before the parse. Every rewrite keeps each line where it was (no
// newline is added or removed), so messages still name the source's lines.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace ostrevin {

// A token of HLSL text: a name, a number, a string or one punctuation
// character; comments and preprocessor directives are skipped.
struct HlslToken {
  size_t begin, end;  // bytes of the text
  std::string text;
};
std::vector<HlslToken> TokenizeHlsl(const std::string& text);

// How the untyped samplers (`sampler name`) of the preprocessed text are
// read: name -> "sampler1D", "sampler2D", "sampler3D" or "samplerCUBE", from
// the first tex1D*/tex2D*/tex3D*/texCUBE* call that names them. glslang
// takes every untyped sampler for a 2-D one.
std::map<std::string, std::string> UntypedSamplerTypes(const std::string& preprocessed);

// The text with
//  - each untyped sampler declared with its type from `samplerTypes`;
//  - texture object declarations (`texture t;`, `texture2D t;` ...) and
//    `= sampler_state { ... }` initialisers blanked: a plain compile ignores
//    them, as D3DX does outside effects;
//  - flat initialisers of vector and matrix arrays (`float2 o[2] = {1, 2,
//    3, 4}`) braced per element;
//  - `const` dropped from file-scope float globals that are not `static`:
//    globals are const by default in HLSL and D3DX lists these as
//    constants like any other, where glslang would fold them.
//  - a vector constructor assigned to (`float4(a, b) = ddx(v);`) turned into
//    a temporary and an assignment to each name, as their declared sizes
//    split it.
std::string RewriteForGlslang(const std::string& text, const std::map<std::string, std::string>& samplerTypes);

// The `uniform` parameters of the entry point's definition in the
// preprocessed text, by name. D3DX lists them as "$name".
std::vector<std::string> EntryPointUniforms(const std::string& preprocessed, const std::string& entryPoint);

}  // namespace ostrevin
