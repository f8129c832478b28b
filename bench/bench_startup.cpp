// Starts the panel repeatedly and reports how long it takes from the process
// start to the window's first paint, and the resident memory at that moment;
// and the same for a bare Qt Widgets window of the panel's size with 100
// plain buttons captioned in English and Chinese (bench-startup-floor), run
// in turn with it, with the ratios.
//
//   bench-startup [--runs N] [--json] [--panel PATH] [--floor PATH]
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

struct Figures {
  double shownMedian = 0, shownMin = 0, shownMax = 0, rssMedian = 0;
};

Figures Summarise(const std::vector<Sample>& samples) {
  std::vector<double> shown;
  std::vector<double> rss;
  for (const Sample& s : samples) {
    shown.push_back(s.shownMs);
    rss.push_back(static_cast<double>(s.rssKb) / 1024.0);
  }
  const auto [fastest, slowest] = std::minmax_element(shown.begin(), shown.end());
  return {Median(shown), *fastest, *slowest, Median(rss)};
}

}  // namespace

int main(int argc, char** argv) {
  // Fewer runs leave the ratios at the mercy of a busy machine.
  int runs = 40;
  bool json = false;
  const auto here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  std::string panel = (here / "zrt-panel").string();
  std::string floor = (here / "bench-startup-floor").string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--panel" && i + 1 < argc) {
      panel = argv[++i];
    } else if (arg == "--floor" && i + 1 < argc) {
      floor = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: bench-startup [--runs N] [--json] [--panel PATH] [--floor PATH]\n");
      return 2;
    }
  }

  // One run of each first fills the font and file caches.
  Sample sample{};
  if (!RunOnce(panel, sample) || !RunOnce(floor, sample)) return 1;
  std::vector<Sample> panelSamples;
  std::vector<Sample> floorSamples;
  for (int i = 0; i < runs; ++i) {  // in turn, so that both see the same machine
    if (!RunOnce(panel, sample)) return 1;
    panelSamples.push_back(sample);
    if (!RunOnce(floor, sample)) return 1;
    floorSamples.push_back(sample);
  }
  const Figures p = Summarise(panelSamples);
  const Figures f = Summarise(floorSamples);
  const double timeRatio = p.shownMedian / f.shownMedian;
  // The fastest runs show what each program needs when the shared machine
  // does not get in the way.
  const double fastestRatio = p.shownMin / f.shownMin;
  const double memoryRatio = p.rssMedian / f.rssMedian;
  if (json) {
    std::printf(
        "{\"runs\": %d, \"shown_ms_median\": %.1f, \"shown_ms_min\": %.1f, "
        "\"shown_ms_max\": %.1f, \"rss_mb_median\": %.1f, \"floor_shown_ms_median\": %.1f, "
        "\"floor_shown_ms_min\": %.1f, \"floor_rss_mb_median\": %.1f, \"shown_ratio\": %.2f, "
        "\"fastest_shown_ratio\": %.2f, \"rss_ratio\": %.3f}\n",
        runs, p.shownMedian, p.shownMin, p.shownMax, p.rssMedian, f.shownMedian, f.shownMin,
        f.rssMedian, timeRatio, fastestRatio, memoryRatio);
  } else {
    std::printf("runs:               %d of each\n", runs);
    std::printf("window shown (ms):  median %.1f, fastest %.1f, max %.1f   (target: 150)\n",
                p.shownMedian, p.shownMin, p.shownMax);
    std::printf("resident (MB):      median %.1f             (target: 50)\n", p.rssMedian);
    std::printf("bare window:        shown %.1f ms (fastest %.1f), resident %.1f MB\n",
                f.shownMedian, f.shownMin, f.rssMedian);
    std::printf(
        "ratios:             time %.2f (target <= 1.3), fastest %.2f, memory %.3f (target <= "
        "1.02)\n",
        timeRatio, fastestRatio, memoryRatio);
  }
  return 0;
}
