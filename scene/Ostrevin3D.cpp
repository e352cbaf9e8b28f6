#include "scene/Ostrevin3D.h"

#include <cmath>
#include <string>

#include "graphics/Renderer.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"
#include "mesh/Mesh.h"
#include "mesh/Vertex.h"

COstrevin3D myApp;

CGameApplication& TheApplication() { return myApp; }

namespace {

const float kAnimationStep = 0.03f;
const float kHarmonicWeight = 0.2f;
const double kTwoPi = 6.283185307179586476925;

// Writes "Ostrevin: <what>" to the debugger output (standard error on Linux).
void Report(const std::string& what) {
  const std::string line = "Ostrevin: " + what + "\n";
  OutputDebugStringW(std::wstring(line.begin(), line.end()).c_str());
}

void CopyRotationRows(D3DXMATRIX& target, const D3DXMATRIX& rotation) {
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      target.m[row][col] = rotation.m[row][col];
    }
  }
}

}  // namespace

COstrevin3D::COstrevin3D()
    : m_camera(),
      m_pPixelShader(NULL),
      m_pVertexShader(NULL),
      m_top(""),
      m_middle(""),
      m_bottom(""),
      m_pTexture(NULL) {}

COstrevin3D::~COstrevin3D() {}

bool COstrevin3D::Create() {
  RECT client;
  GetClientRect(m_hWnd, &client);
  const UINT width = static_cast<UINT>(client.right - client.left);
  const UINT height = static_cast<UINT>(client.bottom - client.top);

  if (!CRenderer::Instance().Init(m_hWnd, width, height)) {
    // The shell ends the program without Destroy: give back what Init made.
    CRenderer::Instance().ReleaseAll();
    return false;
  }

  m_pVertexShader = CRenderer::Instance().LoadShader("vs-phong.hlsl", "main", "vs_2_0");
  if (m_pVertexShader == NULL) {
    Report(CRenderer::Instance().m_lastError);
  }
  m_pPixelShader = CRenderer::Instance().LoadShader("ps-phong.hlsl", "pixel_shader_main", "ps_2_0");
  if (m_pPixelShader == NULL) {
    Report(CRenderer::Instance().m_lastError);
  }
  m_pTexture = CRenderer::Instance().LoadTexture(L"Data/panel-01-diff.dds");
  if (m_pTexture == NULL) {
    Report(CRenderer::Instance().m_lastError + "; drawing untextured");
  }

  struct {
    CEntityModel* pModel;
    const char* path;
  } const models[] = {
      {&m_top, "Data/top.GAMEMODEL"}, {&m_middle, "Data/middle.GAMEMODEL"}, {&m_bottom, "Data/bottom.GAMEMODEL"}};
  bool meshesLoaded = true;
  for (const auto& model : models) {
    model.pModel->LoadMesh(model.path);
    if (model.pModel->m_pMesh == NULL) {
      Report(CRenderer::Instance().m_lastError);
      meshesLoaded = false;
    }
  }

  m_top.m_local._41 = 0.0f;
  m_top.m_local._42 = 16.0f;
  m_top.m_local._43 = 0.0f;
  m_middle.m_local._41 = 0.0f;
  m_middle.m_local._42 = 10.0f;
  m_middle.m_local._43 = 0.0f;
  m_bottom.m_local._41 = 0.0f;
  m_bottom.m_local._42 = 0.0f;
  m_bottom.m_local._43 = 0.0f;

  m_top.m_pParent = &m_middle;
  m_middle.m_pParent = &m_bottom;

  const D3DXVECTOR3 eye(25.0f, 75.0f, 75.0f);
  const D3DXVECTOR3 target(0.0f, 30.0f, 0.0f);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&m_camera.m_local, &eye, &target, &up);
  D3DXMatrixInverse(&m_camera.m_local, NULL, &m_camera.m_local);

  D3DXMatrixPerspectiveFovLH(&m_camera.m_projection, static_cast<float>(D3DX_PI / 3.0), 4.0f / 3.0f, 1.0f,
                             200.0f);

  // The frame reads both shaders and all three meshes without testing them,
  // so a start without them fails; the shell then ends the program without
  // Destroy, so everything made so far is given back here.
  if (m_pVertexShader == NULL || m_pPixelShader == NULL || !meshesLoaded) {
    CRenderer::Instance().ReleaseAll();
    return false;
  }
  return true;
}

void COstrevin3D::Render() {
  CRenderer& renderer = CRenderer::Instance();
  IDirect3DDevice9* dev = renderer.m_pDevice;
  if (dev == NULL) {
    return;
  }

  if (SUCCEEDED(dev->BeginScene())) {
    dev->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
  }
  DrawFrame(dev);
  dev->EndScene();
  if (FAILED(dev->Present(NULL, NULL, NULL, NULL))) {
    renderer.Reset();
  }
}

void COstrevin3D::DrawFrame(IDirect3DDevice9* dev) {
  CRenderer& renderer = CRenderer::Instance();
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

  dev->SetPixelShader(static_cast<IDirect3DPixelShader9*>(m_pPixelShader->m_pShader));
  dev->SetVertexShader(static_cast<IDirect3DVertexShader9*>(m_pVertexShader->m_pShader));

  const D3DXMATRIX view = m_camera.GetViewMatrix();
  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &view, &m_camera.m_projection);

  ID3DXConstantTable* pConstants = m_pVertexShader->m_pConstantTable;
  IDirect3DDevice9* pShaderDevice = m_pVertexShader->m_pDevice;
  pConstants->SetMatrix(pShaderDevice, "mViewProjection", &viewProjection);
  const D3DXVECTOR4 light(250.0f, 100.0f, 100.0f, 0.0f);
  pConstants->SetVector(pShaderDevice, "vLight", &light);
  const D3DXVECTOR4 cam(m_camera.m_local._41, m_camera.m_local._42, m_camera.m_local._43, 1.0f);
  pConstants->SetVector(pShaderDevice, "vCam", &cam);

  dev->SetTexture(0, m_pTexture != NULL ? m_pTexture->m_pD3DTexture : NULL);
  dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
  dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);

  CEntityModel* const models[] = {&m_top, &m_middle, &m_bottom};
  for (CEntityModel* pModel : models) {
    const D3DXMATRIX world = pModel->GetWorldMatrix();
    pConstants->SetMatrix(pShaderDevice, "mWorld", &world);
    dev->SetVertexDeclaration(renderer.m_pVertexDecl);
    dev->SetStreamSource(0, pModel->m_pMesh->m_pVertexBuffer, 0, kVertexStride);
    dev->SetIndices(pModel->m_pMesh->m_pIndexBuffer);
    pModel->m_pMesh->Draw(dev);
  }
}

void COstrevin3D::Destroy() { CRenderer::Instance().ReleaseAll(); }

void COstrevin3D::Update(float seconds) {
  static float s_animationTime = 0.0f;
  s_animationTime = s_animationTime + kAnimationStep;
  const float t = s_animationTime;

  const float t3 = 3.0f * t;
  const float cos3t = static_cast<float>(std::cos(static_cast<double>(t3)));
  const float cost = static_cast<float>(std::cos(static_cast<double>(t)));
  const float aTop = static_cast<float>(static_cast<double>(kHarmonicWeight) * cos3t - cost);

  D3DXMATRIX rotation;
  D3DXMatrixRotationZ(&rotation, aTop);
  CopyRotationRows(m_top.m_local, rotation);

  const float aMid = static_cast<float>(std::cos(static_cast<double>(t)));
  D3DXMatrixRotationZ(&rotation, aMid);
  CopyRotationRows(m_middle.m_local, rotation);

  // Both angles repeat every 2*pi of t. Wrapping once a period is complete
  // keeps every value of the first period and the motion continuous, where
  // an ever-growing float would stop advancing once 0.03 is lost in rounding.
  if (t >= kTwoPi) {
    s_animationTime = static_cast<float>(static_cast<double>(t) - kTwoPi);
  }

  UpdateCamera(seconds);
}

void COstrevin3D::UpdateCamera(float seconds) {
  const float speed = static_cast<float>(static_cast<double>(seconds) * 100.0);

  struct {
    int key;
    int row;
    float sign;
  } const keys[] = {{VK_LEFT, 0, -1.0f}, {VK_RIGHT, 0, 1.0f}, {VK_DOWN, 2, -1.0f}, {VK_UP, 2, 1.0f}};
  for (const auto& k : keys) {
    if ((GetAsyncKeyState(k.key) & 0x8000) == 0) {
      continue;
    }
    D3DXVECTOR3 axis(m_camera.m_local.m[k.row][0], m_camera.m_local.m[k.row][1], m_camera.m_local.m[k.row][2]);
    const D3DXMATRIX parent = m_camera.GetParentMatrix();
    D3DXVec3TransformCoord(&axis, &axis, &parent);
    const float dx = axis.x * speed;
    const float dy = axis.y * speed;
    const float dz = axis.z * speed;
    if (k.sign < 0.0f) {
      m_camera.m_local._41 = m_camera.m_local._41 - dx;
      m_camera.m_local._42 = m_camera.m_local._42 - dy;
      m_camera.m_local._43 = m_camera.m_local._43 - dz;
    } else {
      m_camera.m_local._41 = m_camera.m_local._41 + dx;
      m_camera.m_local._42 = m_camera.m_local._42 + dy;
      m_camera.m_local._43 = m_camera.m_local._43 + dz;
    }
  }
}
