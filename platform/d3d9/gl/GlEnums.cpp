#include "GlEnums.h"

namespace ostrevin::d3d9 {

GLenum GlCompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum GlBlendFactor(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

void GlBlendFactors(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst) {
  if (src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA) {
    const bool inverse = src == D3DBLEND_BOTHINVSRCALPHA;
    *glSrc = inverse ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    *glDst = inverse ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    return;
  }
  *glSrc = GlBlendFactor(src);
  *glDst = GlBlendFactor(dst);
}

GLenum GlStencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;  // D3DSTENCILOP_KEEP
  }
}

GLenum GlBlendOp(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLint GlAddressMode(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

GLint GlMinFilter(DWORD minFilter, DWORD mipFilter) {
  const bool linear = minFilter == D3DTEXF_LINEAR || minFilter == D3DTEXF_ANISOTROPIC;
  if (mipFilter == D3DTEXF_NONE) return linear ? GL_LINEAR : GL_NEAREST;
  if (mipFilter == D3DTEXF_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLint GlMagFilter(DWORD magFilter) {
  return magFilter == D3DTEXF_POINT || magFilter == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR;
}

GLenum GlFillMode(DWORD fill) {
  return fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
}

GLenum GlPrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
  }
}

bool GlVertexFormat(BYTE declType, bool bgra, GlAttribFormat* out) {
  switch (declType) {
    case D3DDECLTYPE_FLOAT1: *out = {1, GL_FLOAT, GL_FALSE}; return true;
    case D3DDECLTYPE_FLOAT2: *out = {2, GL_FLOAT, GL_FALSE}; return true;
    case D3DDECLTYPE_FLOAT3: *out = {3, GL_FLOAT, GL_FALSE}; return true;
    case D3DDECLTYPE_FLOAT4: *out = {4, GL_FLOAT, GL_FALSE}; return true;
    // Without GL_BGRA the bytes arrive in memory order and the vertex
    // shader swaps red and blue (GlslOptions::swappedColourInputs).
    case D3DDECLTYPE_D3DCOLOR: *out = {bgra ? static_cast<GLint>(GL_BGRA) : 4, GL_UNSIGNED_BYTE, GL_TRUE}; return true;
    case D3DDECLTYPE_UBYTE4: *out = {4, GL_UNSIGNED_BYTE, GL_FALSE}; return true;
    case D3DDECLTYPE_UBYTE4N: *out = {4, GL_UNSIGNED_BYTE, GL_TRUE}; return true;
    case D3DDECLTYPE_SHORT2: *out = {2, GL_SHORT, GL_FALSE}; return true;
    case D3DDECLTYPE_SHORT4: *out = {4, GL_SHORT, GL_FALSE}; return true;
    case D3DDECLTYPE_SHORT2N: *out = {2, GL_SHORT, GL_TRUE}; return true;
    case D3DDECLTYPE_SHORT4N: *out = {4, GL_SHORT, GL_TRUE}; return true;
    case D3DDECLTYPE_USHORT2N: *out = {2, GL_UNSIGNED_SHORT, GL_TRUE}; return true;
    case D3DDECLTYPE_USHORT4N: *out = {4, GL_UNSIGNED_SHORT, GL_TRUE}; return true;
    case D3DDECLTYPE_FLOAT16_2: *out = {2, GL_HALF_FLOAT, GL_FALSE}; return true;
    case D3DDECLTYPE_FLOAT16_4: *out = {4, GL_HALF_FLOAT, GL_FALSE}; return true;
    default: return false;
  }
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xff) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xff) / 255.0f;
  out[2] = static_cast<float>(c & 0xff) / 255.0f;
  out[3] = static_cast<float>((c >> 24) & 0xff) / 255.0f;
}

}  // namespace ostrevin::d3d9
