// The OpenGL 3.3 core (or OpenGL ES 3.0, in a web page) side of a device: the context and what it can do, the
// back buffer, the binding cache, the program and vertex-array caches, and
// the calls that realise the recorded Direct3D state. It validates nothing:
// the Device has done so before it calls here. This header is the back's
// face to the front: it names no GL type, so the front never sees GL.
//
// Where GL differs from Direct3D 9 this side hides it: depth runs 0..1
// (glClipControl, or a rewrite in the vertex shader), pixel centres sit on
// integer coordinates (the translated vertex shader moves positions by half a
// pixel), the front face is clockwise, D3DCOLOR attributes are read as BGRA (on ES,
// without GL_BGRA attributes, swapped back by the vertex shader),
// and the back buffer's rows are top first for Direct3D (GL's y is flipped
// at the viewport, scissor and blit).
#pragma once

#include <d3d9.h>

#include <SDL.h>

#include <memory>
#include <vector>

#include "DeviceState.h"

namespace ostrevin::formats {
struct FormatInfo;
}  // namespace ostrevin::formats

namespace ostrevin::d3d9 {

class Resource;
struct GlStateCache;
struct GlProgram;
class GlProgramCache;
class GlVertexArrayCache;

struct GlCaps {
  bool clipControl = false;     // depth 0..1 without rewriting shaders
  bool s3tc = false;            // DXT textures
  bool robust = false;          // a reset context is reported
  float maxAnisotropy = 0.0f;   // 0: anisotropic filtering not offered
  // OpenGL ES 3.0 (WebGL2) against GL 3.3 core: shaders in GLSL ES 3.00, and
  // what it lacks, each false there. The device realises base vertices
  // otherwise and refuses the rest at the call (TakesRenderState,
  // TakesSamplerState, TakesFormat, FeedsVertexType).
  bool es = false;
  bool polygonMode = true;     // glPolygonMode: D3DFILL_POINT and D3DFILL_WIREFRAME
  bool provokingVertex = true; // glProvokingVertex: D3DSHADE_FLAT from the first vertex
  bool pointSize = true;       // glPointSize: D3DRS_POINTSIZE without a shader's PSIZE
  bool baseVertex = true;      // glDrawElementsBaseVertex (else attribute offsets per base vertex)
  bool textureSwizzle = true;  // GL_TEXTURE_SWIZZLE_RGBA: formats whose channels GL stores elsewhere
  bool bgra = true;            // GL_BGRA uploads and D3DCOLOR vertex data
  bool borderColour = true;    // GL_CLAMP_TO_BORDER: D3DTADDRESS_BORDER
  bool lodBias = true;         // GL_TEXTURE_LOD_BIAS: D3DSAMP_MIPMAPLODBIAS
  bool polygonOffsetLines = true;  // GL_POLYGON_OFFSET_LINE and _POINT
};

// The offscreen framebuffer Direct3D draws into, with the automatic
// depth-stencil buffer when there is one (GL names).
struct GlBackBuffer {
  unsigned framebuffer = 0, color = 0, depthStencil = 0;
  UINT width = 0, height = 0;
  bool depth = false, stencil = false;
};

class GlDevice {
 public:
  explicit GlDevice(SDL_Window* window);
  ~GlDevice();
  GlDevice(const GlDevice&) = delete;
  GlDevice& operator=(const GlDevice&) = delete;

  // Context (GlContext.cpp).
  HRESULT CreateContext(int swapInterval);
  void DestroyContext();
  bool Alive() const { return m_context != nullptr; }
  void MakeCurrent();
  bool ContextWasReset() const;  // the driver lost the context
  void SetSwapInterval(int interval);
  const GlCaps& Caps() const { return m_caps; }
  GlStateCache& Cache() { return *m_cache; }

  // Back buffer and presentation (GlPresent.cpp). depthFormat is D3DFMT_D16,
  // D3DFMT_D24X8, D3DFMT_D24S8, or D3DFMT_UNKNOWN for no depth-stencil buffer.
  HRESULT CreateBackBuffer(UINT width, UINT height, D3DFORMAT depthFormat);
  void DestroyBackBuffer();
  const GlBackBuffer& BackBuffer() const { return m_backBuffer; }
  // Scales the source rectangle of the back buffer (all of it when null) to
  // the destination rectangle of the window's drawable, and swaps.
  void Present(const RECT* sourceRect, const RECT* destRect);

  // Render, sampler and viewport state (GlRenderStates.cpp).
  void ApplyAll(const DeviceState& state);  // the whole state, and the fixed GL set-up
  void ApplyRenderState(const DeviceState& state, D3DRENDERSTATETYPE which);
  // Whether the context realises the value of a state the front accepts
  // (GlCaps: an ES context lacks some); the front refuses the rest.
  bool TakesRenderState(const DeviceState& state, D3DRENDERSTATETYPE which, DWORD value) const;
  bool TakesSamplerState(D3DSAMPLERSTATETYPE which, DWORD value) const;
  bool TakesFormat(const formats::FormatInfo& format) const;
  void ApplySamplerState(const DeviceState& state, DWORD sampler, D3DSAMPLERSTATETYPE which);
  void ApplyViewport(const DeviceState& state);
  void ShadersChanged();
  void VertexInputChanged();
  // A new declaration: new vertex input, and without GL_BGRA attributes
  // also a program variant (its D3DCOLOR inputs are read swapped).
  void DeclarationChanged();

  // Clears and the scissor rectangle (GlClear.cpp). A clear leaves the
  // scissor state as the Direct3D state has it.
  void Clear(const DeviceState& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
             DWORD stencil);
  void ApplyScissorRect(const DeviceState& state);

  // Draws (GlDraw.cpp) of `indices` indices or `vertices` vertices, as many
  // as the primitives of `type` take.
  HRESULT DrawIndexed(const DeviceState& state, D3DPRIMITIVETYPE type, UINT indices, UINT indexBytes, UINT startIndex,
                      INT baseVertex);
  HRESULT Draw(const DeviceState& state, D3DPRIMITIVETYPE type, UINT startVertex, UINT vertices);

  // Whether a vertex element of the D3DDECLTYPE can be fed to a shader (GlVertexInput.cpp).
  bool FeedsVertexType(BYTE d3ddecltype) const;

  // Drops programs and vertex arrays made with a resource being released.
  void ForgetResource(const Resource* resource);

  // Room for texels reordered on their way to GL (GlTexture.cpp), kept
  // between uploads.
  std::vector<unsigned char>& UploadScratch() { return m_uploadScratch; }

 private:
  // The program, vertex array, constants and textures of a draw; false when
  // the state cannot draw (no shader pair, or a stream the declaration reads unset).
  // `baseVertex`: where the vertex array starts (0 where GL adds the base vertex).
  bool PrepareDraw(const DeviceState& state, D3DPRIMITIVETYPE type, INT baseVertex);
  void BindTextures(const DeviceState& state, const GlProgram& program);
  // D3DRS_LASTPIXEL: the pixel at the end of each line, which GL's lines
  // leave out, as a one-pixel point at the line's last vertex. `first` is
  // the first vertex or index of the line draw; `indexBytes` 0 for an
  // unindexed draw.
  void DrawLastPixels(const DeviceState& state, D3DPRIMITIVETYPE type, UINT first, UINT count, UINT indexBytes,
                      INT baseVertex);
  void ApplyBlend(const DeviceState& state);
  void ApplyStencil(const DeviceState& state);

  SDL_Window* m_window;
  SDL_GLContext m_context = nullptr;
  GlCaps m_caps;
  std::unique_ptr<GlStateCache> m_cache;
  GlBackBuffer m_backBuffer;
  unsigned m_samplers[DeviceState::kSamplers] = {};  // GL sampler objects, one per sampler
  std::vector<unsigned> m_raisedBaseLevels;  // textures given a GL_TEXTURE_BASE_LEVEL above 0
  int m_programPointSize = -1;               // GL_PROGRAM_POINT_SIZE as last set; -1 unknown
  // The last pixels of a line list, one point per line (kept between draws):
  // glMultiDraw*'s firsts, counts, index offsets and base vertices.
  std::vector<int> m_pointFirsts;
  std::vector<int> m_pointCounts;
  std::vector<const void*> m_pointOffsets;
  std::vector<int> m_pointBaseVertices;
  std::vector<unsigned char> m_uploadScratch;
  std::unique_ptr<GlProgramCache> m_programs;
  std::unique_ptr<GlVertexArrayCache> m_vertexArrays;
};

}  // namespace ostrevin::d3d9
