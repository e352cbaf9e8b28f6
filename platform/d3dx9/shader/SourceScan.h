// Light scans of preprocessed HLSL text, done before and beside glslang's
// parse: the register annotations, and the errors glslang 12 crashes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

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

// Errors in preprocessed text that glslang 12 crashes on instead of
// reporting, refused before parsing (HLSL forbids both anyway):
//  - a file-scope name declared twice (a global redeclared with another
//    type); a light scan that skips nesting, initialisers, annotations and
//    function bodies;
//  - postfix ++/-- on an undeclared name.
// True with the message and its line when the text holds one.
bool FindUnparsable(const std::string& text, std::string* message, int* line);

}  // namespace ostrevin
