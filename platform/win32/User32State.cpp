#include "User32State.h"

namespace ostrevin::win32 {

User32State& State() {
  // Zero-initialised before anything runs: no construction order to mind.
  static User32State state;
  return state;
}

}  // namespace ostrevin::win32
