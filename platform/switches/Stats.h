// OSTREVIN_STATS: frames, frames per second, CPU milliseconds per frame and
// the live-object count, printed on one line to standard error at exit.
#pragma once

namespace ostrevin::switches {

// Records the time of presented frame `frame`; the first call registers the
// line printed at exit.
void RecordFrameTime(unsigned frame);

}  // namespace ostrevin::switches
