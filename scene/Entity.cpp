#include "scene/Entity.h"

CEntity::CEntity() : m_pParent(NULL) { D3DXMatrixIdentity(&m_local); }

CEntity::~CEntity() {}

D3DXMATRIX CEntity::GetParentMatrix() const {
  if (m_pParent != NULL) {
    return m_pParent->GetWorldMatrix();
  }
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  return identity;
}

D3DXMATRIX CEntity::GetWorldMatrix() const {
  if (m_pParent != NULL) {
    const D3DXMATRIX parentWorld = GetParentMatrix();
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &m_local, &parentWorld);
    return world;
  }
  return m_local;
}
