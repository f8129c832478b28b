// What the process holds: open descriptors and running threads, to catch
// leaks and threads that did not end.
#pragma once

#include <filesystem>

namespace zrt::link::testing {

inline int CountEntries(const char* dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

inline int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
inline int RunningThreads() { return CountEntries("/proc/self/task"); }

}  // namespace zrt::link::testing
