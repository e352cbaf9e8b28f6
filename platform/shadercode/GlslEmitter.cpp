#include "GlslEmitter.h"

namespace ostrevin {

void GlslEmitter::emit_entry_point_declarations() {
  for (const std::string& line : prologue) statement(line);
}

void GlslEmitter::emit_fixup() {
  for (const std::string& line : epilogue) statement(line);
  CompilerGLSL::emit_fixup();
}

void GlslEmitter::emit_instruction(const spirv_cross::Instruction& instruction) {
  if (instruction.op == spv::OpLine) {
    if (lineDirectives && !redirect_statement) statement_no_indent("#line ", stream(instruction)[1], " 1");
    return;
  }
  CompilerGLSL::emit_instruction(instruction);
}

void GlslEmitter::emit_function_prototype(spirv_cross::SPIRFunction& func, const spirv_cross::Bitset& returnFlags) {
  if (lineDirectives && func.entry_line.file_id != 0) statement_no_indent("#line ", func.entry_line.line_literal, " 1");
  CompilerGLSL::emit_function_prototype(func, returnFlags);
}

std::string GlslEmitter::to_texture_op(const spirv_cross::Instruction& i, bool sparse, bool* forward,
                                       spirv_cross::SmallVector<uint32_t>& inheritedExpressions) {
  std::string expression = CompilerGLSL::to_texture_op(i, sparse, forward, inheritedExpressions);
  const uint32_t* ops = stream(i);
  const spirv_cross::SPIRType& result = get<spirv_cross::SPIRType>(ops[0]);
  const spirv_cross::SPIRVariable* sampler = maybe_get_backing_variable(ops[2]);
  if (sampler != nullptr && decodedSamplers.count(sampler->self) != 0 && !sparse &&
      result.basetype == spirv_cross::SPIRType::Float && result.vecsize == 4 && result.columns == 1) {
    return decode + "(" + expression + ")";
  }
  return expression;
}

}  // namespace ostrevin
