#include "scene/Camera.h"

CCamera::CCamera() { D3DXMatrixIdentity(&m_projection); }

CCamera::~CCamera() {}

D3DXMATRIX CCamera::GetViewMatrix() const {
  alignas(16) D3DXMATRIX world = GetWorldMatrix();
  D3DXMatrixInverse(&world, NULL, &world);
  return world;
}
