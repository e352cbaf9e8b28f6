// The GL bindings as last made, so that redundant binds are skipped: every
// binding the device makes goes through here. One Invalidate makes every
// entry unknown (the next use binds anew), after the context was made or lost.
#pragma once

#include "GlFunctions.h"

namespace ostrevin::d3d9 {

struct GlStateCache {
  static constexpr GLuint kUnknown = 0xFFFFFFFFu;
  static constexpr GLuint kUnits = 16;
  static constexpr GLuint kUploadUnit = kUnits - 1;  // kept for uploads, so draw bindings stay

  GLuint program;
  GLuint vertexArray;
  GLuint arrayBuffer;
  GLuint elementBuffer;  // the bound vertex array's; unknown when another is bound
  GLuint copyWriteBuffer;
  GLuint drawFramebuffer, readFramebuffer;
  GLuint renderbuffer;
  GLuint textures[kUnits];
  GLuint samplers[kUnits];
  GLenum activeUnit;

  GlStateCache() { Invalidate(); }
  void Invalidate();

  void UseProgram(GLuint name);
  void BindVertexArray(GLuint name);
  void BindArrayBuffer(GLuint name);
  // Part of the bound vertex array's state.
  void BindElementBuffer(GLuint name);
  void BindCopyWriteBuffer(GLuint name);
  // Draw and read framebuffer both, or the draw framebuffer alone.
  void BindFramebuffer(GLuint name);
  void BindDrawFramebuffer(GLuint name);
  void BindRenderbuffer(GLuint name);
  // A draw binding: the unit is made active only when its binding changes.
  void BindTexture(GLuint unit, GLuint name);
  // The upload unit made active with `name` bound to it.
  void BindTextureForUpload(GLuint name);
  void BindSampler(GLuint unit, GLuint name);

  // A name about to be deleted may be handed out again: forget it.
  void ForgetTexture(GLuint name);
  void ForgetBuffer(GLuint name);
  void ForgetProgram(GLuint name);
  void ForgetVertexArray(GLuint name);
  void ForgetFramebuffer(GLuint name);
  void ForgetRenderbuffer(GLuint name);
};

}  // namespace ostrevin::d3d9
