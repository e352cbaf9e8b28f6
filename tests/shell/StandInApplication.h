// The application the shell tests link in place of the demo scene: it
// records what the shell calls and can fail or close on request.
#pragma once

#include <string>

#include "app/GameApplication.h"

class CStandInApplication : public CGameApplication {
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

// The one application object, as the program has its myApp.
extern CStandInApplication myApp;
