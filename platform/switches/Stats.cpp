#include "Stats.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "LiveObjects.h"

namespace ostrevin::switches {

namespace {

struct Stats {
  unsigned frames = 0;
  uint64_t firstNs = 0, lastNs = 0, firstCpuNs = 0, lastCpuNs = 0;
  bool registered = false;
};
Stats g_stats;

uint64_t NowNs(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

void PrintStats() {
  const double frames = g_stats.frames > 1 ? static_cast<double>(g_stats.frames - 1) : 0.0;
  const double seconds = static_cast<double>(g_stats.lastNs - g_stats.firstNs) / 1e9;
  const double cpuMs = static_cast<double>(g_stats.lastCpuNs - g_stats.firstCpuNs) / 1e6;
  std::fprintf(stderr, "ostrevin stats: frames=%u fps=%.1f cpu_ms_per_frame=%.3f live_objects=%d\n",
               g_stats.frames, seconds > 0 ? frames / seconds : 0.0, frames > 0 ? cpuMs / frames : 0.0,
               LiveObjects());
}

}  // namespace

void RecordFrameTime(unsigned frame) {
  if (!g_stats.registered) {
    g_stats.registered = true;
    std::atexit(PrintStats);
  }
  const uint64_t now = NowNs(CLOCK_MONOTONIC), cpu = NowNs(CLOCK_PROCESS_CPUTIME_ID);
  if (g_stats.frames == 0) {
    g_stats.firstNs = now;
    g_stats.firstCpuNs = cpu;
  }
  g_stats.lastNs = now;
  g_stats.lastCpuNs = cpu;
  g_stats.frames = frame;
}

}  // namespace ostrevin::switches
