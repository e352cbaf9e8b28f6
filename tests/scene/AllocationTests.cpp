// Render and Update of the demo scene allocate nothing once the first frame
// is made. Counted by replacing operator new, which is why this test is a
// program of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "fake/FakeDevice.h"
#include "fake/FakeUser32.h"
#include "scene/SceneTest.h"

// Counts every operator new while armed.
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<long> g_allocations{0};
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (g_countAllocations.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The nothrow form too: the layer allocates with it, and a sanitizer runtime's
// own nothrow form would pair with the free() below as a mismatch.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_countAllocations.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

TEST_F(SceneTest, RenderAndUpdateAllocateNothing) {
  ASSERT_TRUE(m_app.Create());
  m_app.Update(0.02f);
  m_app.Render();  // first frame: anything lazily made is made now
  fake::SetRecording(false);
  fake::SetKeysDown({VK_UP, VK_LEFT});
  g_allocations = 0;
  g_countAllocations = true;
  for (int i = 0; i < 100; ++i) {
    m_app.Update(0.02f);
    m_app.Render();
  }
  g_countAllocations = false;
  fake::SetKeysDown({});
  fake::SetRecording(true);
  EXPECT_EQ(g_allocations.load(), 0);
}

}  // namespace
