// COstrevin3D: the demo scene, a three-part model in a parent chain.
#pragma once

#include "app/GameApplication.h"
#include "scene/Camera.h"
#include "scene/EntityModel.h"

struct CShader;
struct CTexture;

class COstrevin3D : public CGameApplication {
 public:
  COstrevin3D();

  bool Create() override;
  void Destroy() override;
  void Render() override;
  void Update(float seconds) override;
  ~COstrevin3D() override;
  // The frame's states, shaders, constants, texture and draws: what Render
  // issues between Clear and EndScene.
  void DrawFrame(IDirect3DDevice9* dev);

  CCamera m_camera;
  CShader* m_pPixelShader;
  CShader* m_pVertexShader;
  CEntityModel m_top;
  CEntityModel m_middle;
  CEntityModel m_bottom;
  CTexture* m_pTexture;

 private:
  void UpdateCamera(float seconds);
};

extern COstrevin3D myApp;
