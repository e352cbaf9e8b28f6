// Parsing of the OSTREVIN_* switches, the frame counter, the key script and
// the hooks that answer with a parsed value.
#include "Switches.h"
#include "SwitchValues.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "KeyTable.h"

namespace ostrevin::switches {

namespace {

unsigned ParseUnsigned(const char* s) {
  if (s == nullptr) return 0;
  char* end = nullptr;
  const unsigned long v = std::strtoul(s, &end, 10);
  return (end != s && v < 0xFFFFFFFFul) ? static_cast<unsigned>(v) : 0;
}

// "1,100,200" -> {1, 100, 200}; ignores anything that is not a number.
std::vector<unsigned> ParseList(const char* s) {
  std::vector<unsigned> out;
  while (s != nullptr && *s != '\0') {
    char* end = nullptr;
    const unsigned long v = std::strtoul(s, &end, 10);
    if (end == s) {
      ++s;
      continue;
    }
    if (v > 0 && v < 0xFFFFFFFFul) out.push_back(static_cast<unsigned>(v));
    s = end;
  }
  return out;
}

bool ParseNumber(const char** p, const char* end, unsigned* out) {
  const char* s = *p;
  unsigned long v = 0;
  if (s == end || *s < '0' || *s > '9') return false;
  for (; s != end && *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + static_cast<unsigned>(*s - '0');
    if (v > 0xFFFFFFFFul) return false;
  }
  *p = s;
  *out = static_cast<unsigned>(v);
  return true;
}

// OSTREVIN_KEYS=UP:10-20,LEFT:15-30,A:3
std::vector<ScriptedKey> ParseKeyScript(const char* keys) {
  std::vector<ScriptedKey> script;
  const char* p = keys;
  while (p != nullptr && *p != 0) {
    const char* end = std::strchr(p, ',');
    if (end == nullptr) end = p + std::strlen(p);
    const char* colon = static_cast<const char*>(std::memchr(p, ':', static_cast<size_t>(end - p)));
    bool ok = false;
    if (colon != nullptr) {
      const int vk = win32::KeyFromName(p, static_cast<size_t>(colon - p));
      const char* q = colon + 1;
      unsigned first = 0, last = 0;
      if (vk != 0 && ParseNumber(&q, end, &first)) {
        last = first;
        if (q != end && *q == '-') {
          ++q;
          ok = ParseNumber(&q, end, &last) && q == end && last >= first;
        } else {
          ok = q == end;
        }
      }
      if (ok) script.push_back({vk, first, last});
    }
    if (!ok && end != p) {
      std::fprintf(stderr, "OSTREVIN_KEYS: ignoring '%.*s' (want NAME:FIRST-LAST)\n", static_cast<int>(end - p), p);
    }
    p = *end == ',' ? end + 1 : end;
  }
  return script;
}

Switches ReadSwitches() {
  Switches sw;
  sw.exitAfter = ParseUnsigned(std::getenv("OSTREVIN_EXIT_AFTER"));
  if (const char* dir = std::getenv("OSTREVIN_CAPTURE")) sw.captureDir = dir;
  sw.captureFrames = ParseList(std::getenv("OSTREVIN_CAPTURE_FRAMES"));
  sw.presentFail = ParseList(std::getenv("OSTREVIN_PRESENT_FAIL"));
  if (const char* v = std::getenv("OSTREVIN_VSYNC")) sw.vsync = std::strcmp(v, "0") == 0 ? 0 : 1;
  if (const char* v = std::getenv("OSTREVIN_STATS")) sw.stats = std::strcmp(v, "0") != 0 && *v != '\0';
  sw.keys = ParseKeyScript(std::getenv("OSTREVIN_KEYS"));
  if (const char* v = std::getenv("OSTREVIN_MESSAGEBOX")) sw.nativeMessageBox = std::strcmp(v, "0") != 0;
  if (const char* v = std::getenv("OSTREVIN_SHADER_CACHE")) sw.shaderCache = std::strcmp(v, "0") != 0;
  return sw;
}

unsigned g_framesPresented = 0;

}  // namespace

const Switches& Get() {
  static const Switches s_switches = ReadSwitches();
  return s_switches;
}

void SetFramesPresented(unsigned count) { g_framesPresented = count; }
unsigned FramesPresented() { return g_framesPresented; }

bool ScriptedKeyDown(int vKey) {
  const unsigned frame = g_framesPresented + 1;
  for (const ScriptedKey& key : Get().keys) {
    if (key.vk == vKey && frame >= key.first && frame <= key.last) return true;
  }
  return false;
}

bool NativeMessageBox() { return Get().nativeMessageBox; }

bool ShaderCacheEnabled() { return Get().shaderCache; }

}  // namespace ostrevin::switches
