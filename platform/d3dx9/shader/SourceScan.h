// Light scans of preprocessed HLSL text, done before and beside glslang's
// parse: the register annotations, the initial values of globals, and the
// errors glslang 12 crashes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ostrevin {

// `name : register(cN)` or `register(sN)` written in the source.
struct ExplicitRegister {
  char set;  // 'c', 'b', 'i' or 's'
  uint32_t index;
};

// Every annotated name with its register: the globals' and the entry
// point's parameters' (another function's parameters are no constants of
// this shader, whatever their names).
std::map<std::string, ExplicitRegister> ScanRegisters(const std::string& text, const std::string& entryPoint);

// The initial value of each global constant declared with one (`float4
// tint = {1, 2, 3, 4};`, not `static`), the values in declaration order
// (element by element, a matrix row by row; bools as 0 and 1). glslang
// drops these initialisers from the SPIR-V. Literals, braced lists,
// constructors (`float4(1, 2, 3, 4)`), casts, + - * / %, the math
// intrinsics (`normalize`, `sin`, `pow`, `lerp`...) and names of globals
// initialised before are evaluated; a global whose initialiser holds
// anything else (a user function, a swizzle, a comparison) is left out.
std::map<std::string, std::vector<double>> ScanInitialisers(const std::string& text);

// Errors in preprocessed text that glslang 12 crashes on instead of
// reporting, refused before parsing (HLSL forbids both anyway):
//  - a file-scope name declared twice (a global redeclared with another
//    type); a light scan that skips nesting, initialisers, annotations and
//    function bodies;
//  - postfix ++/-- on an undeclared name.
// True with the message and its line when the text holds one.
bool FindUnparsable(const std::string& text, std::string* message, int* line);

}  // namespace ostrevin
