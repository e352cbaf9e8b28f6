#include "Startup.h"

#include <atomic>

namespace ostrevin {
namespace {

constexpr int kMaxTasks = 8;
// Zero-initialised before any constructor runs, so registering is safe
// from any static object's constructor.
StartupTask g_tasks[kMaxTasks];
std::atomic<int> g_taskCount{0};

}  // namespace

bool RegisterStartupTask(StartupTask task) {
  const int slot = g_taskCount.fetch_add(1);
  if (slot >= kMaxTasks) return false;
  g_tasks[slot] = task;
  return true;
}

void RunStartupTasks() {
  const int count = g_taskCount.load() < kMaxTasks ? g_taskCount.load() : kMaxTasks;
  for (int i = 0; i < count; ++i) g_tasks[i]();
}

}  // namespace ostrevin
