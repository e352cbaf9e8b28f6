// The floor that D3DXCreateTextureFromFileW is measured against: the same
// file made into the same texture (size, levels, format, D3DPOOL_MANAGED on
// the same device) the plain way. The file is read whole and decoded by the
// decoder the loader uses (stb_image for image files, the layer's DDS
// and Radiance HDR readers); 8-bit pictures stay 8-bit (swizzled to BGRA in place, a
// fixed-point bilinear resample up to powers of two, a box-filter mip chain
// with rounding, DXT1 levels a DDS lacks encoded by stb_dxt as the loader
// encodes them), a float HDR stays float; each level is written into the
// texture's LockRect as soon as it is made, and the one before it freed.
// Only what the benchmark's inputs need: RGB or RGBA image files, HDR, DXT1 DDS.
#pragma once

#include <d3d9.h>

HRESULT LoadTextureFloor(IDirect3DDevice9* device, const char* path, IDirect3DTexture9** texture);
