// Stand-in for the scene in the shell tests: records what the shell calls.
#pragma once

#include <string>

#include "app/GameApplication.h"

class COstrevin3D : public CGameApplication {
 public:
  bool Create() override;
  void Destroy() override;
  void Render() override;
  void Update(float seconds) override;

  // Behaviour.
  bool failCreate = false;
  int closeAfterRenders = 0;  // posts WM_CLOSE from that Render on; 0 never
  int strayMessagesOnRender = 0;  // posts this many WM_USER messages from the first Render

  // Record: C(reate) D(estroy) U(pdate) R(ender), in call order.
  std::string log;
  int renders = 0;
  float lastStep = 0.0f;
  bool userDataSetDuringUpdate = true;
};

extern COstrevin3D myApp;
