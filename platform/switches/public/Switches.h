// The layer's test and benchmark switches: every OSTREVIN_* environment
// variable is read here, once, and nowhere else. The production paths reach
// this room through one narrow hook each (Present, GetAsyncKeyState); the
// capture, the statistics line and the frame counter live here too.
#pragma once

#include <string>
#include <vector>

namespace ostrevin::switches {

// The GL framebuffer Present is about to show, width x height pixels.
struct BackBufferView {
  unsigned framebuffer;
  unsigned width, height;
};

// OSTREVIN_KEYS=UP:10-20,LEFT:15-30: a virtual key held down in frames FIRST to LAST.
struct ScriptedKey {
  int vk;
  unsigned first, last;
};

struct Switches {
  unsigned exitAfter = 0;                // OSTREVIN_EXIT_AFTER
  std::string captureDir;                // OSTREVIN_CAPTURE
  std::vector<unsigned> captureFrames;   // OSTREVIN_CAPTURE_FRAMES
  std::vector<unsigned> presentFail;     // OSTREVIN_PRESENT_FAIL
  int vsync = -1;                        // OSTREVIN_VSYNC: -1 = as the present parameters say
  bool stats = false;                    // OSTREVIN_STATS
  std::vector<ScriptedKey> keys;         // OSTREVIN_KEYS
  bool nativeMessageBox = true;          // OSTREVIN_MESSAGEBOX=0 turns the native box off
  bool shaderCache = true;               // OSTREVIN_SHADER_CACHE=0 turns the compiled-shader cache off
};

// Parsed on first use; a malformed entry is reported on standard error and skipped.
const Switches& Get();

// The frame counter: frames presented so far, as Present last set it.
void SetFramesPresented(unsigned count);
unsigned FramesPresented();

// What Present does with a frame beyond showing it.
struct PresentVerdict {
  bool failAsLost = false;  // OSTREVIN_PRESENT_FAIL: return D3DERR_DEVICELOST, lost until Reset
  bool postClose = false;   // OSTREVIN_EXIT_AFTER: post WM_CLOSE to the device window
};

// Hook of Present, before the frame is shown: `frame` is the device's count
// of presents, this one included. Decides a failure, captures the back buffer
// of a frame that will be shown, records the statistics and sets the frame
// counter.
PresentVerdict OnPresent(unsigned frame, bool deviceLost, const BackBufferView& backBuffer);

// The swap interval: OSTREVIN_VSYNC's when set, else `requested`.
int SwapInterval(int requested);

// Hook of GetAsyncKeyState: whether the key script holds vKey down in the
// frame being prepared (FramesPresented() + 1).
bool ScriptedKeyDown(int vKey);

}  // namespace ostrevin::switches
