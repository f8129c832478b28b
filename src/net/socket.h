// The few socket and signalling operations a port on the network needs, on
// whichever system it runs: BSD sockets and poll on POSIX, Winsock and event
// objects on Windows. Nothing here ever blocks but WaitForAny, and that
// only until its deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "net/system.h"

namespace zrt::net {

// When a wait gives up: never, or at that time.
using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// What the system's wait primitive waits on: a descriptor on POSIX, a
// handle on Windows (as StopEvent::NativeHandle gives).
using Waitable = std::intptr_t;

// A flag one thread raises for another to wait on. It stays raised until
// lowered, however often it is raised.
class Flag {
 public:
  Flag();
  ~Flag();
  Flag(const Flag&) = delete;
  Flag& operator=(const Flag&) = delete;

  void Raise() const;
  void Lower() const;
  Waitable Native() const { return handle_; }

 private:
  Waitable handle_;
};

struct Transfer {
  enum Kind {
    Done,        // `count` bytes moved (at least one)
    WouldBlock,  // nothing to move now
    Closed,      // the other side closed the connection
    Failed,
  };
  Kind kind;
  std::size_t count = 0;
};

// A connected TCP socket that never blocks, with Nagle's gathering off:
// bytes leave as they are handed over.
class Socket {
 public:
  struct State;  // the system's handle and what is known of it

  Socket();
  explicit Socket(std::unique_ptr<State> state);
  Socket(Socket&&) noexcept;
  Socket& operator=(Socket&&) noexcept;
  ~Socket();

  bool IsOpen() const { return state_ != nullptr; }
  Transfer Send(std::span<const std::uint8_t> bytes);
  Transfer Receive(std::span<std::uint8_t> buffer);
  // The next byte, left for Receive.
  Transfer Peek(std::uint8_t& first);
  // Ends the connection both ways; a wait on the socket then sees it closed.
  void Shutdown();

  State* state() const { return state_.get(); }

 private:
  std::unique_ptr<State> state_;
};

// A connection to one of the addresses `host` and `port` resolve to, each
// tried for up to `timeout`. On failure the socket is closed and `error`
// says why in the system's words; `resolved` tells whether the name
// resolved at all (when not, `error` is the resolver's).
Socket Connect(const std::string& host, const std::string& port, std::chrono::milliseconds timeout,
               SocketError& error, bool& resolved);

struct Woken {
  int flag = -1;          // the first of the flags that is raised, or -1
  bool readable = false;  // the socket has data, or its connection ended
  bool writable = false;  // the socket takes more (only when asked)
  bool timedOut = false;
  SocketError error;  // the wait itself failed
};

// Waits until one of `flags` (at most kMostFlags) is raised, the socket (if
// any) can be read or, when `writable` is asked, written, or the deadline
// passes. Allocates nothing: the port's threads wait here for every block.
inline constexpr std::size_t kMostFlags = 3;
Woken WaitForAny(std::span<const Waitable> flags, Socket* socket, bool writable, Deadline deadline);

}  // namespace zrt::net
