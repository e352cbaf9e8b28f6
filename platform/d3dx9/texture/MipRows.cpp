#include "MipRows.h"

#include <algorithm>
#include <cstring>

#include "Pixels8.h"
#include "TextureLayout.h"

namespace d3dx {

namespace {

UINT Half(UINT n) { return std::max<UINT>(1, n / 2); }

}  // namespace

MipRows::MipRows(D3DFORMAT format, UINT width, UINT height, bool bgra, const Target* targets)
    : m_format(format),
      m_bgra(bgra),
      m_blocks(ostrevin::formats::IsCompressed(format)),
      m_width(width),
      m_height(height) {
  const UINT bandRows = m_blocks ? 4 : 2;
  UINT w = width, h = height;
  const UINT count = ostrevin::formats::FullChainLength(width, height) - 1;
  m_levels.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    w = Half(w);
    h = Half(h);
    m_levels.push_back(Level{w, h, 0, targets[i], std::vector<uint16_t>(static_cast<size_t>(w) * 4 * bandRows),
                             std::vector<uint16_t>(static_cast<size_t>(Half(w)) * 4)});
  }
  m_row.resize(m_levels.empty() ? 0 : static_cast<size_t>(m_levels[0].width) * 4);
}

void MipRows::PushSourceRows(const uint8_t* rows, UINT count, size_t stride) {
  if (m_levels.empty()) return;
  const UINT step = m_height > 1 ? 2 : 1;
  for (UINT i = 0; i + step <= count; i += step) {
    BoxDownsampleRows(rows + i * stride, m_width, step, stride, m_bgra, m_row.data());
    Push(0, m_row.data());
  }
}

// Row `rowsIn` of level `k`: kept in the level's band, encoded when a row of
// pixels or blocks is complete, and halved into the next level with the row
// before it (alone in a level one pixel high).
void MipRows::Push(size_t k, const uint16_t* row) {
  Level& level = m_levels[k];
  const UINT bandRows = m_blocks ? 4 : 2;
  const UINT y = level.rowsIn++;
  const size_t rowSamples = static_cast<size_t>(level.width) * 4;
  uint16_t* slot = level.band.data() + (y % bandRows) * rowSamples;
  std::memcpy(slot, row, rowSamples * sizeof(uint16_t));
  if (!m_blocks) {
    EncodeRows(m_format, slot, level.width, 1, level.target.bits + y * level.target.pitch, level.target.pitch);
  } else if (y % 4 == 3 || y + 1 == level.height) {
    EncodeRows(m_format, level.band.data(), level.width, y % 4 + 1, level.target.bits + (y / 4) * level.target.pitch,
               level.target.pitch);
  }
  if (k + 1 == m_levels.size()) return;
  if (level.height == 1) {
    BoxDownsampleRows(slot, level.width, 1, rowSamples, level.next.data());
    Push(k + 1, level.next.data());
  } else if (y % 2 == 1) {
    BoxDownsampleRows(slot - rowSamples, level.width, 2, rowSamples, level.next.data());
    Push(k + 1, level.next.data());
  }
}

}  // namespace d3dx
