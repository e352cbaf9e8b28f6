#include "scene/EntityModel.h"

#include "graphics/Renderer.h"

CEntityModel::CEntityModel(const std::string& path) : m_pMesh(NULL) {
  if (!path.empty()) {
    LoadMesh(path);
  }
}

CEntityModel::~CEntityModel() {
  if (m_pMesh != NULL) {
    m_pMesh = NULL;
  }
}

void CEntityModel::LoadMesh(const std::string& path) {
  m_pMesh = NULL;
  m_pMesh = CRenderer::Instance().CreateMesh(path);
}
