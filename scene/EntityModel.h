// CEntityModel: an entity that shows a mesh owned by the device manager.
#pragma once

#include <string>

#include "scene/Entity.h"

class CMesh;

class CEntityModel : public CEntity {
 public:
  explicit CEntityModel(const std::string& path);
  ~CEntityModel() override;

  // Forgets the current mesh (without freeing it) and loads `path`.
  void LoadMesh(const std::string& path);

  CMesh* m_pMesh;
};
