// CVertex: the 68-byte vertex of GAMEMODEL files, memory and vertex buffers,
// and the vertex declaration that describes it.
#pragma once

#include <d3dx9.h>

#include <cstddef>

struct CVertex {
  D3DXVECTOR3 m_position;
  D3DXVECTOR3 m_normal;
  D3DXVECTOR3 m_normal1;
  D3DXVECTOR3 m_normal2;
  D3DXVECTOR4 m_texCoord;
  D3DCOLOR m_color;
};

static_assert(sizeof(CVertex) == 68, "CVertex is the 68-byte record of files and vertex buffers");
static_assert(offsetof(CVertex, m_position) == 0, "layout");
static_assert(offsetof(CVertex, m_normal) == 12, "layout");
static_assert(offsetof(CVertex, m_normal1) == 24, "layout");
static_assert(offsetof(CVertex, m_normal2) == 36, "layout");
static_assert(offsetof(CVertex, m_texCoord) == 48, "layout");
static_assert(offsetof(CVertex, m_color) == 64, "layout");

// Stride of CVertex in every vertex buffer.
constexpr UINT kVertexStride = sizeof(CVertex);

// The element list of CVertex: six elements on stream 0, then the end marker.
extern const D3DVERTEXELEMENT9 g_vertexElements[7];
