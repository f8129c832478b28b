// Sockets and flags on POSIX: non-blocking descriptors, eventfds as flags,
// poll for every wait.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include "net/socket.h"

namespace zrt::net {
namespace {

int MillisecondsUntil(Deadline deadline) {
  if (!deadline) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

Transfer Failure(int error) {
  if (error == EAGAIN || error == EWOULDBLOCK) return {Transfer::WouldBlock};
  return {Transfer::Failed};
}

}  // namespace

struct Socket::State {
  explicit State(int fd) : fd(fd) {}
  ~State() { close(fd); }
  const int fd;
};

Flag::Flag() : handle_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
Flag::~Flag() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}
void Flag::Raise() const {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(static_cast<int>(handle_), &one, sizeof one);
}
void Flag::Lower() const {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(static_cast<int>(handle_), &count, sizeof count);
}

Socket::Socket() = default;
Socket::Socket(std::unique_ptr<State> state) : state_(std::move(state)) {}
Socket::Socket(Socket&&) noexcept = default;
Socket& Socket::operator=(Socket&&) noexcept = default;
Socket::~Socket() = default;

Transfer Socket::Send(std::span<const std::uint8_t> bytes) {
  for (;;) {
    const ssize_t n = send(state_->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) return {Transfer::Done, static_cast<std::size_t>(n)};
    if (n < 0 && errno == EINTR) continue;
    return n == 0 ? Transfer{Transfer::WouldBlock} : Failure(errno);
  }
}

Transfer Socket::Receive(std::span<std::uint8_t> buffer) {
  for (;;) {
    const ssize_t n = recv(state_->fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0) return {Transfer::Done, static_cast<std::size_t>(n)};
    if (n == 0) return {Transfer::Closed};
    if (errno != EINTR) return Failure(errno);
  }
}

Transfer Socket::Peek(std::uint8_t& first) {
  for (;;) {
    const ssize_t n = recv(state_->fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return {Transfer::Done, 1};
    if (n == 0) return {Transfer::Closed};
    if (errno != EINTR) return Failure(errno);
  }
}

void Socket::Shutdown() { shutdown(state_->fd, SHUT_RDWR); }

Socket Connect(const std::string& host, const std::string& port, std::chrono::milliseconds timeout,
               SocketError& error, bool& resolved) {
  const AddressList found(host, port, false);
  resolved = found.First() != nullptr;
  if (!resolved) {
    error = {EADDRNOTAVAIL, found.Failure()};
    return {};
  }
  error = {ECONNREFUSED, "Connection refused"};
  for (const addrinfo* a = found.First(); a; a = a->ai_next) {
    const int fd =
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) {
      error = ErrorOf(errno);
      continue;
    }
    auto state = std::make_unique<Socket::State>(fd);
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
      error = ErrorOf(errno);
      continue;
    }
    pollfd out{fd, POLLOUT, 0};
    const int n = poll(&out, 1, static_cast<int>(timeout.count()));
    int failure = 0;
    socklen_t length = sizeof failure;
    if (n == 0) {
      failure = ETIMEDOUT;
    } else if (n < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) {
      failure = errno;
    }
    if (failure != 0) {
      error = ErrorOf(failure);
      continue;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    error = {};
    return Socket(std::move(state));
  }
  return {};
}

Woken WaitForAny(std::span<const Waitable> flags, Socket* socket, bool writable,
                 Deadline deadline) {
  flags = flags.first(std::min(flags.size(), kMostFlags));
  std::array<pollfd, kMostFlags + 1> fds{};
  std::size_t count = 0;
  for (const Waitable flag : flags) {
    fds[count++] = {static_cast<int>(flag), POLLIN, 0};
  }
  if (socket) {
    fds[count++] = {socket->state()->fd, static_cast<short>(POLLIN | (writable ? POLLOUT : 0)), 0};
  }
  for (;;) {
    const int n = poll(fds.data(), count, MillisecondsUntil(deadline));
    if (n < 0 && errno == EINTR) continue;
    Woken woken;
    if (n < 0) {
      woken.error = ErrorOf(errno);
      return woken;
    }
    for (std::size_t i = 0; i < flags.size(); ++i) {
      if (fds[i].revents) {
        woken.flag = static_cast<int>(i);
        break;
      }
    }
    if (socket) {
      const short events = fds[count - 1].revents;
      woken.readable = (events & (POLLIN | POLLHUP | POLLERR)) != 0;
      woken.writable = (events & POLLOUT) != 0;
    }
    woken.timedOut = n == 0;
    if (n > 0 || (deadline && std::chrono::steady_clock::now() >= *deadline)) return woken;
  }
}

}  // namespace zrt::net
