// The HLSL front end over glslang: the tables warmed ahead, the includes
// handed to the application's ID3DXInclude, glslang's messages in D3DX's
// form, and the parse isolated in a child process.
//
// glslang runs in DX9-compatible mode, so sampler2D/tex2D and the DX9
// semantics work, and its SPIR-V carries the semantics as
// HlslSemanticGOOGLE strings.
#define ENABLE_HLSL 1
#include "shader/GlslangDriver.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "ChildProcess.h"
#include "shader/SourceRewrite.h"
#include "shader/WarmThread.h"

namespace ostrevin {

const char kHlslSourceName[] = "memory";

namespace {

const char* const kSourceName = kHlslSourceName;

// How long a parse may take before the child is taken for hung. Real
// shaders parse in milliseconds, under valgrind in well under a second.
constexpr int64_t kParseTimeoutMs = 20000;
// A reply larger than this is taken for a broken child's.
constexpr unsigned long long kMaxReplyBytes = 256ull << 20;

// glslang's "ERROR: name:12: text" lines as "name(12): error: text".
std::string FormatLog(const std::string& log) {
  std::string out;
  size_t pos = 0;
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    std::string kind;
    if (line.compare(0, 7, "ERROR: ") == 0) {
      kind = "error";
      line.erase(0, 7);
    } else if (line.compare(0, 9, "WARNING: ") == 0) {
      kind = "warning";
      line.erase(0, 9);
    }
    // "<name>:<line>: rest"
    const size_t colon = line.find(':');
    const size_t colon2 = colon == std::string::npos ? std::string::npos : line.find(':', colon + 1);
    bool located = false;
    if (!kind.empty() && colon != std::string::npos && colon2 != std::string::npos && colon2 > colon + 1) {
      const std::string number = line.substr(colon + 1, colon2 - colon - 1);
      if (number.find_first_not_of("0123456789") == std::string::npos) {
        std::string name = line.substr(0, colon);
        if (name == "0") name = kSourceName;
        std::string rest = line.substr(colon2 + 1);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        if (rest.compare(0, 5, "'' : ") == 0) rest.erase(0, 5);
        out += name + "(" + number + "): " + kind + ": " + rest + "\n";
        located = true;
      }
    }
    if (!located) out += (kind.empty() ? "" : kind + ": ") + line + "\n";
  }
  return out;
}

// Hands glslang's #include requests to the call's include files.
class Includer final : public glslang::TShader::Includer {
 public:
  explicit Includer(IncludeFiles* files) : m_files(files) {}

  IncludeResult* includeLocal(const char* headerName, const char* includerName, size_t depth) override {
    IncludeResult* r = Within(depth) ? Get(D3DXINC_LOCAL, headerName, includerName) : nullptr;
    m_localFailed = r == nullptr && headerName != nullptr ? headerName : "";
    return r;
  }
  IncludeResult* includeSystem(const char* headerName, const char* includerName, size_t depth) override {
    // glslang asks again as "system" after a failed "local": the
    // application was asked already.
    if (!m_localFailed.empty() && headerName != nullptr && m_localFailed == headerName) {
      m_localFailed.clear();
      return nullptr;
    }
    return Within(depth) ? Get(D3DXINC_SYSTEM, headerName, includerName) : nullptr;
  }
  void releaseInclude(IncludeResult* result) override { delete result; }

 private:
  // A file that includes itself, directly or through others, would be
  // read without end, and files that each include the next twice double
  // the text at every level: past these bounds the #include fails, and
  // the compile with it, naming the file.
  static constexpr size_t kMaxIncludeDepth = 64;
  static constexpr unsigned kMaxIncludes = 4096;
  bool Within(size_t depth) { return depth <= kMaxIncludeDepth && ++m_includes <= kMaxIncludes; }
  unsigned m_includes = 0;

  IncludeResult* Get(D3DXINCLUDE_TYPE type, const char* headerName, const char* includerName) {
    const char* data = nullptr;
    UINT bytes = 0;
    if (m_files == nullptr || !m_files->Get(type, headerName, includerName, &data, &bytes)) return nullptr;
    return new IncludeResult(headerName, data, bytes, nullptr);
  }

  IncludeFiles* m_files;
  std::string m_localFailed;
};

// glslang's parse, link and SPIR-V generation for one shader: the messages
// and the code, or false.
bool ParseInProcess(glslang::TShader& shader, Includer& includer, EShMessages messages, LPCSTR pFunctionName,
                    std::vector<unsigned int>* spirv, std::string* log) {
  const bool parsed = shader.parse(GetDefaultResources(), 110, false, messages, includer);
  *log += FormatLog(shader.getInfoLog());
  if (!parsed) return false;
  if (shader.getIntermediate() == nullptr || shader.getIntermediate()->getNumEntryPoints() < 1) {
    *log += std::string("error X3501: '") + pFunctionName + "': entrypoint not found\n";
    return false;
  }
  glslang::TProgram program;
  program.addShader(&shader);
  if (!program.link(messages)) {
    *log += FormatLog(program.getInfoLog());
    return false;
  }
  glslang::TIntermediate* intermediate = program.getIntermediate(shader.getStage());
  if (intermediate == nullptr) {
    *log += "error: no code generated\n";
    return false;
  }
  spv::SpvBuildLogger logger;
  glslang::SpvOptions spvOptions;
  spvOptions.disableOptimizer = true;
  spvOptions.generateDebugInfo = true;  // OpLine: GLSL messages name HLSL lines
  glslang::GlslangToSpv(*intermediate, *spirv, &logger, &spvOptions);
  *log += logger.getAllMessages();
  if (spirv->empty()) {
    *log += "error: no code generated\n";
    return false;
  }
  return true;
}

// Builds glslang's built-in symbol tables of a stage in this process, so
// that forked children start with them: the HLSL ones of the parse, or the
// GLSL 3.30 ones of the check of the translation.
enum class Tables { Hlsl, Glsl };
void WarmUp(EShLanguage stage, Tables tables) {
  static std::once_flag s_once[2][EShLangCount];
  std::call_once(s_once[tables == Tables::Glsl][stage], [stage, tables] {
    glslang::TShader shader(stage);
    if (tables == Tables::Glsl) {
      const char* glsl = "#version 330\nvoid main() {}\n";
      shader.setStrings(&glsl, 1);
      shader.parse(GetDefaultResources(), 330, ECoreProfile, false, false, EShMsgDefault);
      return;
    }
    const char* source = stage == EShLangVertex ? "float4 main() : POSITION { return 0; }"
                                                : "float4 main() : COLOR0 { return 0; }";
    shader.setStrings(&source, 1);
    shader.setEntryPoint("main");
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.parse(GetDefaultResources(), 110, false,
                 static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible));
  });
}

std::once_flag g_glslangInit;
std::mutex g_compileMutex;  // glslang's process-wide tables are not meant for concurrent first use

// glslang builds a stage's built-in symbol tables on its first parse, some
// 16 ms of CPU on a quiet machine, nearly all of it in the first stage's
// (the tables of HLSL and of GLSL 3.30 that every stage shares). A program
// compiles its shaders right after making its window and device, which
// take far longer and partly wait on the display, so the entry point starts
// building the tables on a thread of their own, where that can pay:
// - Only with a core to spare (the last minute's load leaves more than one
//   of the processors this process may use free, one being the main
//   thread's). A second thread costs the whole start CPU (glibc's locks in
//   malloc and stdio, the kernel's TLB shootdowns), and on busy cores the
//   tables only take the CPU from the window and context, so the first
//   compile builds them itself.
// - At nice 10 (a tenth of the weight of the program's own threads and of
//   the display server), so that it does not slow the window and the GL
//   context made meanwhile. Neither idle class nor nice can be undone
//   without privilege, and a busy machine starves such a thread while the
//   first compile waits for it (700 ms once with a build beside it), hence
//   the load test above.
// The first compile stops it after the step it is in and builds whatever is
// left itself, at the program's own priority, so nothing else runs inside
// glslang when a parse forks; without the thread (a process that does not
// enter through the layer's main) the first compile builds them all.
class WarmStart {
 public:
  WarmStart() = default;
  ~WarmStart() { Wait(); }
  WarmStart(const WarmStart&) = delete;
  WarmStart& operator=(const WarmStart&) = delete;

  void Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started) return;
    m_started = true;
    if (!CoreToSpare()) return;
    try {
      m_thread = std::thread([this] {
        LowerThisThreadsPriority();
        Warm(&m_stop);
      });
    } catch (...) {
      // No thread: the first compile warms the tables itself.
    }
  }

  void Wait() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_started = true;  // too late to start one now
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

  // Every table, one step after the other; with `stop`, only until it is set.
  static void Warm(const std::atomic<bool>* stop = nullptr) {
    auto stopped = [stop] { return stop != nullptr && stop->load(); };
    std::call_once(g_glslangInit, [] { glslang::InitializeProcess(); });
    for (const EShLanguage stage : {EShLangVertex, EShLangFragment}) {
      for (const Tables tables : {Tables::Hlsl, Tables::Glsl}) {
        if (stopped()) return;
        WarmUp(stage, tables);
      }
    }
  }

 private:
  std::mutex m_mutex;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  bool m_started = false;
};

WarmStart g_warmStart;

const EShMessages kMessages =
    static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible | EShMsgSpvRules | EShMsgVulkanRules);

}  // namespace

struct HlslFrontEnd::State {
  explicit State(const HlslInput& in)
      : input(in), stage(in.stage == ShaderStage::Vertex ? EShLangVertex : EShLangFragment), includer(in.includes) {}
  std::unique_lock<std::mutex> lock;
  const HlslInput& input;
  EShLanguage stage;
  Includer includer;
  // glslang keeps pointers to these arrays, not copies.
  const char* strings[1] = {input.source};
  int lengths[1] = {input.length};
  std::string rewritten;  // the text parsed, once ParsePreprocessed is called
  bool parsePreprocessed = false;
  const char* names[1] = {kSourceName};

  void SetUp(glslang::TShader& shader) {
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setPreamble(parsePreprocessed ? input.pragmas.c_str() : input.preamble.c_str());
    shader.setEntryPoint(input.entryPoint);
      shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
  }
};

void StartHlslFrontEndWarmUp() { g_warmStart.Start(); }

void HlslFrontEnd::ParsePreprocessed(std::string text) {
  State& s = *m_state;
  s.rewritten = std::move(text);
  s.strings[0] = s.rewritten.data();
  s.lengths[0] = static_cast<int>(s.rewritten.size());
  s.parsePreprocessed = true;
}

bool HlslFrontEnd::CheckGlsl(const std::string& glsl, std::string* log) {
  glslang::TShader shader(m_state->stage);
  const char* text = glsl.c_str();
  shader.setStrings(&text, 1);
  if (shader.parse(GetDefaultResources(), 330, ECoreProfile, false, false, EShMsgDefault)) return true;
  // glslang's "ERROR: 1:<line>: text" names an HLSL line (the GLSL's "#line
  // N 1" directives), "ERROR: 0:<line>: text" a line of the GLSL's own
  // declarations.
  const std::string formatted = FormatLog(shader.getInfoLog());
  size_t pos = 0;
  while (pos < formatted.size()) {
    size_t end = formatted.find('\n', pos);
    if (end == std::string::npos) end = formatted.size();
    std::string line = formatted.substr(pos, end - pos);
    pos = end + 1;
    if (line.find("compilation terminated") != std::string::npos || line.find("compilation errors") != std::string::npos) {
      continue;
    }
    const size_t kind = line.find("error: ");
    if (kind != std::string::npos) line.insert(kind + 7, "the shader's GLSL translation does not compile: ");
    if (line.compare(0, 2, "1(") == 0) {
      line.replace(0, 1, kSourceName);
    } else if (line.compare(0, std::strlen(kSourceName) + 1, std::string(kSourceName) + "(") == 0) {
      line.erase(std::strlen(kSourceName), line.find(')') + 1 - std::strlen(kSourceName));
    }
    *log += line + "\n";
  }
  return false;
}

HlslFrontEnd::HlslFrontEnd(const HlslInput& input) : m_state(new State(input)) {
  g_warmStart.Wait();
  m_state->lock = std::unique_lock<std::mutex>(g_compileMutex);
  WarmStart::Warm();
}

HlslFrontEnd::~HlslFrontEnd() = default;

bool HlslFrontEnd::Preprocess(std::string* text, std::string* log) {
  glslang::TShader pre(m_state->stage);
  m_state->SetUp(pre);
  if (!pre.preprocess(GetDefaultResources(), 110, ENoProfile, false, false, kMessages, text, m_state->includer)) {
    *log += FormatLog(pre.getInfoLog());
    return false;
  }
  *log += FormatLog(pre.getInfoLog());
  return true;
}

// glslang 12 crashes on some malformed HLSL instead of reporting it, and a
// broken shader file must give an error, not end the program. So the parse
// runs in a forked child (which inherits the built-in tables, built before
// the first compile, and the includer's files, already read by the
// preprocessing pass) and hands back its messages and code; a child that
// dies or hangs is reported as an internal error of the compiler.
bool HlslFrontEnd::Parse(std::vector<uint32_t>* spirv, std::string* log) {
  glslang::TShader shader(m_state->stage);
  m_state->SetUp(shader);
  shader.setSourceEntryPoint(m_state->input.entryPoint);
  shader.setEnvTargetHlslFunctionality1();
  const char* entry = m_state->input.entryPoint;
  Includer& includer = m_state->includer;

  // The reply: ok (4 bytes), the length of the messages (4), the messages,
  // then the code.
  ChildLimits limits;
  limits.timeoutMs = kParseTimeoutMs;
  limits.maxReplyBytes = kMaxReplyBytes;
  const ChildOutcome outcome = RunInChild(limits, [&](ChildChannel& channel) {
    std::vector<unsigned int> code;
    std::string text;
    const uint32_t header[2] = {ParseInProcess(shader, includer, kMessages, entry, &code, &text) ? 1u : 0u,
                                static_cast<uint32_t>(text.size())};
    std::string bytes(reinterpret_cast<const char*>(header), sizeof(header));
    bytes += text;
    bytes.append(reinterpret_cast<const char*>(code.data()), code.size() * sizeof(unsigned int));
    channel.Send(bytes);
  });
  const std::string stopped =
      std::string(kSourceName) + ": error: internal compiler error: the HLSL front end stopped on this source\n";
  switch (outcome.kind) {
    case ChildOutcome::kNoChild: {
      std::vector<unsigned int> code;
      const bool ok = ParseInProcess(shader, includer, kMessages, entry, &code, log);
      spirv->assign(code.begin(), code.end());
      return ok;
    }
    case ChildOutcome::kTimedOut:
      *log += std::string(kSourceName) +
              ": error: internal compiler error: the HLSL front end did not finish on this source\n";
      return false;
    case ChildOutcome::kCrashed:
    case ChildOutcome::kOutOfMemory:
      *log += stopped;
      return false;
    case ChildOutcome::kFinished:
      break;
  }
  if (outcome.records.size() != 1) {
    *log += stopped;
    return false;
  }
  const std::string& reply = outcome.records[0];
  uint32_t header[2] = {0, 0};
  if (reply.size() >= sizeof(header)) std::memcpy(header, reply.data(), sizeof(header));
  if (reply.size() < sizeof(header) + header[1] || (reply.size() - sizeof(header) - header[1]) % 4 != 0) {
    *log += stopped;
    return false;
  }
  log->append(reply, sizeof(header), header[1]);
  const size_t codeBytes = reply.size() - sizeof(header) - header[1];
  spirv->resize(codeBytes / 4);
  if (codeBytes > 0) std::memcpy(spirv->data(), reply.data() + sizeof(header) + header[1], codeBytes);
  return header[0] == 1;
}

}  // namespace ostrevin
