// Building glslang's tables ahead of the first shader compile.
#pragma once

namespace ostrevin {

// Starts building glslang's built-in tables on a thread of their own, for
// the process entry point to call before the program makes its window. The
// first compile waits for that thread; without the call, the first compile
// builds the tables itself.
void StartShaderCompilerWarmUp();

}  // namespace ostrevin
