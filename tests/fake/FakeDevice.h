// A recording fake of Direct3D 9 for the unit tests. It shadows the OpenGL
// implementation: the test target links this instead of platform/d3d9, so
// Direct3DCreate9 and every interface the program calls come from here.
// Each call is logged with its arguments, every object counts its
// references, and any call can be made to fail on demand.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

struct Call {
  std::string name;             // method name, e.g. "SetRenderState"
  std::vector<uint64_t> args;   // integer and pointer arguments, in order
  std::vector<float> floats;    // float arguments and constant data
  std::vector<int> ints;        // int and BOOL constant data
  const void* object = nullptr; // the interface the call was made on
};

// The log of every call since the last Clear().
const std::vector<Call>& Calls();
// The calls named `name`, in order.
std::vector<Call> CallsNamed(const std::string& name);
// Names only, in order, optionally limited to those in `filter`.
std::vector<std::string> CallNames(const std::vector<std::string>& filter = {});
size_t CountCalls(const std::string& name);

// Makes the `nth` next call of `name` (1 = the very next) return `hr`;
// `count` calls fail from there on (0: every later call).
void FailCall(const std::string& name, HRESULT hr, int nth = 1, int count = 1);

// Stops or resumes logging (the log itself allocates; allocation counts
// around the program's frame work turn it off).
void SetRecording(bool on);

// Forgets the log and every planned failure; live objects stay.
void Clear();

// Objects made by the fake and not yet released to zero.
int LiveObjects();
// The reference count of an object made by the fake (0 when it is gone or
// was never ours).
ULONG RefCount(IUnknown* pObject);

// Contents of a buffer as last unlocked, and its size.
std::vector<uint8_t> BufferBytes(IUnknown* pBuffer);

// Number of textures created so far (CreateTexture calls that succeeded).
int TexturesCreated();

// Whether a vertex or index buffer of Length 0 may be created (default: yes).
void AllowZeroLengthBuffers(bool allow);

}  // namespace fake
