// IDirect3DTexture9: 2D textures in the formats of the format table, each
// level a system-memory copy uploaded to the GL texture on unlock.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

#include "ComObject.h"
#include "FormatTable.h"
#include "GlFunctions.h"
#include "Resource.h"

namespace ostrevin::d3d9 {

class Texture final : public ComObject<IDirect3DTexture9>, public Resource {
 public:
  Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const formats::FormatInfo& format,
          D3DPOOL pool);
  ~Texture() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetOwnerDevice(ppDevice); }
  DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
  DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                     DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
  void DestroyGl() override;
  void RecreateGl() override;
  GLuint Name() const { return m_name; }
  D3DPOOL Pool() const { return m_desc.Pool; }

 protected:
  bool Implements(REFIID riid) const override;

 private:
  struct Level {
    UINT width, height, pitch, rows;
    std::vector<uint8_t> data;
    bool locked = false;
  };
  void Upload(UINT level);

  D3DSURFACE_DESC m_desc;  // of level 0
  const formats::FormatInfo& m_format;
  std::vector<Level> m_levels;
  GLuint m_name = 0;
};

}  // namespace ostrevin::d3d9
