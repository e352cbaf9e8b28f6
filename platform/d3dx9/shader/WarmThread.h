// What the glslang table thread (GlslangDriver.cpp's WarmStart) asks of the
// system: whether a core is free for it, and a lower priority for itself.
// Linux answers in WarmThreadLinux.cpp; a web page has no threads
// (WarmThreadNone.cpp), so the first compile builds the tables there.
#pragma once

namespace ostrevin {

// Whether the last minute's load leaves more than one of the processors
// this process may use free (one being the main thread's).
bool CoreToSpare();

// The calling thread at nice 10; if refused, it keeps the program's priority.
void LowerThisThreadsPriority();

}  // namespace ostrevin
