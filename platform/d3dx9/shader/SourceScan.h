// What the D3DX front reads from the source model besides the SPIR-V: the
// register annotations, the entry point's uniform parameters, and the
// errors glslang 12 crashes on.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "shader/SourceModel.h"

namespace ostrevin {

// Every annotated name with its register: the globals' (outside cbuffers)
// and the entry point's parameters' (another function's parameters are no
// constants of this shader, whatever their names).
std::map<std::string, ExplicitRegister> ScanRegisters(const SourceModel& model);

// The `uniform` parameters of the entry point's definition, by name. D3DX
// lists them as "$name".
std::vector<std::string> EntryPointUniforms(const SourceModel& model);

// Errors that glslang 12 crashes on instead of reporting, refused before
// parsing (HLSL forbids both anyway):
//  - a file-scope name declared twice (a global redeclared with another
//    type); a light scan that skips nesting, initialisers, annotations and
//    function bodies;
//  - postfix ++/-- on an undeclared name.
// True with the message and where it is (the file as the preprocessed
// text's #line names it, "" for the source itself, and the line) when the
// source holds one.
bool FindUnparsable(const SourceModel& model, std::string* message, std::string* file, int* line);

}  // namespace ostrevin
