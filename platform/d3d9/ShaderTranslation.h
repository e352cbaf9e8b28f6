// What CreateVertexShader and CreatePixelShader make of the code they are
// given, before any GL object: the code checked and decoded, translated to
// GLSL, and refused when the device could not run it.
#pragma once

#include <d3d9.h>

#include "ShaderCode.h"

namespace ostrevin::d3d9 {

// The shader object's own translator options. clipControl: whether the
// context has glClipControl (depth then needs no remap); es: GLSL ES 3.00
// for an OpenGL ES 3.0 / WebGL2 context.
GlslOptions ShaderOptions(bool clipControl, bool es);

// D3D_OK with the GLSL in *out, or D3DERR_INVALIDCALL (with the reason on
// standard error when the translation fails).
HRESULT TranslateShaderCode(ShaderStage stage, const DWORD* pFunction, const GlslOptions& options, GlslShader* out);

}  // namespace ostrevin::d3d9
