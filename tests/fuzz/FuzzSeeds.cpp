// Writes the seed inputs of the shader fuzz targets from real shaders: the
// corpus of tests/hlsl/corpus (its manifest's entry points, profiles and
// macros) and the demo's two shaders, each whole and split into a chain of
// includes ("a.h" locally, which includes <b.h>).
//   fuzz_seeds SOURCE_DIR OUT_DIR
// makes OUT_DIR/fuzz_hlsl_include/ (the compile's input in that target's
// format), OUT_DIR/fuzz_shadercode/ (the code each compile gave),
// OUT_DIR/fuzz_shadercache/ (the cache entry each compile stored) and
// OUT_DIR/fuzz_hlsl/ (the shaders that fuzz_hlsl's fixed entry point "main"
// and no macros compile: a byte for the stage, then the source). Same
// sources, same seeds: nothing depends on time or order of files on disk.
#include <d3dx9.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Shader {
  std::string name;  // for the seed's file name
  fs::path file;
  std::string entry, profile;
  std::vector<std::pair<std::string, std::string>> macros;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

std::string Slug(const std::string& text) {
  std::string out;
  for (char c : text) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  return out;
}

// The manifest's rows and the demo's shaders.
std::vector<Shader> Shaders(const fs::path& source) {
  std::vector<Shader> out;
  out.push_back({"demo-vs-phong", source / "assets/vs-phong.hlsl", "main", "vs_2_0", {}});
  out.push_back({"demo-ps-phong", source / "assets/ps-phong.hlsl", "pixel_shader_main", "ps_2_0", {}});
  const fs::path corpus = source / "tests/hlsl/corpus";
  std::istringstream manifest(ReadAll(corpus / "manifest.tsv"));
  std::string line;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#' || line.compare(0, 5, "file\t") == 0) continue;
    std::vector<std::string> cells;
    std::istringstream row(line);
    std::string cell;
    while (std::getline(row, cell, '\t')) cells.push_back(cell);
    if (cells.size() < 6) continue;
    Shader s{Slug(cells[0] + "-" + cells[1] + "-" + cells[2]), corpus / cells[0], cells[1], cells[2], {}};
    std::istringstream defines(cells[5] == "-" ? std::string() : cells[5]);
    while (std::getline(defines, cell, ';')) {
      const size_t eq = cell.find('=');
      s.macros.emplace_back(cell.substr(0, eq), eq == std::string::npos ? std::string() : cell.substr(eq + 1));
    }
    out.push_back(std::move(s));
  }
  return out;
}

// Gives the split parts, and otherwise files from the shader's folder, and
// keeps what it gave in the order asked.
class SeedIncludes final : public ID3DXInclude {
 public:
  SeedIncludes(fs::path folder, std::map<std::string, std::string> parts)
      : m_folder(std::move(folder)), m_parts(std::move(parts)) {}
  HRESULT STDMETHODCALLTYPE Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    std::string text;
    auto part = m_parts.find(name);
    if (part != m_parts.end()) {
      text = part->second;
    } else if (fs::is_regular_file(m_folder / name)) {
      text = ReadAll(m_folder / name);
    } else {
      return E_FAIL;
    }
    m_given.emplace_back(name, text);
    *data = m_given.back().second.data();
    *bytes = static_cast<UINT>(m_given.back().second.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(LPCVOID) override { return S_OK; }
  std::vector<std::pair<std::string, std::string>> m_given;

 private:
  fs::path m_folder;
  std::map<std::string, std::string> m_parts;
};

// Line starts where the text may be cut into files: outside conditional
// blocks and block comments.
std::vector<size_t> CutPoints(const std::string& text) {
  std::vector<size_t> cuts;
  int depth = 0;
  bool comment = false;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (!comment && depth == 0 && at > 0) cuts.push_back(at);
    const std::string line = text.substr(at, end - at);
    size_t first = line.find_first_not_of(" \t");
    if (!comment && first != std::string::npos && line[first] == '#') {
      const std::string directive = line.substr(first + 1);
      if (directive.compare(0, 2, "if") == 0) ++depth;
      if (directive.compare(0, 5, "endif") == 0) --depth;
    }
    for (size_t k = 0; k + 1 < line.size(); ++k) {
      if (!comment && line.compare(k, 2, "//") == 0) break;
      if (!comment && line.compare(k, 2, "/*") == 0) comment = true, ++k;
      else if (comment && line.compare(k, 2, "*/") == 0) comment = false, ++k;
    }
    at = end + 1;
  }
  return cuts;
}

std::string Header(const Shader& s) {
  std::string out = "//@ " + s.profile + " " + s.entry;
  for (const auto& m : s.macros) out += " " + m.first + (m.second.empty() ? "" : "=" + m.second);
  return out + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds SOURCE_DIR OUT_DIR\n");
    return 2;
  }
  const fs::path source = argv[1], out = argv[2];
  // The entries land in a cache folder of this run's own.
  char pattern[] = "/tmp/ostrevin-fuzz-seeds.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path home = pattern;
  setenv("XDG_CACHE_HOME", home.c_str(), 1);
  setenv("OSTREVIN_SHADER_CACHE", "1", 1);
  for (const char* target : {"fuzz_hlsl", "fuzz_hlsl_include", "fuzz_shadercode", "fuzz_shadercache"}) {
    fs::create_directories(out / target);
  }

  int compiled = 0, failed = 0;
  for (const Shader& s : Shaders(source)) {
    const std::string text = ReadAll(s.file);
    if (text.empty()) {
      std::fprintf(stderr, "fuzz_seeds: cannot read %s\n", s.file.c_str());
      return 1;
    }
    // Whole, then in three parts: b.h <- a.h <- the source.
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> variants = {{text, {}}};
    const std::vector<size_t> cuts = CutPoints(text);
    if (cuts.size() >= 3) {
      const size_t one = cuts[cuts.size() / 3], two = cuts[cuts.size() * 2 / 3];
      if (one < two) {
        variants.push_back({"#include \"a.h\"\n" + text.substr(two),
                            {{"b.h", text.substr(0, one)}, {"a.h", "#include <b.h>\n" + text.substr(one, two - one)}}});
      }
    }
    for (size_t v = 0; v < variants.size(); ++v) {
      const std::string name = s.name + (v == 0 ? "" : "-split");
      SeedIncludes includes(s.file.parent_path(), variants[v].second);
      std::vector<D3DXMACRO> macros;
      for (const auto& m : s.macros) macros.push_back({m.first.c_str(), m.second.empty() ? nullptr : m.second.c_str()});
      macros.push_back({nullptr, nullptr});
      ID3DXBuffer* code = nullptr;
      ID3DXBuffer* messages = nullptr;
      const std::string& src = variants[v].first;
      const HRESULT hr = D3DXCompileShader(src.data(), static_cast<UINT>(src.size()), macros.data(), &includes,
                                           s.entry.c_str(), s.profile.c_str(), 0, &code, &messages, nullptr);
      if (messages) messages->Release();
      if (FAILED(hr)) {
        ++failed;  // a split the preprocessor will not take, or a shader the corpus expects to fail
        continue;
      }
      ++compiled;
      std::string seed = Header(s) + src;
      if (!seed.empty() && seed.back() != '\n') seed += '\n';
      for (const auto& f : includes.m_given) seed += "//@file " + f.first + "\n" + f.second + "\n";
      WriteAll(out / "fuzz_hlsl_include" / ("seed-" + name), seed);
      if (v == 0 && s.entry == "main" && s.macros.empty() && includes.m_given.empty() &&
          (s.profile == "vs_2_0" || s.profile == "ps_2_0")) {
        WriteAll(out / "fuzz_hlsl" / ("seed-" + name), std::string(1, s.profile[0] == 'p' ? '\x01' : '\x00') + src);
      }
      WriteAll(out / "fuzz_shadercode" / ("seed-" + name),
               std::string(static_cast<const char*>(code->GetBufferPointer()), code->GetBufferSize()));
      code->Release();
    }
  }
  // Every entry the compiles stored, under its own (hash) name.
  int entries = 0;
  for (const auto& build : fs::directory_iterator(home / "ostrevin")) {
    for (const auto& entry : fs::directory_iterator(build.path())) {
      fs::copy_file(entry.path(), out / "fuzz_shadercache" / ("seed-" + entry.path().filename().string()),
                    fs::copy_options::overwrite_existing);
      ++entries;
    }
  }
  fs::remove_all(home);
  std::printf("fuzz_seeds: %d compiles (%d refused), %d cache entries\n", compiled, failed, entries);
  return compiled > 0 && entries > 0 ? 0 : 1;
}
