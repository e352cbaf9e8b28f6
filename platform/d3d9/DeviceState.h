// The Direct3D 9 state a device records: what Set* stored and Get* returns,
// the objects bound for drawing, and the version counters that tell the GL
// side which constants changed.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace ostrevin::d3d9 {

class VertexDeclaration;
class VertexBuffer;
class IndexBuffer;
class VertexShader;
class PixelShader;

struct DeviceState {
  static constexpr UINT kRenderStates = 256;
  static constexpr UINT kSamplers = 16;
  static constexpr UINT kSamplerStates = 14;  // D3DSAMP_ADDRESSU (1) .. D3DSAMP_DMAPOFFSET (13)
  static constexpr UINT kVertexRegisters = 256;
  static constexpr UINT kPixelRegisters = 224;

  DWORD renderStates[kRenderStates];
  DWORD samplerStates[kSamplers][kSamplerStates];
  D3DVIEWPORT9 viewport;
  uint64_t viewportVersion = 0;

  float vsConstants[kVertexRegisters][4];
  float psConstants[kPixelRegisters][4];
  uint64_t vsVersion = 1, psVersion = 1;

  VertexDeclaration* decl;
  VertexBuffer* stream;
  UINT streamOffset, streamStride;
  IndexBuffer* indices;
  VertexShader* vs;
  PixelShader* ps;
  IDirect3DBaseTexture9* textures[kSamplers];

  DeviceState();
  // Direct3D 9's state after device creation or Reset, for a back buffer of
  // width x height; the constant versions move on so every program reloads.
  void SetDefaults(bool autoDepthStencil, UINT width, UINT height);
};

// Whether Direct3D 9 defines render state `state` (anything else is refused).
bool IsRenderState(UINT state);
bool IsSamplerState(UINT type);

}  // namespace ostrevin::d3d9
