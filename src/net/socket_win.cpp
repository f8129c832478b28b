// Sockets and flags on Windows: Winsock sockets in non-blocking mode, each
// tied to an event object by WSAEventSelect, manual-reset events as flags,
// and WaitForMultipleObjects for every wait.
//
// Winsock reports readiness as events that each fire once (FD_READ again
// only after a recv, FD_WRITE only after a send that would block), so the
// socket keeps what it was told until a call finds otherwise: a wait
// returns at once while the socket is known readable (or writable, when
// asked), as poll does on POSIX.
//
// The project's headers come first: <windows.h> defines names they use.
#include "net/socket.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <string>
#include <utility>

namespace zrt::net {
namespace {

using Clock = std::chrono::steady_clock;

// Another thread's send may find the socket full just after the wait took
// the event that said it had room, so a wait for room looks again this often.
constexpr DWORD kLookForRoomMs = 50;

DWORD MillisecondsUntil(Deadline deadline) {
  if (!deadline) return INFINITE;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<DWORD>(std::clamp<long long>(left.count(), 0, INFINITE - 1));
}

}  // namespace

struct Socket::State {
  State(SOCKET socket, HANDLE event) : socket(socket), event(event) {}
  ~State() {
    closesocket(socket);
    WSACloseEvent(event);
  }
  const SOCKET socket;
  const HANDLE event;  // set by WSAEventSelect
  // What the socket's events said and no call has found otherwise since.
  std::atomic<bool> readable{false};
  std::atomic<bool> writable{true};
  std::atomic<bool> ended{false};

  // Takes the events recorded since the last look.
  void Look() {
    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(socket, event, &events) != 0) return;
    if (events.lNetworkEvents & FD_READ) readable = true;
    if (events.lNetworkEvents & FD_WRITE) writable = true;
    if (events.lNetworkEvents & FD_CLOSE) ended = true;
  }
};

Flag::Flag() : handle_(reinterpret_cast<Waitable>(CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}
Flag::~Flag() {
  if (handle_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
void Flag::Raise() const { SetEvent(reinterpret_cast<HANDLE>(handle_)); }
void Flag::Lower() const { ResetEvent(reinterpret_cast<HANDLE>(handle_)); }

Socket::Socket() = default;
Socket::Socket(std::unique_ptr<State> state) : state_(std::move(state)) {}
Socket::Socket(Socket&&) noexcept = default;
Socket& Socket::operator=(Socket&&) noexcept = default;
Socket::~Socket() = default;

Transfer Socket::Send(std::span<const std::uint8_t> bytes) {
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
  const int n = send(state_->socket, reinterpret_cast<const char*>(bytes.data()), size, 0);
  if (n > 0) return {Transfer::Done, static_cast<std::size_t>(n)};
  if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
    state_->writable = false;
    return {Transfer::WouldBlock};
  }
  return {n == 0 ? Transfer::WouldBlock : Transfer::Failed};
}

Transfer Socket::Receive(std::span<std::uint8_t> buffer) {
  const int size = static_cast<int>(std::min<std::size_t>(buffer.size(), 1 << 30));
  const int n = recv(state_->socket, reinterpret_cast<char*>(buffer.data()), size, 0);
  if (n > 0) return {Transfer::Done, static_cast<std::size_t>(n)};
  if (n == 0) return {Transfer::Closed};
  if (WSAGetLastError() == WSAEWOULDBLOCK) {
    state_->readable = false;
    return {Transfer::WouldBlock};
  }
  return {Transfer::Failed};
}

Transfer Socket::Peek(std::uint8_t& first) {
  const int n = recv(state_->socket, reinterpret_cast<char*>(&first), 1, MSG_PEEK);
  if (n > 0) return {Transfer::Done, 1};
  if (n == 0) return {Transfer::Closed};
  if (WSAGetLastError() == WSAEWOULDBLOCK) {
    state_->readable = false;
    return {Transfer::WouldBlock};
  }
  return {Transfer::Failed};
}

void Socket::Shutdown() {
  shutdown(state_->socket, SD_BOTH);
  state_->ended = true;
}

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
    const SOCKET s = WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
      error = ErrorOf(WSAGetLastError());
      continue;
    }
    const HANDLE event = WSACreateEvent();
    auto state = std::make_unique<Socket::State>(s, event);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      error = ErrorOf(WSAGetLastError());
      continue;
    }
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait{static_cast<long>(timeout.count() / 1000),
                 static_cast<long>((timeout.count() % 1000) * 1000)};
    const int n = select(0, nullptr, &writable, &failed, &wait);
    int failure = 0;
    int length = sizeof failure;
    if (n == 0) {
      failure = WSAETIMEDOUT;
    } else if (n < 0) {
      failure = WSAGetLastError();
    } else if (FD_ISSET(s, &failed) || !FD_ISSET(s, &writable)) {
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length);
      if (failure == 0) failure = WSAECONNREFUSED;
    }
    if (failure != 0) {
      error = ErrorOf(failure);
      continue;
    }
    if (WSAEventSelect(s, event, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
      error = ErrorOf(WSAGetLastError());
      continue;
    }
    const BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    error = {};
    return Socket(std::move(state));
  }
  return {};
}

Woken WaitForAny(std::span<const Waitable> flags, Socket* socket, bool writable,
                 Deadline deadline) {
  flags = flags.first(std::min(flags.size(), kMostFlags));
  std::array<HANDLE, kMostFlags + 1> handles{};
  DWORD count = 0;
  for (const Waitable flag : flags) {
    handles[count++] = reinterpret_cast<HANDLE>(flag);
  }
  Socket::State* state = socket ? socket->state() : nullptr;
  if (state) handles[count++] = state->event;
  for (;;) {
    Woken woken;
    if (state) {
      state->Look();
      woken.readable = state->readable || state->ended;
      woken.writable = writable && (state->writable || state->ended);
    }
    DWORD wait = woken.readable || woken.writable ? 0 : MillisecondsUntil(deadline);
    if (writable && !woken.writable) wait = std::min(wait, kLookForRoomMs);
    const DWORD result = WaitForMultipleObjects(count, handles.data(), FALSE, wait);
    if (result == WAIT_FAILED) {
      woken.error = {static_cast<int>(GetLastError()), "the wait failed"};
      return woken;
    }
    for (std::size_t i = 0; i < flags.size(); ++i) {
      if (WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0) {
        woken.flag = static_cast<int>(i);
        break;
      }
    }
    if (state) {
      state->Look();
      woken.readable = state->readable || state->ended;
      // A look again for room counts as room: the send that follows finds out.
      woken.writable = writable && (state->writable || state->ended || result == WAIT_TIMEOUT);
    }
    woken.timedOut = result == WAIT_TIMEOUT && deadline && Clock::now() >= *deadline;
    if (woken.flag >= 0 || woken.readable || woken.writable || woken.timedOut) return woken;
  }
}

}  // namespace zrt::net
