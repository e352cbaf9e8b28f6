#include "tools/gamemodel/Import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "mesh/GameModel.h"
#include "tools/gamemodel/AssimpReader.h"
#include "tools/gamemodel/Optimize.h"

namespace {

// How long reading and converting one file may take. The largest models of
// Assimp's own test set take a few seconds.
constexpr int kSeconds = 120;
constexpr size_t kMaxSubMeshVertices = 65535;

const char kDamaged[] = "the file is probably damaged: export the model again, as glTF 2.0 (.glb) or OBJ";

// The records the child sends, each tagged by its first byte.
constexpr char kFormat = 'F';   // the reader Assimp chose
constexpr char kRead = 'R';     // Assimp's part is done
constexpr char kNote = 'N';     // something skipped or changed
constexpr char kRefusal = 'E';  // reason '\n' advice
constexpr char kModel = 'B';    // the GAMEMODEL bytes
constexpr char kSummary = 'S';  // what the bytes hold

std::string Tagged(char tag, const std::string& text) { return std::string(1, tag) + text; }

// Runs in the sandbox: everything from reading the file to the bytes.
void ImportInChild(const std::string& in, const ImportOptions& options, ostrevin::ChildChannel& channel) {
  // Some of Assimp's parsers print on the standard streams; all the user
  // reads comes from the parent, worded by us.
  const int devNull = open("/dev/null", O_WRONLY);
  if (devNull >= 0) {
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    close(devNull);
  }
  bool formatSent = false;
  AssimpRead read;
  const bool ok = ReadWithAssimp(
      in,
      [&](const std::string& format) {
        if (!formatSent) channel.Send(Tagged(kFormat, format));
        formatSent = true;
      },
      &read);
  channel.Send(std::string(1, kRead));
  for (const std::string& note : read.notes) channel.Send(Tagged(kNote, note));
  if (!ok) {
    channel.Send(Tagged(kRefusal, read.reason + "\n" + read.advice));
    return;
  }
  std::vector<ImportedMesh>& meshes = read.meshes;
  OptimizeForDrawing(&meshes);
  const size_t vertices = VertexCount(meshes);
  bool oneTooLarge = false;
  for (const ImportedMesh& mesh : meshes) oneTooLarge = oneTooLarge || mesh.vertices.size() > kMaxSubMeshVertices;
  if (vertices > kMaxGameModelVertices || oneTooLarge) {
    const std::string reason = std::to_string(vertices) +
                               " vertices in all; a GAMEMODEL holds at most 65,536 (one vertex buffer addressed by "
                               "16-bit indices)";
    if (!options.simplify) {
      channel.Send(Tagged(kRefusal, reason + "\nadd --simplify to reduce the model until it fits"));
      return;
    }
    std::string summary;
    if (!SimplifyToFit(&meshes, kMaxGameModelVertices, kMaxSubMeshVertices, &summary)) {
      channel.Send(Tagged(kRefusal, reason + "; even " + summary + ", it does not fit\n" +
                                        "reduce the model in a modelling program first"));
      return;
    }
    channel.Send(Tagged(kNote, summary));
    OptimizeForDrawing(&meshes);
  }
  std::string why;
  if (!Fit(options.fit, &meshes, &why)) {
    channel.Send(Tagged(kRefusal, why + "\nimport it without --fit"));
    return;
  }

  const size_t finalVertices = VertexCount(meshes);
  const std::string bounds = BoundsOf(meshes).Describe();
  std::vector<CSubMesh> subMeshes(meshes.size());
  size_t triangles = 0;
  for (size_t k = 0; k < meshes.size(); ++k) {
    subMeshes[k].m_vertices = std::move(meshes[k].vertices);
    subMeshes[k].m_indices.assign(meshes[k].indices.begin(), meshes[k].indices.end());
    triangles += meshes[k].indices.size() / 3;
  }
  std::string bytes;
  if (!WriteGameModel(subMeshes, "GAMEMODEL imported by gamemodel", &bytes, &why)) {
    channel.Send(Tagged(kRefusal, why + "\n" + kDamaged));
    return;
  }
  channel.Send(Tagged(kModel, bytes));
  channel.Send(Tagged(kSummary, std::to_string(subMeshes.size()) +
                                    (subMeshes.size() == 1 ? " sub-mesh, " : " sub-meshes, ") +
                                    std::to_string(finalVertices) + " vertices, " + std::to_string(triangles) +
                                    " triangles; bounds " + bounds));
}

int Refuse(const std::string& in, const std::string& format, const std::string& reason, const std::string& advice) {
  const std::string reader = format == kNoAssimpReader ? format : "Assimp's " + format;
  std::fprintf(stderr, "error: %s (%s): %s; %s; nothing written\n", in.c_str(), reader.c_str(), reason.c_str(),
               advice.c_str());
  return 1;
}

std::string MiB(unsigned long long bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

int Import(const std::string& in, const std::string& out, const ImportOptions& options) {
  struct stat info;
  if (stat(in.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
    std::fprintf(stderr, "error: %s: missing or empty file; nothing written\n", in.c_str());
    return 1;
  }
  const unsigned long long fileBytes = static_cast<unsigned long long>(info.st_size);
  ostrevin::ChildLimits limits;
  limits.extraMemoryBytes = ReaderMemoryAllowance(fileBytes);
  limits.timeoutMs = kSeconds * 1000;
  const ostrevin::ChildOutcome outcome =
      ostrevin::RunInChild(limits, [&](ostrevin::ChildChannel& channel) { ImportInChild(in, options, channel); });

  std::string format = "reader not yet chosen", bytes, summary, refusal;
  bool readDone = false;
  for (const std::string& record : outcome.records) {
    if (record.empty()) continue;
    const std::string text = record.substr(1);
    switch (record[0]) {
      case kFormat:
        format = text;
        break;
      case kRead:
        readDone = true;
        break;
      case kNote:
        std::fprintf(stderr, "gamemodel: %s: %s\n", in.c_str(), text.c_str());
        break;
      case kRefusal:
        refusal = text;
        break;
      case kModel:
        bytes = text;
        break;
      case kSummary:
        summary = text;
        break;
      default:
        break;
    }
  }
  const std::string stage = readDone ? "while it was converted" : "while Assimp read it";
  switch (outcome.kind) {
    case ostrevin::ChildOutcome::kOutOfMemory:
      return Refuse(in, format,
                    "the import needed more than " + MiB(limits.extraMemoryBytes) + " of memory " + stage +
                        ", the most a file of " + std::to_string(fileBytes) + " bytes may take",
                    kDamaged);
    case ostrevin::ChildOutcome::kTimedOut:
      return Refuse(in, format, "the import took longer than " + std::to_string(kSeconds) + " s " + stage, kDamaged);
    case ostrevin::ChildOutcome::kCrashed:
    case ostrevin::ChildOutcome::kNoChild:  // told as an early exit
      return Refuse(in, format, "the import stopped on " + ostrevin::DescribeSignal(outcome.signal) + " " + stage,
                    "the file is probably damaged, or uses a feature that reader cannot handle: export the model "
                    "again, as glTF 2.0 (.glb) or OBJ");
    case ostrevin::ChildOutcome::kFinished:
      break;
  }
  if (!refusal.empty() || bytes.empty()) {
    const size_t split = refusal.find('\n');
    if (refusal.empty() || split == std::string::npos) return Refuse(in, format, "the import gave no model", kDamaged);
    return Refuse(in, format, refusal.substr(0, split), refusal.substr(split + 1));
  }

  std::ofstream file(out, std::ios::out | std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "error: %s: cannot write\n", out.c_str());
    return 1;
  }
  std::printf("%s: %s, from %s (%s)\n", out.c_str(), summary.c_str(), in.c_str(), format.c_str());
  return 0;
}
