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
#include "link/port/net_socket.h"

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

namespace zrt::link::net {
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

// Winsock is started once for the process and ended with it.
struct WinsockStarted {
  WinsockStarted() {
    WSADATA data;
    ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockStarted() {
    if (ok) WSACleanup();
  }
  bool ok = false;
};

bool StartWinsock() {
  static const WinsockStarted started;
  return started.ok;
}

// A Winsock error in the words a POSIX system uses for the same failure, so
// that messages read alike on both; others in the system's own words.
SysError WsaError(int code) {
  struct Known {
    int wsa;
    int code;
    const char* text;
  };
  static constexpr Known kKnown[] = {
      {WSAECONNREFUSED, ECONNREFUSED, "Connection refused"},
      {WSAETIMEDOUT, ETIMEDOUT, "Connection timed out"},
      {WSAEHOSTUNREACH, EHOSTUNREACH, "No route to host"},
      {WSAENETUNREACH, ENETUNREACH, "Network is unreachable"},
      {WSAECONNRESET, ECONNRESET, "Connection reset by peer"},
      {WSAECONNABORTED, ECONNABORTED, "Software caused connection abort"},
      {WSAEADDRNOTAVAIL, EADDRNOTAVAIL, "Cannot assign requested address"},
  };
  for (const Known& known : kKnown) {
    if (known.wsa == code) return {known.code, known.text};
  }
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason =
      text ? std::string(text) : std::string("Winsock error ").append(std::to_string(code));
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  return {code, reason};
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
               SysError& error, bool& resolved) {
  resolved = false;
  if (!StartWinsock()) {
    error = WsaError(WSASYSNOTREADY);
    return {};
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found)) {
    error = {EADDRNOTAVAIL, WsaError(rc).reason};
    return {};
  }
  resolved = true;
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  error = {ECONNREFUSED, "Connection refused"};
  for (const addrinfo* a = found; a; a = a->ai_next) {
    const SOCKET s = WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
      error = WsaError(WSAGetLastError());
      continue;
    }
    const HANDLE event = WSACreateEvent();
    auto state = std::make_unique<Socket::State>(s, event);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      error = WsaError(WSAGetLastError());
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
      error = WsaError(failure);
      continue;
    }
    if (WSAEventSelect(s, event, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
      error = WsaError(WSAGetLastError());
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

}  // namespace zrt::link::net
