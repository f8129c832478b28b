// Devices are emulated by umockdev's preload library, which must be loaded
// when the program starts.
#pragma once

namespace zrt::tools {

// Starts the program again with the preload library in place, unless it is
// there already (or a restart did not bring it). Returns only when the
// program is to go on as it is.
void RestartUnderUmockdev(char** argv);

}  // namespace zrt::tools
