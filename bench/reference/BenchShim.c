/* LD_PRELOAD shim for the frame benchmarks, the same for every program it
 * is loaded into:
 *   - counts malloc, calloc, realloc (and the aligned variants) over the
 *     whole process and on the main thread alone;
 *   - wraps SDL_GL_SwapWindow: the time of the first swap's return, and the
 *     allocation counts at that moment;
 *   - marks start-up milestones, each the first time it happens, in
 *     milliseconds from the constructor: SDL_CreateWindow returns
 *     (window_ms), SDL_GL_CreateContext returns (context_ms), a shader source is opened (*.hlsl or *.glsl: source_ms),
 *     the texture (*.dds: texture_ms), the first model (*.GAMEMODEL:
 *     model_ms), the first SDL_GL_SwapWindow is entered (swap_enter_ms);
 *     files are seen through fopen/open, so both programs are timed alike
 *     without changing either;
 *   - with BENCH_COUNT_FROM=K, the allocations from the return of swap K to
 *     the return of the last swap (steady_allocs, steady_main_allocs over
 *     steady_swaps frames): the per-frame figure without start-up or exit;
 *     steady_swap_allocs are those made inside SDL_GL_SwapWindow (the
 *     window system and driver present path);
 *     steady_exe_allocs are those the executable's own code asked for
 *     (the program and everything linked into it statically, i.e. our
 *     layer), told apart by the stack: the first frame outside the C and
 *     C++ runtimes and this shim lies in the executable (BENCH_COUNT_EXE=1
 *     counts them from the start, for bench_shim_exe_allocs());
 *   - at exit prints one line to standard error:
 *     "bench_shim: swaps=S allocs=A main_allocs=M first_swap_allocs=F
 *      first_swap_ms=T spawn_to_first_swap_ms=U maxrss_kib=R"
 *     first_swap_ms counts from the shim's constructor (after the dynamic
 *     loader, before main); spawn_to_first_swap_ms from BENCH_SPAWN_NS
 *     (CLOCK_REALTIME nanoseconds set by the caller just before exec), -1
 *     when that is not set; cpu_to_first_swap_ms is the process's CPU time
 *     (user and system, every thread) when the first swap returns, and
 *     children_cpu_ms that of its children waited for by then (the layer's
 *     compile processes): figures a busy machine disturbs less than the clock.
 * bench_shim_allocs() returns the process count for programs that look it
 * up with dlsym. The counters are plain atomics: no allocation, no lock. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t n, size_t size);
extern void* __libc_realloc(void* p, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static atomic_ulong g_allocs;
static atomic_ulong g_mainAllocs;
static unsigned long g_firstSwapAllocs;
static unsigned long g_firstSwapMainAllocs;
static unsigned long g_swaps;
static pid_t g_mainTid;
static uint64_t g_ctorNs;
static uint64_t g_firstSwapNs;
static uint64_t g_firstSwapRealNs;
static double g_firstSwapCpuMs = -1.0;
static double g_firstSwapChildrenCpuMs = -1.0;
static unsigned long g_countFrom;
static unsigned long g_fromAllocs, g_fromMainAllocs, g_lastAllocs, g_lastMainAllocs;
static __thread int t_isMain = -1;
static __thread int t_inSwap;
static atomic_ulong g_swapAllocs; /* made inside SDL_GL_SwapWindow, any thread */
static unsigned long g_fromSwapAllocs, g_lastSwapAllocs;
static atomic_ulong g_exeAllocs; /* steady-state allocations asked for by the executable's code */
static unsigned long g_fromExeAllocs, g_lastExeAllocs;
static __thread int t_inBacktrace;
static int g_countExe; /* BENCH_COUNT_FROM or BENCH_COUNT_EXE set */

/* Address ranges of the loaded objects: the executable, and the runtimes
 * whose frames sit between an allocation and the code that wanted it. */
enum { kMaxRanges = 32 };
typedef struct {
  uintptr_t begin, end;
} Range;
static Range g_exe[kMaxRanges], g_runtime[kMaxRanges];
static int g_exeCount, g_runtimeCount;

static int AddRanges(struct dl_phdr_info* info, size_t size, void* data) {
  (void)size;
  const uintptr_t shimBase = *(const uintptr_t*)data;
  const char* name = info->dlpi_name != NULL ? info->dlpi_name : "";
  Range* ranges = NULL;
  int* count = NULL;
  if (name[0] == '\0') {
    ranges = g_exe;
    count = &g_exeCount;
  } else if (strstr(name, "/libc.so") || strstr(name, "/libstdc++.so") || strstr(name, "/libgcc_s.so") ||
             info->dlpi_addr == shimBase) {
    ranges = g_runtime;
    count = &g_runtimeCount;
  } else {
    return 0;
  }
  for (int i = 0; i < info->dlpi_phnum && *count < kMaxRanges; ++i) {
    const ElfW(Phdr)* ph = &info->dlpi_phdr[i];
    if (ph->p_type != PT_LOAD || !(ph->p_flags & PF_X)) continue;
    ranges[*count].begin = info->dlpi_addr + ph->p_vaddr;
    ranges[*count].end = ranges[*count].begin + ph->p_memsz;
    ++*count;
  }
  return 0;
}

static int InRanges(const Range* ranges, int count, uintptr_t pc) {
  for (int i = 0; i < count; ++i)
    if (pc >= ranges[i].begin && pc < ranges[i].end) return 1;
  return 0;
}

/* Whether the code that asked for this allocation is the executable's. */
static int FromExecutable(void) {
  void* frames[24];
  t_inBacktrace = 1;
  const int n = backtrace(frames, 24);
  t_inBacktrace = 0;
  for (int i = 1; i < n; ++i) {
    const uintptr_t pc = (uintptr_t)frames[i];
    if (InRanges(g_runtime, g_runtimeCount, pc)) continue;
    return InRanges(g_exe, g_exeCount, pc);
  }
  return 0;
}

enum { kWindow, kContext, kSource, kTexture, kModel, kSwapEnter, kMarks };
static uint64_t g_marks[kMarks];

static uint64_t NowNs(clockid_t clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

static void Count(void) {
  atomic_fetch_add_explicit(&g_allocs, 1, memory_order_relaxed);
  if (t_inSwap) atomic_fetch_add_explicit(&g_swapAllocs, 1, memory_order_relaxed);
  /* Before the constructor has run every allocation is the main thread's. */
  if (t_isMain < 0 && g_mainTid != 0) t_isMain = (pid_t)syscall(SYS_gettid) == g_mainTid;
  if (t_isMain != 0) atomic_fetch_add_explicit(&g_mainAllocs, 1, memory_order_relaxed);
  if (g_countExe && (g_countFrom == 0 || g_swaps >= g_countFrom) && !t_inBacktrace && FromExecutable())
    atomic_fetch_add_explicit(&g_exeAllocs, 1, memory_order_relaxed);
}

void* malloc(size_t size) {
  Count();
  return __libc_malloc(size);
}

void* calloc(size_t n, size_t size) {
  Count();
  return __libc_calloc(n, size);
}

void* realloc(void* p, size_t size) {
  Count();
  return __libc_realloc(p, size);
}

void* memalign(size_t alignment, size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  Count();
  void* p = __libc_memalign(alignment, size);
  if (p == NULL) return 12; /* ENOMEM */
  *out = p;
  return 0;
}

static void Mark(int which) {
  if (g_marks[which] == 0) g_marks[which] = NowNs(CLOCK_MONOTONIC);
}

static int EndsWith(const char* s, const char* suffix) {
  const size_t n = strlen(s), m = strlen(suffix);
  return n >= m && strcmp(s + n - m, suffix) == 0;
}

static void MarkPath(const char* path) {
  if (path == NULL) return;
  if (EndsWith(path, ".hlsl") || EndsWith(path, ".glsl")) Mark(kSource);
  else if (EndsWith(path, ".dds")) Mark(kTexture);
  else if (EndsWith(path, ".GAMEMODEL")) Mark(kModel);
}

typedef FILE* (*FopenFn)(const char*, const char*);
typedef int (*OpenFn)(const char*, int, ...);

FILE* fopen(const char* path, const char* mode) {
  static FopenFn s_next;
  if (s_next == NULL) s_next = (FopenFn)dlsym(RTLD_NEXT, "fopen");
  MarkPath(path);
  return s_next(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  static FopenFn s_next;
  if (s_next == NULL) s_next = (FopenFn)dlsym(RTLD_NEXT, "fopen64");
  MarkPath(path);
  return s_next(path, mode);
}

static int OpenVia(const char* name, OpenFn* next, const char* path, int flags, va_list args) {
  if (*next == NULL) *next = (OpenFn)dlsym(RTLD_NEXT, name);
  MarkPath(path);
  if (flags & (O_CREAT | O_TMPFILE)) return (*next)(path, flags, va_arg(args, int));
  return (*next)(path, flags);
}

int open(const char* path, int flags, ...) {
  static OpenFn s_next;
  va_list args;
  va_start(args, flags);
  const int fd = OpenVia("open", &s_next, path, flags, args);
  va_end(args);
  return fd;
}

int open64(const char* path, int flags, ...) {
  static OpenFn s_next;
  va_list args;
  va_start(args, flags);
  const int fd = OpenVia("open64", &s_next, path, flags, args);
  va_end(args);
  return fd;
}

typedef void* (*CreateWindowFn)(const char*, int, int, int, int, uint32_t);

void* SDL_CreateWindow(const char* title, int x, int y, int w, int h, uint32_t flags) {
  static CreateWindowFn s_next;
  if (s_next == NULL) s_next = (CreateWindowFn)dlsym(RTLD_NEXT, "SDL_CreateWindow");
  void* window = s_next != NULL ? s_next(title, x, y, w, h, flags) : NULL;
  if (window != NULL) Mark(kWindow);
  return window;
}

typedef void* (*CreateContextFn)(void*);

void* SDL_GL_CreateContext(void* window) {
  static CreateContextFn s_next;
  if (s_next == NULL) s_next = (CreateContextFn)dlsym(RTLD_NEXT, "SDL_GL_CreateContext");
  void* context = s_next != NULL ? s_next(window) : NULL;
  if (context != NULL) Mark(kContext);
  return context;
}

typedef struct SDL_Window SDL_Window;
typedef void (*SwapFn)(SDL_Window*);

void SDL_GL_SwapWindow(SDL_Window* window) {
  static SwapFn s_next;
  if (s_next == NULL) s_next = (SwapFn)dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
  Mark(kSwapEnter);
  t_inSwap = 1;
  if (s_next != NULL) s_next(window);
  t_inSwap = 0;
  ++g_swaps;
  if (g_countFrom != 0 && g_swaps >= g_countFrom) {
    g_lastAllocs = atomic_load(&g_allocs);
    g_lastMainAllocs = atomic_load(&g_mainAllocs);
    g_lastSwapAllocs = atomic_load(&g_swapAllocs);
    g_lastExeAllocs = atomic_load(&g_exeAllocs);
    if (g_swaps == g_countFrom) {
      g_fromExeAllocs = g_lastExeAllocs;
      g_fromAllocs = g_lastAllocs;
      g_fromMainAllocs = g_lastMainAllocs;
      g_fromSwapAllocs = g_lastSwapAllocs;
    }
  }
  if (g_swaps == 1) {
    g_firstSwapNs = NowNs(CLOCK_MONOTONIC);
    g_firstSwapRealNs = NowNs(CLOCK_REALTIME);
    g_firstSwapCpuMs = (double)NowNs(CLOCK_PROCESS_CPUTIME_ID) / 1e6;
    struct rusage children;
    if (getrusage(RUSAGE_CHILDREN, &children) == 0) {
      g_firstSwapChildrenCpuMs = (double)(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e3 +
                                 (double)(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e3;
    }
    g_firstSwapAllocs = atomic_load(&g_allocs);
    g_firstSwapMainAllocs = atomic_load(&g_mainAllocs);
  }
}

static void Report(void) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  double spawnMs = -1.0;
  const char* spawn = getenv("BENCH_SPAWN_NS");
  if (spawn != NULL && g_swaps > 0) {
    const uint64_t spawnNs = strtoull(spawn, NULL, 10);
    if (spawnNs != 0 && g_firstSwapRealNs > spawnNs) spawnMs = (double)(g_firstSwapRealNs - spawnNs) / 1e6;
  }
  const unsigned long steadySwaps = g_countFrom != 0 && g_swaps >= g_countFrom ? g_swaps - g_countFrom : 0;
  double marks[kMarks];
  for (int i = 0; i < kMarks; ++i) marks[i] = g_marks[i] != 0 ? (double)(g_marks[i] - g_ctorNs) / 1e6 : -1.0;
  char line[1024];
  const int n = snprintf(line, sizeof(line),
                         "bench_shim: swaps=%lu allocs=%lu main_allocs=%lu first_swap_allocs=%lu "
                         "first_swap_main_allocs=%lu first_swap_ms=%.3f spawn_to_first_swap_ms=%.3f maxrss_kib=%ld "
                         "cpu_to_first_swap_ms=%.3f children_cpu_ms=%.3f window_ms=%.3f context_ms=%.3f source_ms=%.3f texture_ms=%.3f model_ms=%.3f swap_enter_ms=%.3f "
                         "steady_swaps=%lu steady_allocs=%lu steady_main_allocs=%lu steady_swap_allocs=%lu "
                         "steady_exe_allocs=%lu\n",
                         g_swaps, atomic_load(&g_allocs), atomic_load(&g_mainAllocs), g_firstSwapAllocs,
                         g_firstSwapMainAllocs, g_swaps > 0 ? (double)(g_firstSwapNs - g_ctorNs) / 1e6 : -1.0,
                         spawnMs, usage.ru_maxrss, g_firstSwapCpuMs, g_firstSwapChildrenCpuMs, marks[kWindow], marks[kContext], marks[kSource], marks[kTexture], marks[kModel],
                         marks[kSwapEnter], steadySwaps, g_lastAllocs - g_fromAllocs,
                         g_lastMainAllocs - g_fromMainAllocs, g_lastSwapAllocs - g_fromSwapAllocs,
                         g_lastExeAllocs - g_fromExeAllocs);
  if (n > 0) {
    const ssize_t ignored = write(2, line, (size_t)n < sizeof(line) ? (size_t)n : sizeof(line) - 1);
    (void)ignored;
  }
}

/* For programs that look them up (dlsym): allocations so far, whole
 * process, and those the executable asked for (with BENCH_COUNT_EXE=1). */
unsigned long bench_shim_allocs(void) { return atomic_load(&g_allocs); }
unsigned long bench_shim_exe_allocs(void) { return atomic_load(&g_exeAllocs); }

__attribute__((constructor)) static void Start(void) {
  g_ctorNs = NowNs(CLOCK_MONOTONIC);
  g_mainTid = (pid_t)syscall(SYS_gettid);
  const char* from = getenv("BENCH_COUNT_FROM");
  if (from != NULL) g_countFrom = strtoul(from, NULL, 10);
  g_countExe = g_countFrom != 0 || getenv("BENCH_COUNT_EXE") != NULL;
  if (g_countExe) {
    Dl_info self;
    uintptr_t shimBase = 0;
    if (dladdr((void*)&AddRanges, &self) != 0) shimBase = (uintptr_t)self.dli_fbase;
    dl_iterate_phdr(AddRanges, &shimBase);
    /* The unwinder loads on first use; do that now, outside any count. */
    void* frames[4];
    t_inBacktrace = 1;
    backtrace(frames, 4);
    t_inBacktrace = 0;
  }
  atexit(Report);
}
