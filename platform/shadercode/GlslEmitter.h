// SPIRV-Cross's GLSL back end with the few statements the translator adds
// to what the SPIR-V says, written where SPIRV-Cross writes the rest: the
// one place GLSL text is made. Nothing searches or edits the text after.
//  - the prologue: statements at the start of main (inputs copied in);
//  - the epilogue: statements at each return of main, before SPIRV-Cross's
//    own fix-ups (outputs copied out, the position fix-up, alpha test...);
//  - "#line N 1" for the SPIR-V's line information (core GLSL has no file
//    names in #line): HLSL line N, source string 1;
//  - the reads of some samplers passed through a function of the header.
#pragma once

#include <spirv_cross/spirv_glsl.hpp>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace ostrevin {

class GlslEmitter : public spirv_cross::CompilerGLSL {
 public:
  GlslEmitter(const uint32_t* words, size_t count) : CompilerGLSL(words, count) {}

  std::vector<std::string> prologue;
  std::vector<std::string> epilogue;
  bool lineDirectives = false;
  // Sampler variables whose texture reads (a vec4 each) go through `decode`.
  std::set<uint32_t> decodedSamplers;
  std::string decode;

 protected:
  void emit_entry_point_declarations() override;
  void emit_fixup() override;
  void emit_instruction(const spirv_cross::Instruction& instruction) override;
  void emit_function_prototype(spirv_cross::SPIRFunction& func, const spirv_cross::Bitset& returnFlags) override;
  std::string to_texture_op(const spirv_cross::Instruction& i, bool sparse, bool* forward,
                            spirv_cross::SmallVector<uint32_t>& inheritedExpressions) override;
};

}  // namespace ostrevin
