#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

#include "cli/stop_request.h"

namespace zrt::cli {

namespace {

// The one thing a signal handler may touch: where it writes a byte to wake
// the event loop.
std::atomic<int> wakeFd{-1};

void Wake(int) {
  const int saved = errno;
  const char byte = 1;
  if (const int fd = wakeFd.load(); fd >= 0) (void)!write(fd, &byte, 1);
  errno = saved;
}

}  // namespace

struct StopRequest::Platform {
  int pipe[2] = {-1, -1};
  struct sigaction before[2] = {};
  QSocketNotifier* notifier = nullptr;
};

StopRequest::StopRequest(QObject* parent) : QObject(parent), platform_(new Platform) {
  if (pipe2(platform_->pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  wakeFd = platform_->pipe[1];
  struct sigaction action = {};
  action.sa_handler = Wake;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &platform_->before[0]);
  sigaction(SIGTERM, &action, &platform_->before[1]);
  platform_->notifier = new QSocketNotifier(platform_->pipe[0], QSocketNotifier::Read, this);
  connect(platform_->notifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(platform_->pipe[0], bytes, sizeof bytes) > 0) {
    }
    emit Requested();
  });
}

StopRequest::~StopRequest() {
  if (platform_->pipe[0] < 0) return;
  sigaction(SIGINT, &platform_->before[0], nullptr);
  sigaction(SIGTERM, &platform_->before[1], nullptr);
  wakeFd = -1;
  delete platform_->notifier;
  close(platform_->pipe[0]);
  close(platform_->pipe[1]);
}

}  // namespace zrt::cli
