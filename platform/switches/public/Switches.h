// The layer's test and benchmark switches: every OSTREVIN_* environment
// variable is read in this room, once, and nowhere else. The production
// paths reach it through the named hooks below only: Present (OnPresent),
// the device's context (SwapInterval), GetAsyncKeyState (ScriptedKeyDown),
// MessageBoxW (NativeMessageBox) and the compiled-shader cache
// (ShaderCacheEnabled). The parsed values themselves stay inside
// (SwitchValues.h); the capture, the statistics line and the frame counter
// live here too.
#pragma once

namespace ostrevin::switches {

// The GL framebuffer Present is about to show, width x height pixels.
struct BackBufferView {
  unsigned framebuffer;
  unsigned width, height;
};

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

// Hook of MessageBoxW: whether it shows the native box besides its line on
// standard error (OSTREVIN_MESSAGEBOX=0: the line only).
bool NativeMessageBox();

// Hook of D3DXCompileShader: whether it reads and writes the cache of
// compiled shaders (OSTREVIN_SHADER_CACHE=0: every compile runs glslang).
bool ShaderCacheEnabled();

}  // namespace ostrevin::switches
