// What the process holds: open descriptors and the port's threads, to catch
// leaks and threads that did not end.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace zrt::link::testing {

inline int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// Threads named by the serial platform ("zrt-reader", "zrt-writer"); other
// threads (a sanitizer's, Qt's) come and go on their own.
inline int PortThreads() {
  int n = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name.starts_with("zrt-")) ++n;
  }
  return n;
}

// A joined thread may still be listed for a moment: the kernel wakes the
// joiner before it removes the task. Waits until the count is `expected`.
inline bool PortThreadsSettleAt(int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PortThreads() != expected) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace zrt::link::testing
