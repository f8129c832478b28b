// What the benchmarks share: a pseudo-terminal playing the instrument, and
// percentiles of a sample.
#pragma once

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
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

// A numeric option "--name N" of a benchmark, kept at `minimum` or above.
struct NumberOption {
  const char* name;
  int* value;
  int minimum = 1;
};

// Parses "--json" and the numeric options; for anything else prints `usage`
// on standard error and returns false.
inline bool ParseArguments(int argc, char** argv, bool& json,
                           std::initializer_list<NumberOption> options, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
      continue;
    }
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const NumberOption& o) { return arg == o.name; });
    if (option == options.end() || i + 1 == argc) {
      std::fprintf(stderr, "%s\n", usage);
      return false;
    }
    *option->value = std::max(option->minimum, std::atoi(argv[++i]));
  }
  return true;
}

}  // namespace zrt::bench
