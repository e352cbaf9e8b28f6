// Direct3D 9 enumerations in GL terms: comparisons, blending, addressing,
// filtering, primitives, vertex element types and colours.
#pragma once

#include <d3d9.h>

#include "GlFunctions.h"

namespace ostrevin::d3d9 {

GLenum GlCompareFunc(DWORD d3dcmp);
GLenum GlBlendFactor(DWORD d3dblend);
// A source and destination pair: D3DBLEND_BOTHSRCALPHA and BOTHINVSRCALPHA
// as source set both.
void GlBlendFactors(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst);
GLenum GlStencilOp(DWORD d3dstencilop);
GLenum GlBlendOp(DWORD d3dblendop);
GLint GlAddressMode(DWORD d3dtaddress);
GLint GlMinFilter(DWORD minFilter, DWORD mipFilter);
GLint GlMagFilter(DWORD magFilter);
GLenum GlFillMode(DWORD d3dfill);

// The GL mode of a primitive type the device has checked.
GLenum GlPrimitiveMode(D3DPRIMITIVETYPE type);

struct GlAttribFormat {
  GLint size;
  GLenum type;
  GLboolean normalized;
};
// False for a D3DDECLTYPE the device does not feed (D3DDECLTYPE_UNUSED and
// others). bgra: the context reads GL_BGRA attributes (else D3DCOLOR is fed
// as 4 bytes in memory order, for the shader to swap).
bool GlVertexFormat(BYTE d3ddecltype, bool bgra, GlAttribFormat* out);

// A D3DCOLOR as red, green, blue, alpha in 0..1.
void ColorToFloats(D3DCOLOR color, float out[4]);

}  // namespace ostrevin::d3d9
