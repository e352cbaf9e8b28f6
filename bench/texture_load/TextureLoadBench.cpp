// Texture loading: D3DXCreateTextureFromFileW end to end against a floor
// (TextureFloor.h: the same file to the same texture, decoded by the same
// decoder, 8-bit pictures kept 8-bit, written plainly), on a device of the
// layer (a real GL context: Xvfb and llvmpipe under scripts/bench.sh; the
// upload is the layer's, UnlockRect to glTexSubImage2D, for both), for
// inputs made at run time (TextureInputs.h).
//
// Every load runs in a child process of its own (this program again, with
// --child), which opens the device, then times the load up to glFinish and
// measures its peak memory: the rise of the process's peak resident set
// (VmHWM in /proc/self/status, reset to the current resident set through
// /proc/self/clear_refs just before the load) over the resident set before
// it. That counts every page the load touched at its highest, the decoder's,
// the layer's and the driver's alike, and nothing a previous load left in
// the heap. Loader and floor children alternate, run by run; each figure is
// the median over the runs. A load under 50 ms is timed again in its child,
// the texture made anew each time, and the child gives the median of those.
//   bench_texture_load [--runs N] [--keep DIR]
// --keep DIR writes the inputs there and leaves them; otherwise they go to a
// temporary folder that is removed. A child's line ends with a hash of every
// level's bytes (FNV-1a, taken after the figures), so that two builds of the
// loader can be checked to make the same texture:
//   bench_texture_load --child loader FILE
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <d3dx9.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TextureFloor.h"
#include "TextureInputs.h"
#include "support/TestDevice.h"

namespace {

long StatusKib(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(field);
  while (std::fgets(line, sizeof(line), f) != nullptr) {
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') value = std::atol(line + n + 1);
  }
  std::fclose(f);
  return value;
}

bool ResetPeak() {
  std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (f == nullptr) return false;
  const bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

uint64_t LevelBytes(D3DFORMAT format, UINT w, UINT h) {
  switch (format) {
    case D3DFMT_DXT1: return static_cast<uint64_t>((w + 3) / 4) * ((h + 3) / 4) * 8;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5: return static_cast<uint64_t>((w + 3) / 4) * ((h + 3) / 4) * 16;
    case D3DFMT_A32B32G32R32F: return static_cast<uint64_t>(w) * h * 16;
    case D3DFMT_L8: return static_cast<uint64_t>(w) * h;
    case D3DFMT_A8L8: return static_cast<uint64_t>(w) * h * 2;
    default: return static_cast<uint64_t>(w) * h * 4;
  }
}

// FNV-1a over every level's rows, in order.
uint64_t LevelsHash(IDirect3DTexture9* texture) {
  uint64_t hash = 14695981039346656037ull;
  for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
    D3DSURFACE_DESC desc = {};
    D3DLOCKED_RECT locked = {};
    texture->GetLevelDesc(i, &desc);
    if (FAILED(texture->LockRect(i, &locked, nullptr, D3DLOCK_READONLY))) return 0;
    const uint64_t bytes = LevelBytes(desc.Format, desc.Width, desc.Height);
    const bool blocks = desc.Format == D3DFMT_DXT1 || desc.Format == D3DFMT_DXT2 || desc.Format == D3DFMT_DXT3 ||
                        desc.Format == D3DFMT_DXT4 || desc.Format == D3DFMT_DXT5;
    const UINT rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
    const uint64_t rowBytes = bytes / rows;
    for (UINT row = 0; row < rows; ++row) {
      const uint8_t* p = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch;
      for (uint64_t k = 0; k < rowBytes; ++k) hash = (hash ^ p[k]) * 1099511628211ull;
    }
    texture->UnlockRect(i);
  }
  return hash;
}

// Loads shorter than this are timed over repeats (see Child).
constexpr double kShortLoadMs = 50.0;

// One load in this process; prints its figures on standard output.
int Child(const std::string& method, const std::string& path) {
  TestDevice gl;
  if (const char* failed = gl.OpenProgramShape(L"TextureLoadBench")) {
    std::fprintf(stderr, "bench_texture_load: %s (no display?)\n", failed);
    return 1;
  }
  const std::wstring wide(path.begin(), path.end());
  glFinish();
  if (!ResetPeak()) {
    std::fprintf(stderr, "bench_texture_load: cannot reset the peak through /proc/self/clear_refs\n");
    return 1;
  }
  const long before = StatusKib("VmRSS");
  // One load up to glFinish, and its milliseconds.
  const auto load = [&](IDirect3DTexture9** out, double* ms) {
    const auto t0 = std::chrono::steady_clock::now();
    const HRESULT result = method == "loader" ? D3DXCreateTextureFromFileW(gl.device, wide.c_str(), out)
                                              : LoadTextureFloor(gl.device, path.c_str(), out);
    glFinish();
    *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    return result;
  };
  IDirect3DTexture9* texture = nullptr;
  double ms = 0.0;
  const HRESULT hr = load(&texture, &ms);
  const long peak = StatusKib("VmHWM");
  if (FAILED(hr)) {
    std::printf("refused=0x%08lx\n", static_cast<unsigned long>(hr));
    gl.Close();
    return 0;
  }
  uint64_t bytes = 0;
  D3DSURFACE_DESC desc = {};
  for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
    texture->GetLevelDesc(i, &desc);
    bytes += LevelBytes(desc.Format, desc.Width, desc.Height);
  }
  texture->GetLevelDesc(0, &desc);
  // A load of a few milliseconds is within the clock's noise on a busy
  // machine: such a load is repeated (the texture made again, up to a
  // quarter of a second in all) and its time is the median of the loads.
  if (ms < kShortLoadMs) {
    std::vector<double> times{ms};
    double total = ms;
    while (total < 250.0 && times.size() < 64) {
      IDirect3DTexture9* again = nullptr;
      double againMs = 0.0;
      const HRESULT hrAgain = load(&again, &againMs);
      if (FAILED(hrAgain)) break;
      again->Release();
      times.push_back(againMs);
      total += times.back();
    }
    std::sort(times.begin(), times.end());
    ms = times[times.size() / 2];
  }
  std::printf("ms=%.3f peak_kib=%ld bytes=%llu width=%u height=%u levels=%lu format=%d hash=%016llx\n",
              ms, peak - before,
              static_cast<unsigned long long>(bytes), desc.Width, desc.Height,
              static_cast<unsigned long>(texture->GetLevelCount()), static_cast<int>(desc.Format),
              static_cast<unsigned long long>(LevelsHash(texture)));
  texture->Release();
  gl.Close();
  return 0;
}

struct Result {
  bool ok = false;
  std::string refused;
  double ms = 0;
  double peakMib = 0;
  unsigned long long bytes = 0;
  std::string shape;  // size, levels, format
};

Result RunChild(const std::string& self, const std::string& method, const std::string& path) {
  Result r;
  const std::string command = "'" + self + "' --child " + method + " '" + path + "'";
  std::FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return r;
  char line[512] = {};
  const bool got = std::fgets(line, sizeof(line), p) != nullptr;
  const int status = pclose(p);
  if (!got || status != 0) return r;
  if (const char* refused = std::strstr(line, "refused=")) {
    r.refused = std::string(refused + 8, std::strcspn(refused + 8, "\n"));
    return r;
  }
  long peakKib = 0;
  unsigned width = 0, height = 0;
  unsigned long levels = 0;
  int format = 0;
  if (std::sscanf(line, "ms=%lf peak_kib=%ld bytes=%llu width=%u height=%u levels=%lu format=%d", &r.ms, &peakKib,
                  &r.bytes, &width, &height, &levels, &format) != 7) {
    return r;
  }
  r.peakMib = peakKib / 1024.0;
  r.shape = std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(levels) + " levels format " +
            std::to_string(format);
  r.ok = true;
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Spread(const std::vector<double>& v, const char* format) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), format, *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()));
  return buffer;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return Child(argv[2], argv[3]);
  int runs = 3;
  std::string keep;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
      keep = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--keep DIR]\n", argv[0]);
      return 2;
    }
  }
  char selfPath[4096];
  const ssize_t n = readlink("/proc/self/exe", selfPath, sizeof(selfPath) - 1);
  if (n <= 0) return 1;
  selfPath[n] = '\0';

  std::string dir = keep;
  if (dir.empty()) {
    char pattern[] = "/tmp/ostrevin-texture-bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    dir = pattern;
  } else {
    std::filesystem::create_directories(dir);
  }
  std::vector<TextureInput> inputs;
  const auto g0 = std::chrono::steady_clock::now();
  const bool made = MakeTextureInputs(dir, &inputs);
  const auto g1 = std::chrono::steady_clock::now();
  if (!made) return 1;
  std::printf("texture loading: D3DXCreateTextureFromFileW against the floor, %d runs each (median), "
              "each load in a process of its own (inputs made in %.1f s)\n",
              runs, std::chrono::duration<double>(g1 - g0).count());
  std::printf("%-31s %8s %8s %20s %20s %6s %16s %16s %14s %14s\n", "input", "file", "texture", "loader ms (lo-hi)",
              "floor ms (lo-hi)", "time", "loader peak MiB", "floor peak MiB", "peak/texture", "peak/(file+");
  std::printf("%-31s %8s %8s %20s %20s %6s %16s %16s %14s %14s\n", "", "MB", "MB", "", "", "/floor", "(lo-hi)",
              "(lo-hi)", "(floor's)", "texture)");

  // The closing line's memory measure is the peak over the file's and the
  // texture's bytes (the goal: at most 2x), with the floor's for the same
  // input; the peak over the floor's peak, worst input, besides.
  double worstTime = 0, worstFileTexture = 0, worstFileTextureFloor = 0, worstOverFloor = 0;
  std::string worstTimeInput, worstMemoryInput, worstOverFloorInput;
  bool allOk = true;
  for (const TextureInput& input : inputs) {
    std::vector<double> loaderMs, floorMs, loaderPeak, floorPeak;
    Result loader, floor;
    std::string problem;
    for (int run = 0; run < runs && problem.empty(); ++run) {
      // The order alternates, so that neither always follows the other.
      for (int k = 0; k < 2 && problem.empty(); ++k) {
        const bool loaderTurn = (k == 0) == (run % 2 == 0);
        Result r = RunChild(selfPath, loaderTurn ? "loader" : "floor", input.path);
        if (!r.ok) {
          problem = std::string(loaderTurn ? "loader" : "floor") +
                    (r.refused.empty() ? " failed" : " refused the file (" + r.refused + ")");
          break;
        }
        (loaderTurn ? loaderMs : floorMs).push_back(r.ms);
        (loaderTurn ? loaderPeak : floorPeak).push_back(r.peakMib);
        (loaderTurn ? loader : floor) = r;
      }
    }
    if (problem.empty() && loader.shape != floor.shape) {
      problem = "the floor made " + floor.shape + ", the loader " + loader.shape;
    }
    if (!problem.empty()) {
      std::printf("%-31s %s\n", input.name.c_str(), problem.c_str());
      allOk = false;
      continue;
    }
    const double fileMb = static_cast<double>(std::filesystem::file_size(input.path)) / 1e6;
    const double textureMb = static_cast<double>(loader.bytes) / 1e6;
    const double mib = 1024.0 * 1024.0;
    const double time = Median(loaderMs) / Median(floorMs);
    const double memory = Median(loaderPeak) * mib / static_cast<double>(loader.bytes);
    const double fileTexture = fileMb * 1e6 + static_cast<double>(loader.bytes);
    const double memoryFileTexture = Median(loaderPeak) * mib / fileTexture;
    const double floorMemory = Median(floorPeak) * mib / static_cast<double>(loader.bytes);
    const double floorFileTexture = Median(floorPeak) * mib / fileTexture;
    char loaderCol[64], floorCol[64], loaderPeakCol[64], floorPeakCol[64], memoryCol[64], fileTextureCol[64];
    std::snprintf(memoryCol, sizeof(memoryCol), "%.2f (%.2f)", memory, floorMemory);
    std::snprintf(fileTextureCol, sizeof(fileTextureCol), "%.2f (%.2f)", memoryFileTexture, floorFileTexture);
    std::snprintf(loaderCol, sizeof(loaderCol), "%.1f (%s)", Median(loaderMs), Spread(loaderMs, "%.0f-%.0f").c_str());
    std::snprintf(floorCol, sizeof(floorCol), "%.1f (%s)", Median(floorMs), Spread(floorMs, "%.0f-%.0f").c_str());
    std::snprintf(loaderPeakCol, sizeof(loaderPeakCol), "%.0f (%s)", Median(loaderPeak),
                  Spread(loaderPeak, "%.0f-%.0f").c_str());
    std::snprintf(floorPeakCol, sizeof(floorPeakCol), "%.0f (%s)", Median(floorPeak),
                  Spread(floorPeak, "%.0f-%.0f").c_str());
    std::printf("%-31s %8.2f %8.2f %20s %20s %6.2f %16s %16s %14s %14s\n", input.name.c_str(), fileMb, textureMb,
                loaderCol, floorCol, time, loaderPeakCol, floorPeakCol, memoryCol, fileTextureCol);
    if (time > worstTime) {
      worstTime = time;
      worstTimeInput = input.name;
    }
    if (memoryFileTexture > worstFileTexture) {
      worstFileTexture = memoryFileTexture;
      worstFileTextureFloor = floorFileTexture;
      worstMemoryInput = input.name;
    }
    const double overFloor = Median(loaderPeak) / std::max(Median(floorPeak), 1.0);
    if (overFloor > worstOverFloor) {
      worstOverFloor = overFloor;
      worstOverFloorInput = input.name;
    }
  }
  if (keep.empty()) std::filesystem::remove_all(dir);
  if (!allOk) {
    std::printf("texture load: not measured on every input (see above)\n");
    return 1;
  }
  std::printf("texture load: time %.2fx floor (%s), memory %.2fx file + texture bytes (%s; floor %.2fx), "
              "peak %.2fx floor's (%s)\n",
              worstTime, worstTimeInput.c_str(), worstFileTexture, worstMemoryInput.c_str(), worstFileTextureFloor,
              worstOverFloor, worstOverFloorInput.c_str());
  return 0;
}
