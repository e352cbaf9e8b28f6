// Linked into every test program: points OSTREVIN_SOURCE_DIR and
// OSTREVIN_DEMO_DIR at this build's folders unless the caller set them,
// keeps the start-up failure message off the screen, and keeps compiled
// shaders in the build folder rather than the user's cache.
#include <cstdlib>

namespace {

struct TestEnvironment {
  TestEnvironment() {
    setenv("OSTREVIN_SOURCE_DIR", OSTREVIN_TEST_SOURCE_DIR, 0);
    setenv("OSTREVIN_DEMO_DIR", OSTREVIN_TEST_DEMO_DIR, 0);
    setenv("OSTREVIN_MESSAGEBOX", "0", 0);
    setenv("XDG_CACHE_HOME", OSTREVIN_TEST_CACHE_DIR, 1);
  }
};
const TestEnvironment g_environment;

}  // namespace
