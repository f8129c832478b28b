// What the benchmarks share: a pseudo-terminal playing the instrument, and
// percentiles of a sample.
#pragma once

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zrt::bench {

struct Pty {
  Pty() {
    int terminal = -1;
    char name[128] = {};
    if (openpty(&master, &terminal, name, nullptr, nullptr) != 0) {
      std::perror("openpty");
      std::exit(1);
    }
    close(terminal);
    path = name;
  }
  ~Pty() { close(master); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master = -1;
  std::string path;
};

inline void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// The q-quantile (0..1), interpolated between the nearest ranks (numpy's
// default); 0 for no samples.
inline double Percentile(std::vector<double> samples, double q) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const double rank = q * static_cast<double>(samples.size() - 1);
  const auto low = static_cast<std::size_t>(rank);
  const std::size_t high = std::min(low + 1, samples.size() - 1);
  return samples[low] + (rank - static_cast<double>(low)) * (samples[high] - samples[low]);
}

}  // namespace zrt::bench
