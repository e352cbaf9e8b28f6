// HLSL that D3DX compiles and glslang's front end refuses or misreads,
// rewritten before the parse: edits that the source model calls for,
// applied once to the preprocessed text. Every edit keeps each line where
// it was (no newline is added or removed), so messages still name the
// source's lines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "shader/SourceModel.h"

namespace ostrevin {

// Bytes [begin, end) of the text replaced by `text`.
struct SourceEdit {
  size_t begin, end;
  std::string text;
};

// The edits for glslang:
//  - each untyped sampler declared with the type it is read as;
//  - texture object declarations (`texture t;`, `texture2D t;` ...),
//    `= sampler_state { ... }` initialisers and technique blocks blanked:
//    a plain compile ignores them, as D3DX does outside effects;
//  - flat initialisers of vector and matrix arrays (`float2 o[2] = {1, 2,
//    3, 4}`) braced per element;
//  - `const` dropped from file-scope float globals that are not `static`:
//    globals are const by default in HLSL and D3DX lists these as
//    constants like any other, where glslang would fold them;
//  - a vector constructor assigned to (`float4(a, b) = ddx(v);`) turned
//    into a temporary and an assignment to each name, as their declared
//    sizes split it.
std::vector<SourceEdit> RewritesForGlslang(const SourceModel& model, const std::string& text);

// The text with the edits made (in text order; an edit that overlaps one
// before it is dropped).
std::string ApplyEdits(const std::string& text, std::vector<SourceEdit> edits);

}  // namespace ostrevin
