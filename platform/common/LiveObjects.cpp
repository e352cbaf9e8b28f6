#include "LiveObjects.h"

#include <cstdio>
#include <cstdlib>

namespace ostrevin {
namespace {

int g_live = 0;
bool g_reportRegistered = false;

void Report() {
  if (g_live != 0) {
    std::fprintf(stderr, "ostrevin: %d Direct3D/D3DX object(s) still alive at exit\n", g_live);
  }
}

}  // namespace

void ObjectCreated() { ++g_live; }
void ObjectDestroyed() { --g_live; }
int LiveObjects() { return g_live; }

void ReportLiveObjectsAtExit() {
  if (!g_reportRegistered) {
    g_reportRegistered = true;
    std::atexit(Report);
  }
}

}  // namespace ostrevin
