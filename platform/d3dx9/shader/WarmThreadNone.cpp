// A web page's program has no threads (built without -pthread, std::thread
// throws): no table thread is started.
#include "shader/WarmThread.h"

namespace ostrevin {

bool CoreToSpare() { return false; }

void LowerThisThreadsPriority() {}

}  // namespace ostrevin
