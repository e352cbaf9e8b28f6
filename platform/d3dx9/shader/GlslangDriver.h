// glslang's HLSL front end for one shader: preprocessing, then the parse,
// link and SPIR-V generation in a child process. One front end at a time in
// the process: the constructor waits for the others.
#pragma once

#include <d3dx9.h>

#include <memory>
#include <string>
#include <vector>

#include "ShaderCode.h"
#include "shader/IncludeFiles.h"

namespace ostrevin {

// The name messages give the application's source: "memory(12): error: ...".
extern const char kHlslSourceName[];

struct HlslInput {
  const char* source = nullptr;
  int length = 0;
  std::string preamble;  // #define lines put before the source
  std::string pragmas;   // #pragma lines put before the preprocessed source for the parse
  const char* entryPoint = nullptr;
  ShaderStage stage = ShaderStage::Vertex;
  IncludeFiles* includes = nullptr;  // null: #include fails
};

// Starts building glslang's built-in tables on a thread of their own; the
// first front end waits for it. Without it, the first front end builds them.
void StartHlslFrontEndWarmUp();

class HlslFrontEnd {
 public:
  explicit HlslFrontEnd(const HlslInput& input);
  ~HlslFrontEnd();
  HlslFrontEnd(const HlslFrontEnd&) = delete;
  HlslFrontEnd& operator=(const HlslFrontEnd&) = delete;

  // The source with macros and includes expanded; false with the messages.
  bool Preprocess(std::string* text, std::string* log);
  // SPIR-V of the entry point, with line information; the messages (warnings, or errors with false)
  // are appended to log as "name(line): error: text". A front end that
  // crashes or hangs on the source is an error like any other.
  bool Parse(std::vector<uint32_t>* spirv, std::string* log);
  // From now on the parse reads `text`: the preprocessed text (macros and
  // includes expanded, "#line N \"file\"" keeping the lines and files of
  // the messages) as rewritten for glslang (SourceRewrite.h), after the
  // pragmas instead of the preamble.
  void ParsePreprocessed(std::string text);
  // Whether glslang compiles the translation of this shader as GLSL 3.30
  // core; errors are appended to log under the HLSL lines that the GLSL's
  // "#line" directives give.
  bool CheckGlsl(const std::string& glsl, std::string* log);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace ostrevin
