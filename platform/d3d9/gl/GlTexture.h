// The GL texture behind a 2D texture: storage for its levels in the format
// table's GL format, each level's texels uploaded from the front's
// system-memory copy, and with mip generation the levels below the top one
// made by GL after each upload (a full chain of them, though Direct3D shows
// one level).
#pragma once

#include <cstddef>

namespace ostrevin::formats {
struct FormatInfo;
}

namespace ostrevin::d3d9 {

class GlDevice;

// One level's size and texels (rows as the format table lays them out).
struct GlTextureLevel {
  unsigned width, height;
  const void* data;
  size_t bytes;
};

class GlTexture {
 public:
  // A texture of `count` levels from `levels`; with `generateMips` GL makes
  // the full chain below level 0 and keeps it made.
  void Create(GlDevice& device, const formats::FormatInfo& format, const GlTextureLevel* levels, unsigned count,
              bool generateMips);
  void Upload(GlDevice& device, unsigned level, const GlTextureLevel& texels);
  // The levels below the top one made again from it (with mip generation only).
  void GenerateMips(GlDevice& device);
  void Destroy(GlDevice& device);
  unsigned Name() const { return m_name; }  // 0 while there is none
  unsigned LevelCount() const { return m_levels; }  // as Direct3D shows them

 private:
  unsigned m_name = 0;
  unsigned m_levels = 0;
  const formats::FormatInfo* m_format = nullptr;
  bool m_generateMips = false;
};

}  // namespace ostrevin::d3d9
