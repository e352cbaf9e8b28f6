// CCamera: an entity whose inverse world matrix is the view matrix.
#pragma once

#include "scene/Entity.h"

class CCamera : public CEntity {
 public:
  CCamera();
  ~CCamera() override;

  D3DXMATRIX GetViewMatrix() const;

  D3DXMATRIX m_projection;
};
