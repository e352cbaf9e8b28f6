// CEntity: a scene node with a local transform and an optional parent.
#pragma once

#include <d3dx9.h>

class CEntity {
 public:
  CEntity();
  virtual ~CEntity();

  // The parent's world matrix, or the identity for a root.
  D3DXMATRIX GetParentMatrix() const;
  // m_local times the parent's world matrix; a root's is m_local itself.
  D3DXMATRIX GetWorldMatrix() const;

  CEntity* m_pParent;
  alignas(16) D3DXMATRIX m_local;  // 16-byte aligned, as a D3DXMATRIXA16
};
