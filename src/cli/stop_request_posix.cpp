#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <iterator>

#include "cli/stop_request.h"

namespace zrt::cli {

namespace {

// The one thing a signal handler may touch: where it writes a byte to wake
// the event loop.
std::atomic<int> wakeFd{-1};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void Wake(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  if (const int fd = wakeFd.load(); fd >= 0) (void)!write(fd, &byte, 1);
  errno = saved;
}

}  // namespace

struct StopRequest::Platform {
  int pipe[2] = {-1, -1};
  struct sigaction before[std::size(kSignals)] = {};
  QSocketNotifier* notifier = nullptr;
};

StopRequest::StopRequest(QObject* parent) : QObject(parent), platform_(new Platform) {
  if (pipe2(platform_->pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  wakeFd = platform_->pipe[1];
  struct sigaction action = {};
  action.sa_handler = Wake;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &action, &platform_->before[i]);
  }
  platform_->notifier = new QSocketNotifier(platform_->pipe[0], QSocketNotifier::Read, this);
  connect(platform_->notifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    for (ssize_t got; (got = read(platform_->pipe[0], bytes, sizeof bytes)) > 0;) {
      for (ssize_t i = 0; i < got; ++i) emit Requested(128 + bytes[i]);
    }
  });
}

StopRequest::~StopRequest() {
  if (platform_->pipe[0] < 0) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    sigaction(kSignals[i], &platform_->before[i], nullptr);
  }
  wakeFd = -1;
  delete platform_->notifier;
  close(platform_->pipe[0]);
  close(platform_->pipe[1]);
}

}  // namespace zrt::cli
