// The render states and sampler states the device knows, in two tables:
// each state's number and SDK name, its value after device creation or
// Reset (Direct3D 9's documented defaults, as Wine's d3d9 tests read them
// back), the values the device takes, and what realises it. The defaults,
// SetRenderState's and SetSamplerState's checks, the GL side's application
// and the choice of a program variant all read these tables; adding a state
// is a row here (and its realisation, when it has a new one).
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <cstdint>

namespace ostrevin::d3d9 {

// What realises a render state when the device draws. The GL side applies
// each kind (GlRenderStates.cpp); the program-variant kinds choose the GL
// program that draws (GlProgram.cpp).
enum class RealisedBy : uint8_t {
  Recorded,        // recorded only: fixed-function state, which drawing with shaders does not
                   // read, or a feature the device lacks, whose off value alone is taken
  // GL state
  DepthTest,       // GL_DEPTH_TEST
  DepthFunction,   // glDepthFunc
  DepthWrite,      // glDepthMask
  Culling,         // GL_CULL_FACE and glCullFace
  FillMode,        // glPolygonMode
  Blending,        // GL_BLEND
  BlendFunction,   // glBlendFuncSeparate and glBlendEquationSeparate, from all blend states
  BlendColour,     // glBlendColor
  StencilTest,     // GL_STENCIL_TEST
  Stencil,         // glStencilFuncSeparate, glStencilOpSeparate, glStencilMask, from all stencil states
  DepthBias,       // glPolygonOffset and its enables
  PointSize,       // glPointSize, clamped to POINTSIZE_MIN..MAX
  Dither,          // GL_DITHER
  ColourWrite,     // glColorMask
  ScissorTest,     // GL_SCISSOR_TEST
  LastPixel,       // read by each line draw
  // the program
  AlphaTestEnable,  // program variant: discards after the pixel shader
  AlphaFunction,    // program variant: the comparison
  AlphaReference,   // uniform of the alpha-test variant
  Shading,          // program variant: flat colour varyings
  SrgbWrite,        // program variant: colour 0 encoded to sRGB
};

// What realises a sampler state.
enum class SamplerRealisedBy : uint8_t {
  Recorded,     // recorded only (no multi-element textures, no displacement sampler)
  AddressU,     // GL_TEXTURE_WRAP_S
  AddressV,     // GL_TEXTURE_WRAP_T
  AddressW,     // GL_TEXTURE_WRAP_R
  BorderColour, // GL_TEXTURE_BORDER_COLOR
  Filter,       // minification, magnification and anisotropy, from all filter states
  LodBias,      // GL_TEXTURE_LOD_BIAS
  MaxMipLevel,  // the texture's base level, read by each draw
  SrgbTexture,  // program variant: reads decoded to linear
};

// Whether the kind chooses the GL program (a change makes the device pick
// the program again).
constexpr bool ChoosesProgram(RealisedBy r) {
  return r == RealisedBy::AlphaTestEnable || r == RealisedBy::AlphaFunction || r == RealisedBy::Shading ||
         r == RealisedBy::SrgbWrite;
}

// The values a state takes: lowest..highest. Anything else is refused with
// D3DERR_INVALIDCALL: values outside the state's enumeration and what the
// device does not do (W-buffering, Phong shading, pyramidal and Gaussian
// filters, cylindrical wrapping, user clip planes, point sprites,
// antialiased lines, adaptive tessellation, fog after the pixel shader).
struct StateValues {
  DWORD lowest, highest;
};
inline constexpr StateValues kAnyValue = {0, 0xFFFFFFFF};
inline constexpr StateValues kOffOnly = {0, 0};
inline constexpr StateValues kBlendFactors = {D3DBLEND_ZERO, D3DBLEND_INVBLENDFACTOR};
inline constexpr StateValues kCompareFunctions = {D3DCMP_NEVER, D3DCMP_ALWAYS};
inline constexpr StateValues kStencilOps = {D3DSTENCILOP_KEEP, D3DSTENCILOP_DECR};
inline constexpr StateValues kBlendOps = {D3DBLENDOP_ADD, D3DBLENDOP_MAX};
inline constexpr StateValues kAddressModes = {D3DTADDRESS_WRAP, D3DTADDRESS_MIRRORONCE};

// Float states hold the float's bits.
inline constexpr DWORD kFloatZero = 0x00000000;   // 0.0f
inline constexpr DWORD kFloatOne = 0x3F800000;    // 1.0f
inline constexpr DWORD kFloat64 = 0x42800000;     // 64.0f

struct RenderStateInfo {
  D3DRENDERSTATETYPE state;
  const char* name;
  DWORD defaultValue;  // D3DRS_ZENABLE's is D3DZB_FALSE without an automatic depth-stencil buffer
  StateValues values;
  RealisedBy realisedBy;
};

#define OSTREVIN_RS(name) D3DRS_##name, "D3DRS_" #name

// In the SDK's order; every D3DRS_ name of d3d9.h has its row.
inline constexpr RenderStateInfo kRenderStateTable[] = {
    {OSTREVIN_RS(ZENABLE), D3DZB_TRUE, {D3DZB_FALSE, D3DZB_TRUE}, RealisedBy::DepthTest},
    {OSTREVIN_RS(FILLMODE), D3DFILL_SOLID, {D3DFILL_POINT, D3DFILL_SOLID}, RealisedBy::FillMode},
    {OSTREVIN_RS(SHADEMODE), D3DSHADE_GOURAUD, {D3DSHADE_FLAT, D3DSHADE_GOURAUD}, RealisedBy::Shading},
    {OSTREVIN_RS(ZWRITEENABLE), TRUE, kAnyValue, RealisedBy::DepthWrite},
    {OSTREVIN_RS(ALPHATESTENABLE), FALSE, kAnyValue, RealisedBy::AlphaTestEnable},
    {OSTREVIN_RS(LASTPIXEL), TRUE, kAnyValue, RealisedBy::LastPixel},
    {OSTREVIN_RS(SRCBLEND), D3DBLEND_ONE, kBlendFactors, RealisedBy::BlendFunction},
    {OSTREVIN_RS(DESTBLEND), D3DBLEND_ZERO, kBlendFactors, RealisedBy::BlendFunction},
    {OSTREVIN_RS(CULLMODE), D3DCULL_CCW, {D3DCULL_NONE, D3DCULL_CCW}, RealisedBy::Culling},
    {OSTREVIN_RS(ZFUNC), D3DCMP_LESSEQUAL, kCompareFunctions, RealisedBy::DepthFunction},
    {OSTREVIN_RS(ALPHAREF), 0, kAnyValue, RealisedBy::AlphaReference},
    {OSTREVIN_RS(ALPHAFUNC), D3DCMP_ALWAYS, kCompareFunctions, RealisedBy::AlphaFunction},
    {OSTREVIN_RS(DITHERENABLE), FALSE, kAnyValue, RealisedBy::Dither},
    {OSTREVIN_RS(ALPHABLENDENABLE), FALSE, kAnyValue, RealisedBy::Blending},
    {OSTREVIN_RS(FOGENABLE), FALSE, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(SPECULARENABLE), FALSE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGCOLOR), 0, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGTABLEMODE), D3DFOG_NONE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGSTART), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGEND), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGDENSITY), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(RANGEFOGENABLE), FALSE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(STENCILENABLE), FALSE, kAnyValue, RealisedBy::StencilTest},
    {OSTREVIN_RS(STENCILFAIL), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILZFAIL), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILPASS), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILFUNC), D3DCMP_ALWAYS, kCompareFunctions, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILREF), 0, kAnyValue, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILMASK), 0xFFFFFFFF, kAnyValue, RealisedBy::Stencil},
    {OSTREVIN_RS(STENCILWRITEMASK), 0xFFFFFFFF, kAnyValue, RealisedBy::Stencil},
    {OSTREVIN_RS(TEXTUREFACTOR), 0xFFFFFFFF, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP0), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP1), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP2), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP3), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP4), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP5), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP6), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP7), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(CLIPPING), TRUE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(LIGHTING), TRUE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(AMBIENT), 0, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(FOGVERTEXMODE), D3DFOG_NONE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(COLORVERTEX), TRUE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(LOCALVIEWER), TRUE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(NORMALIZENORMALS), FALSE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(DIFFUSEMATERIALSOURCE), D3DMCS_COLOR1, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(SPECULARMATERIALSOURCE), D3DMCS_COLOR2, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(AMBIENTMATERIALSOURCE), D3DMCS_MATERIAL, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(EMISSIVEMATERIALSOURCE), D3DMCS_MATERIAL, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(VERTEXBLEND), D3DVBF_DISABLE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(CLIPPLANEENABLE), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSIZE), kFloatOne, kAnyValue, RealisedBy::PointSize},
    {OSTREVIN_RS(POINTSIZE_MIN), kFloatOne, kAnyValue, RealisedBy::PointSize},
    {OSTREVIN_RS(POINTSPRITEENABLE), FALSE, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSCALEENABLE), FALSE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSCALE_A), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSCALE_B), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSCALE_C), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(MULTISAMPLEANTIALIAS), TRUE, kAnyValue, RealisedBy::Recorded},  // no multisampling
    {OSTREVIN_RS(MULTISAMPLEMASK), 0xFFFFFFFF, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(PATCHEDGESTYLE), D3DPATCHEDGE_DISCRETE, kAnyValue, RealisedBy::Recorded},
    // Direct3D 9's own token, which neither D3DDMT_ENABLE nor D3DDMT_DISABLE is.
    {OSTREVIN_RS(DEBUGMONITORTOKEN), 0xBAADCAFE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(POINTSIZE_MAX), kFloat64, kAnyValue, RealisedBy::PointSize},  // the device's MaxPointSize
    {OSTREVIN_RS(INDEXEDVERTEXBLENDENABLE), FALSE, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(COLORWRITEENABLE), 0xF, kAnyValue, RealisedBy::ColourWrite},
    {OSTREVIN_RS(TWEENFACTOR), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(BLENDOP), D3DBLENDOP_ADD, kBlendOps, RealisedBy::BlendFunction},
    {OSTREVIN_RS(POSITIONDEGREE), D3DDEGREE_CUBIC, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(NORMALDEGREE), D3DDEGREE_LINEAR, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(SCISSORTESTENABLE), FALSE, kAnyValue, RealisedBy::ScissorTest},
    {OSTREVIN_RS(SLOPESCALEDEPTHBIAS), kFloatZero, kAnyValue, RealisedBy::DepthBias},
    {OSTREVIN_RS(ANTIALIASEDLINEENABLE), FALSE, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(MINTESSELLATIONLEVEL), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(MAXTESSELLATIONLEVEL), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(ADAPTIVETESS_X), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(ADAPTIVETESS_Y), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(ADAPTIVETESS_Z), kFloatOne, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(ADAPTIVETESS_W), kFloatZero, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(ENABLEADAPTIVETESSELLATION), FALSE, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(TWOSIDEDSTENCILMODE), FALSE, kAnyValue, RealisedBy::Stencil},
    {OSTREVIN_RS(CCW_STENCILFAIL), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(CCW_STENCILZFAIL), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(CCW_STENCILPASS), D3DSTENCILOP_KEEP, kStencilOps, RealisedBy::Stencil},
    {OSTREVIN_RS(CCW_STENCILFUNC), D3DCMP_ALWAYS, kCompareFunctions, RealisedBy::Stencil},
    // Render targets 1 to 3, which the device does not have.
    {OSTREVIN_RS(COLORWRITEENABLE1), 0xF, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(COLORWRITEENABLE2), 0xF, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(COLORWRITEENABLE3), 0xF, kAnyValue, RealisedBy::Recorded},
    {OSTREVIN_RS(BLENDFACTOR), 0xFFFFFFFF, kAnyValue, RealisedBy::BlendColour},
    {OSTREVIN_RS(SRGBWRITEENABLE), FALSE, kAnyValue, RealisedBy::SrgbWrite},
    {OSTREVIN_RS(DEPTHBIAS), kFloatZero, kAnyValue, RealisedBy::DepthBias},
    {OSTREVIN_RS(WRAP8), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP9), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP10), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP11), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP12), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP13), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP14), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(WRAP15), 0, kOffOnly, RealisedBy::Recorded},
    {OSTREVIN_RS(SEPARATEALPHABLENDENABLE), FALSE, kAnyValue, RealisedBy::BlendFunction},
    {OSTREVIN_RS(SRCBLENDALPHA), D3DBLEND_ONE, kBlendFactors, RealisedBy::BlendFunction},
    {OSTREVIN_RS(DESTBLENDALPHA), D3DBLEND_ZERO, kBlendFactors, RealisedBy::BlendFunction},
    {OSTREVIN_RS(BLENDOPALPHA), D3DBLENDOP_ADD, kBlendOps, RealisedBy::BlendFunction},
};

#undef OSTREVIN_RS

struct SamplerStateInfo {
  D3DSAMPLERSTATETYPE state;
  const char* name;
  DWORD defaultValue;
  StateValues values;
  SamplerRealisedBy realisedBy;
};

#define OSTREVIN_SAMP(name) D3DSAMP_##name, "D3DSAMP_" #name

// The same for each of the 16 pixel samplers, in the SDK's order.
inline constexpr SamplerStateInfo kSamplerStateTable[] = {
    {OSTREVIN_SAMP(ADDRESSU), D3DTADDRESS_WRAP, kAddressModes, SamplerRealisedBy::AddressU},
    {OSTREVIN_SAMP(ADDRESSV), D3DTADDRESS_WRAP, kAddressModes, SamplerRealisedBy::AddressV},
    {OSTREVIN_SAMP(ADDRESSW), D3DTADDRESS_WRAP, kAddressModes, SamplerRealisedBy::AddressW},
    {OSTREVIN_SAMP(BORDERCOLOR), 0, kAnyValue, SamplerRealisedBy::BorderColour},
    {OSTREVIN_SAMP(MAGFILTER), D3DTEXF_POINT, {D3DTEXF_NONE, D3DTEXF_ANISOTROPIC}, SamplerRealisedBy::Filter},
    {OSTREVIN_SAMP(MINFILTER), D3DTEXF_POINT, {D3DTEXF_NONE, D3DTEXF_ANISOTROPIC}, SamplerRealisedBy::Filter},
    {OSTREVIN_SAMP(MIPFILTER), D3DTEXF_NONE, {D3DTEXF_NONE, D3DTEXF_LINEAR}, SamplerRealisedBy::Filter},
    {OSTREVIN_SAMP(MIPMAPLODBIAS), kFloatZero, kAnyValue, SamplerRealisedBy::LodBias},
    {OSTREVIN_SAMP(MAXMIPLEVEL), 0, kAnyValue, SamplerRealisedBy::MaxMipLevel},
    {OSTREVIN_SAMP(MAXANISOTROPY), 1, kAnyValue, SamplerRealisedBy::Filter},
    {OSTREVIN_SAMP(SRGBTEXTURE), FALSE, kAnyValue, SamplerRealisedBy::SrgbTexture},
    {OSTREVIN_SAMP(ELEMENTINDEX), 0, kAnyValue, SamplerRealisedBy::Recorded},
    {OSTREVIN_SAMP(DMAPOFFSET), 0, kAnyValue, SamplerRealisedBy::Recorded},
};

#undef OSTREVIN_SAMP

// Render state numbers are below this (the SDK's are up to 209).
inline constexpr UINT kRenderStateNumbers = 256;

// Row + 1 of each render state number (0: no such state), made at compile
// time, so that finding a state's row is one read.
struct RenderStateRows {
  uint8_t row[kRenderStateNumbers] = {};
  constexpr RenderStateRows() {
    for (size_t i = 0; i < sizeof(kRenderStateTable) / sizeof(kRenderStateTable[0]); ++i)
      row[static_cast<UINT>(kRenderStateTable[i].state)] = static_cast<uint8_t>(i + 1);
  }
};
inline constexpr RenderStateRows kRenderStateRows{};

// The row of a state, nullptr for a number Direct3D 9 does not define.
inline const RenderStateInfo* FindRenderState(UINT state) {
  if (state >= kRenderStateNumbers || kRenderStateRows.row[state] == 0) return nullptr;
  return &kRenderStateTable[kRenderStateRows.row[state] - 1];
}
inline const SamplerStateInfo* FindSamplerState(UINT state) {
  constexpr UINT kRows = sizeof(kSamplerStateTable) / sizeof(kSamplerStateTable[0]);
  if (state < 1 || state > kRows) return nullptr;
  return &kSamplerStateTable[state - 1];
}
// Whether the state's row takes `value`.
inline bool Takes(const StateValues& values, DWORD value) { return value >= values.lowest && value <= values.highest; }

}  // namespace ostrevin::d3d9
