// Work the layer starts when the process enters main, once every static
// object exists: a part of the layer registers a task while statics are
// made (registering only stores the function), and the entry point runs the
// tasks before it calls the program.
#pragma once

namespace ostrevin {

using StartupTask = void (*)();

// Returns false when the (small, fixed) table is full.
bool RegisterStartupTask(StartupTask task);
void RunStartupTasks();

}  // namespace ostrevin
