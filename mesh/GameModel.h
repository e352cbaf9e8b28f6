// GAMEMODEL bytes without a device: validated reading (shared by CMesh::Load
// and the tools), the placing of sub-meshes in one vertex buffer, and the
// writer of the tools.
//
// Layout, little-endian, no padding: 64 header bytes (ignored), uint32
// sub-mesh count, then per sub-mesh: uint32 record word, uint16 vertex
// count V, uint32 index count I, V 68-byte CVertex, I uint16 indices local
// to the sub-mesh. Bytes after the last sub-mesh are ignored.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mesh/SubMesh.h"

// Bytes before the sub-mesh count; their content means nothing.
constexpr size_t kGameModelHeaderSize = 64;
// Record word, vertex count and index count of one sub-mesh.
constexpr size_t kSubMeshRecordSize = 10;
// One vertex buffer addressed by 16-bit indices holds at most this many.
constexpr unsigned long kMaxGameModelVertices = 65536;

// Reads every sub-mesh of `bytes` into `subMeshes` (replaced; base vertices
// 0, indices local). Returns false with the reason in `error` when the bytes
// are not a drawable model: too short, a record or array cut off, more
// sub-meshes declared than held, a sub-mesh without vertices or indices, an
// index not below its sub-mesh's vertex count, or more than 65,536
// vertices in all. Sizes are checked against the bytes left before anything
// is allocated.
bool ReadGameModel(const std::string& bytes, std::vector<CSubMesh>* subMeshes, std::string* error);

// Places `subMesh` at `*runningBase` in the shared vertex buffer (low 16
// bits) and advances the running base by its vertex count.
void PlaceSubMesh(CSubMesh* subMesh, DWORD* runningBase);
// PlaceSubMesh over all of them, first to last.
void PlaceSubMeshes(std::vector<CSubMesh>* subMeshes);

// The GAMEMODEL bytes of `subMeshes` (their local indices, whatever their
// base vertex) with `header` (cut or zero-padded to 64 bytes). Refuses, with
// the reason, anything ReadGameModel would reject.
bool WriteGameModel(const std::vector<CSubMesh>& subMeshes, const std::string& header, std::string* bytes,
                    std::string* error);
