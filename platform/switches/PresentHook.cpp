// Present's hook: present-failure injection, the capture, the statistics,
// the frame counter and exit-after, in the order Present needs them.
#include <algorithm>

#include "Capture.h"
#include "Stats.h"
#include "SwitchValues.h"
#include "Switches.h"

namespace ostrevin::switches {

namespace {
bool Contains(const std::vector<unsigned>& list, unsigned value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}
}  // namespace

PresentVerdict OnPresent(unsigned frame, bool deviceLost, const BackBufferView& backBuffer) {
  const Switches& sw = Get();
  PresentVerdict verdict;
  verdict.failAsLost = !deviceLost && Contains(sw.presentFail, frame);
  if (!deviceLost && !verdict.failAsLost && !sw.captureDir.empty() &&
      (Contains(sw.captureFrames, frame) || (sw.captureFrames.empty() && sw.exitAfter != 0 && frame == sw.exitAfter)))
    CaptureFrame(backBuffer, sw.captureDir, frame);
  if (sw.stats) RecordFrameTime(frame);
  SetFramesPresented(frame);
  verdict.postClose = sw.exitAfter != 0 && frame == sw.exitAfter;
  return verdict;
}

int SwapInterval(int requested) { return Get().vsync >= 0 ? Get().vsync : requested; }

}  // namespace ostrevin::switches
