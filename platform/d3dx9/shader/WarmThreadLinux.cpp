#include "shader/WarmThread.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

namespace ostrevin {

bool CoreToSpare() {
  cpu_set_t usable;
  double load = 0;
  if (sched_getaffinity(0, sizeof(usable), &usable) != 0 || getloadavg(&load, 1) != 1) return false;
  return load + 1.0 < static_cast<double>(CPU_COUNT(&usable));
}

void LowerThisThreadsPriority() {
  // Linux keeps a nice value per thread.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}

}  // namespace ostrevin
