#include "DeviceState.h"

#include <cstring>

namespace ostrevin::d3d9 {

DeviceState::DeviceState() {
  std::memset(renderStates, 0, sizeof(renderStates));
  std::memset(samplerStates, 0, sizeof(samplerStates));
  std::memset(&viewport, 0, sizeof(viewport));
  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  decl = nullptr;
  stream = nullptr;
  streamOffset = streamStride = 0;
  indices = nullptr;
  vs = nullptr;
  ps = nullptr;
  std::memset(textures, 0, sizeof(textures));
}

void DeviceState::SetDefaults(bool autoDepthStencil, UINT width, UINT height) {
  std::memset(renderStates, 0, sizeof(renderStates));
  DWORD* rs = renderStates;
  rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

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

  std::memset(vsConstants, 0, sizeof(vsConstants));
  std::memset(psConstants, 0, sizeof(psConstants));
  ++vsVersion;
  ++psVersion;
  decl = nullptr;
  stream = nullptr;
  streamOffset = streamStride = 0;
  indices = nullptr;
  vs = nullptr;
  ps = nullptr;
  std::memset(textures, 0, sizeof(textures));
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

bool IsSamplerState(UINT type) { return type >= D3DSAMP_ADDRESSU && type < DeviceState::kSamplerStates; }

}  // namespace ostrevin::d3d9
