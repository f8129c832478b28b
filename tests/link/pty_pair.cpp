#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zrt::link::testing {

PtyPair::PtyPair() {
  int terminal = -1;
  char name[128] = {};
  if (openpty(&master_, &terminal, name, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  close(terminal);  // the component opens it again by name
  path_ = name;
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
}

void PtyPair::Send(const QByteArray& bytes) const {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw std::runtime_error("write to the pseudo-terminal failed");
    }
    done += n;
  }
}

bool PtyPair::Readable(int timeoutMs) const {
  pollfd fd{master_, POLLIN, 0};
  return poll(&fd, 1, timeoutMs) == 1 && (fd.revents & POLLIN);
}

bool PtyPair::TerminalClosed(int timeoutMs) const {
  pollfd fd{master_, 0, 0};
  return poll(&fd, 1, timeoutMs) == 1 && (fd.revents & POLLHUP);
}

QByteArray PtyPair::Receive(std::size_t count, int timeoutMs) const {
  QByteArray bytes;
  char buffer[4096];
  while (static_cast<std::size_t>(bytes.size()) < count && Readable(timeoutMs)) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, n);
  }
  return bytes;
}

bool PtyPair::SendXoffAndWait(int timeoutMs) const {
  // In packet mode the instrument's side learns of the stop as a control
  // byte; the mode must be on before the terminal acts on the XOFF.
  int on = 1;
  ioctl(master_, TIOCPKT, &on);
  Send("\x13");
  bool stopped = false;
  pollfd fd{master_, POLLIN | POLLPRI, 0};
  while (!stopped && poll(&fd, 1, timeoutMs) == 1) {
    unsigned char packet[64];
    const ssize_t n = read(master_, packet, sizeof packet);
    if (n <= 0) break;
    stopped = packet[0] & TIOCPKT_STOP;
  }
  int off = 0;
  ioctl(master_, TIOCPKT, &off);
  return stopped;
}

void PtyPair::CloseInstrument() {
  close(master_);
  master_ = -1;
}

}  // namespace zrt::link::testing
