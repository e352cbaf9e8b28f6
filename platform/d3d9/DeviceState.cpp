#include "DeviceState.h"

#include <cstring>

#include "Buffer.h"
#include "Shader.h"
#include "Texture.h"
#include "VertexDeclaration.h"

namespace ostrevin::d3d9 {

Resource* AsResource(VertexDeclaration* object) { return object; }
Resource* AsResource(VertexBuffer* object) { return object; }
Resource* AsResource(IndexBuffer* object) { return object; }
Resource* AsResource(VertexShader* object) { return object; }
Resource* AsResource(PixelShader* object) { return object; }
Resource* AsResource(IDirect3DBaseTexture9* object) { return dynamic_cast<Resource*>(object); }

const GlBuffer& GlOf(const VertexBuffer& buffer) { return buffer.Gl(); }
const GlBuffer& GlOf(const IndexBuffer& buffer) { return buffer.Gl(); }
const GlTexture* GlOf(IDirect3DBaseTexture9* texture) {
  return texture != nullptr ? &static_cast<Texture*>(texture)->Gl() : nullptr;  // SetTexture takes Textures only
}
const std::vector<D3DVERTEXELEMENT9>& ElementsOf(const VertexDeclaration& decl) { return decl.Elements(); }
const GlslShader& GlslOf(const VertexShader& shader) { return shader.Glsl(); }
const GlslShader& GlslOf(const PixelShader& shader) { return shader.Glsl(); }

DeviceState::DeviceState() {
  std::memset(renderStates, 0, sizeof(renderStates));
  std::memset(samplerStates, 0, sizeof(samplerStates));
  std::memset(&viewport, 0, sizeof(viewport));
  std::memset(&scissorRect, 0, sizeof(scissorRect));
  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  std::memset(vsInts, 0, sizeof(vsInts));
  std::memset(psInts, 0, sizeof(psInts));
  std::memset(vsBools, 0, sizeof(vsBools));
  std::memset(psBools, 0, sizeof(psBools));
}

void DeviceState::SetDefaults(bool autoDepthStencil, UINT width, UINT height) {
  for (UINT s = 0; s < kRenderStates; ++s) renderStates[s] = DefaultRenderState(s, autoDepthStencil);

  for (UINT i = 0; i < kSamplers; ++i) {
    DWORD* ss = samplerStates[i];
    std::memset(ss, 0, sizeof(samplerStates[i]));
    ss[D3DSAMP_ADDRESSU] = ss[D3DSAMP_ADDRESSV] = ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
  }

  viewport = {0, 0, width, height, 0.0f, 1.0f};
  ++viewportVersion;
  scissorRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};

  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  std::memset(vsInts, 0, sizeof(vsInts));
  std::memset(psInts, 0, sizeof(psInts));
  std::memset(vsBools, 0, sizeof(vsBools));
  std::memset(psBools, 0, sizeof(psBools));
  ++vsVersion;
  ++psVersion;
  ReleaseBindings();
}

void DeviceState::ReleaseBindings() {
  decl = nullptr;
  for (Stream& stream : streams) {
    stream.buffer = nullptr;
    stream.offset = stream.stride = 0;
  }
  indices = nullptr;
  vs = nullptr;
  ps = nullptr;
  for (Binding<IDirect3DBaseTexture9>& texture : textures) texture = nullptr;
}

bool IsRenderState(UINT s) {
  static const unsigned char kStates[] = {
      7,   8,   9,   14,  15,  16,  19,  20,  22,  23,  24,  25,  26,  27,  28,  29,  34,  35,  36,  37,
      38,  47,  48,  52,  53,  54,  55,  56,  57,  58,  59,  60,  128, 129, 130, 131, 132, 133, 134, 135,
      136, 137, 139, 140, 141, 142, 143, 145, 146, 147, 148, 151, 152, 154, 155, 156, 157, 158, 159, 160,
      161, 162, 163, 165, 166, 167, 168, 170, 171, 172, 173, 174, 175, 176, 178, 179, 180, 181, 182, 183,
      184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 198, 199, 200, 201, 202, 203, 204, 205,
      206, 207, 208, 209};
  if (s >= DeviceState::kRenderStates) return false;
  for (unsigned char k : kStates)
    if (k == s) return true;
  return false;
}

namespace {
DWORD Float(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof(d));
  return d;
}
}  // namespace

DWORD DefaultRenderState(UINT s, bool autoDepthStencil) {
  switch (s) {
    case D3DRS_ZENABLE: return autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    case D3DRS_FILLMODE: return D3DFILL_SOLID;
    case D3DRS_SHADEMODE: return D3DSHADE_GOURAUD;
    case D3DRS_ZWRITEENABLE: return TRUE;
    case D3DRS_LASTPIXEL: return TRUE;
    case D3DRS_SRCBLEND: return D3DBLEND_ONE;
    case D3DRS_DESTBLEND: return D3DBLEND_ZERO;
    case D3DRS_CULLMODE: return D3DCULL_CCW;
    case D3DRS_ZFUNC: return D3DCMP_LESSEQUAL;
    case D3DRS_ALPHAFUNC: return D3DCMP_ALWAYS;
    case 37: return Float(1.0f);                   // FOGEND
    case 38: return Float(1.0f);                   // FOGDENSITY
    case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL: case D3DRS_STENCILPASS: return D3DSTENCILOP_KEEP;
    case D3DRS_STENCILFUNC: return D3DCMP_ALWAYS;
    case D3DRS_STENCILMASK: case D3DRS_STENCILWRITEMASK: return 0xFFFFFFFF;
    case 60: return 0xFFFFFFFF;                    // TEXTUREFACTOR
    case 136: return TRUE;                         // CLIPPING
    case D3DRS_LIGHTING: return TRUE;
    case 141: case 142: return TRUE;               // COLORVERTEX, LOCALVIEWER
    case 145: return 1;                            // DIFFUSEMATERIALSOURCE: D3DMCS_COLOR1
    case 146: return 2;                            // SPECULARMATERIALSOURCE: D3DMCS_COLOR2
    case D3DRS_POINTSIZE: case D3DRS_POINTSIZE_MIN: return Float(1.0f);
    case 158: return Float(1.0f);                  // POINTSCALE_A
    case 161: return TRUE;                         // MULTISAMPLEANTIALIAS
    case 162: return 0xFFFFFFFF;                   // MULTISAMPLEMASK
    case D3DRS_POINTSIZE_MAX: return Float(64.0f);
    case D3DRS_COLORWRITEENABLE: return 0xF;
    case D3DRS_BLENDOP: return D3DBLENDOP_ADD;
    case 172: return 3;                            // POSITIONDEGREE: D3DDEGREE_CUBIC
    case 173: return 1;                            // NORMALDEGREE: D3DDEGREE_LINEAR
    case 178: case 179: return Float(1.0f);        // MINTESSELLATIONLEVEL, MAXTESSELLATIONLEVEL
    case 182: return Float(1.0f);                  // ADAPTIVETESS_Z
    case D3DRS_CCW_STENCILFAIL: case D3DRS_CCW_STENCILZFAIL: case D3DRS_CCW_STENCILPASS: return D3DSTENCILOP_KEEP;
    case D3DRS_CCW_STENCILFUNC: return D3DCMP_ALWAYS;
    case 190: case 191: case 192: return 0xF;      // COLORWRITEENABLE1..3
    case D3DRS_BLENDFACTOR: return 0xFFFFFFFF;
    case D3DRS_SRCBLENDALPHA: return D3DBLEND_ONE;
    case D3DRS_DESTBLENDALPHA: return D3DBLEND_ZERO;
    case D3DRS_BLENDOPALPHA: return D3DBLENDOP_ADD;
    default: return 0;
  }
}

bool AcceptsRenderState(UINT s, DWORD v) {
  switch (s) {
    case D3DRS_ZENABLE: return v <= D3DZB_TRUE;  // no W-buffer
    case D3DRS_FILLMODE: return v >= D3DFILL_POINT && v <= D3DFILL_SOLID;
    case D3DRS_SHADEMODE: return v == D3DSHADE_FLAT || v == D3DSHADE_GOURAUD;  // Phong does not exist
    case D3DRS_SRCBLEND: case D3DRS_DESTBLEND:
    case D3DRS_SRCBLENDALPHA: case D3DRS_DESTBLENDALPHA:
      return v >= D3DBLEND_ZERO && v <= D3DBLEND_INVBLENDFACTOR;
    case D3DRS_CULLMODE: return v >= D3DCULL_NONE && v <= D3DCULL_CCW;
    case D3DRS_ZFUNC: case D3DRS_ALPHAFUNC:
    case D3DRS_STENCILFUNC: case D3DRS_CCW_STENCILFUNC:
      return v >= D3DCMP_NEVER && v <= D3DCMP_ALWAYS;
    case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL: case D3DRS_STENCILPASS:
    case D3DRS_CCW_STENCILFAIL: case D3DRS_CCW_STENCILZFAIL: case D3DRS_CCW_STENCILPASS:
      return v >= D3DSTENCILOP_KEEP && v <= D3DSTENCILOP_DECR;
    case D3DRS_BLENDOP: case D3DRS_BLENDOPALPHA:
      return v >= D3DBLENDOP_ADD && v <= D3DBLENDOP_MAX;
    // Features the layer does not have: only their off values.
    case D3DRS_FOGENABLE:                           // fog after the pixel shader
    case 128: case 129: case 130: case 131:         // WRAP0..7: cylindrical wrapping
    case 132: case 133: case 134: case 135:
    case 198: case 199: case 200: case 201:         // WRAP8..15
    case 202: case 203: case 204: case 205:
    case 152:                                       // CLIPPLANEENABLE: user clip planes
    case 156:                                       // POINTSPRITEENABLE
    case 176:                                       // ANTIALIASEDLINEENABLE
    case 184:                                       // ENABLEADAPTIVETESSELLATION
      return v == 0;
    default: return true;
  }
}

bool AcceptsSamplerState(UINT type, DWORD v) {
  switch (type) {
    case D3DSAMP_ADDRESSU: case D3DSAMP_ADDRESSV: case D3DSAMP_ADDRESSW:
      return v >= D3DTADDRESS_WRAP && v <= D3DTADDRESS_MIRRORONCE;
    case D3DSAMP_MAGFILTER: case D3DSAMP_MINFILTER:
      return v <= D3DTEXF_ANISOTROPIC;  // no pyramidal or Gaussian quad filters
    case D3DSAMP_MIPFILTER:
      return v <= D3DTEXF_LINEAR;
    default:
      return true;
  }
}

bool IsSamplerState(UINT type) { return type >= D3DSAMP_ADDRESSU && type < DeviceState::kSamplerStates; }

}  // namespace ostrevin::d3d9
