// Starts the panel repeatedly and reports how long it takes from the process
// start to the window's first paint, and the resident memory at that moment.
//
//   bench-startup [--runs N] [--json] [--panel PATH]
//
// The panel runs on whatever display QT_QPA_PLATFORM / DISPLAY name (use Xvfb
// for a real X server, or QT_QPA_PLATFORM=offscreen).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Sample {
  double shownMs;
  long rssKb;
};

bool RunOnce(const std::string& panel, Sample& sample) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);

  std::string flag = "--report-startup";
  char* argv[] = {const_cast<char*>(panel.c_str()), flag.data(), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, panel.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    std::fprintf(stderr, "bench-startup: cannot start %s: %s\n", panel.c_str(), std::strerror(rc));
    return false;
  }

  std::string line;
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  const auto shown = std::chrono::steady_clock::now();
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  long rss = -1;
  if (std::sscanf(line.c_str(), "shown rss_kb=%ld", &rss) != 1) {
    std::fprintf(stderr, "bench-startup: unexpected output from the panel: '%s'\n", line.c_str());
    return false;
  }
  sample.shownMs = std::chrono::duration<double, std::milli>(shown - start).count();
  sample.rssKb = rss;
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  bool json = false;
  std::string panel =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "zrt-panel").string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--panel" && i + 1 < argc) {
      panel = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench-startup [--runs N] [--json] [--panel PATH]\n");
      return 2;
    }
  }

  Sample warmup{};
  if (!RunOnce(panel, warmup)) return 1;  // fills the font and file caches
  std::vector<double> shown;
  std::vector<double> rss;
  for (int i = 0; i < runs; ++i) {
    Sample s{};
    if (!RunOnce(panel, s)) return 1;
    shown.push_back(s.shownMs);
    rss.push_back(static_cast<double>(s.rssKb) / 1024.0);
  }
  const double shownMedian = Median(shown);
  const double shownMax = *std::max_element(shown.begin(), shown.end());
  const double rssMedian = Median(rss);
  if (json) {
    std::printf(
        "{\"runs\": %d, \"shown_ms_median\": %.1f, \"shown_ms_max\": %.1f, "
        "\"rss_mb_median\": %.1f}\n",
        runs, shownMedian, shownMax, rssMedian);
  } else {
    std::printf("runs:               %d\n", runs);
    std::printf("window shown (ms):  median %.1f, max %.1f   (target: 150)\n", shownMedian,
                shownMax);
    std::printf("resident (MB):      median %.1f             (target: 50)\n", rssMedian);
  }
  return 0;
}
