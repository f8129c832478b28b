// The platform layer under the serial component: opening a port by name, and
// the few operations the component and its threads need on an open port. A
// POSIX implementation serves Linux, a Win32 one Windows; tests use a fake
// behind the same interface.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "link/port/comm_settings.h"
#include "link/port/port_reasons.h"

namespace zrt::link {

// A failure as the system reported it: its error number (0: no failure) and
// text, and what it concerns, so that it can be said in other words too.
struct SysError {
  SysError() = default;
  SysError(int code, std::string reason, std::string path = {}, std::string group = {})
      : code(code), reason(std::move(reason)), path(std::move(path)), group(std::move(group)) {}

  int code = 0;
  std::string reason;
  std::string path;   // the device concerned, where the text names it
  std::string group;  // a device refused for want of permission: its group
  // Said in words of the port's own (reason holds them in English), or System.
  PortNote note;

  explicit operator bool() const { return code != 0; }
  static SysError FromErrno(int code);
  // A failure in the port's own words, `reason` their English.
  static SysError Noted(int code, PortNote note, std::string path = {}) {
    SysError error(code, SayPortNote(note), std::move(path));
    error.note = std::move(note);
    return error;
  }
};

// A manual-reset event that tells the port's threads to end. Once set it
// stays set; every wait of a device on it returns at once.
class StopEvent {
 public:
  virtual ~StopEvent() = default;
  virtual void Set() = 0;
  virtual bool IsSet() const = 0;
  // What the platform's wait primitive waits on (a descriptor on POSIX).
  virtual std::intptr_t NativeHandle() const = 0;
  // Waits until `until`; false as soon as the event is set.
  virtual bool SleepUntil(std::chrono::steady_clock::time_point until) const = 0;
};

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

struct WaitResult {
  enum Kind {
    Ready,      // the port can be read (or written)
    LineEvent,  // `events` holds line events (EV_* bits) of the requested mask
    Timeout,    // the deadline passed
    Stopped,    // the stop event is set; it wins over everything else
    HungUp,     // the device is gone or the other side closed
    Failed,     // `error` says why
  };
  Kind kind;
  std::uint32_t events = 0;
  SysError error{};
};

struct IoResult {
  enum Status {
    Done,        // `count` bytes moved (at least one)
    WouldBlock,  // nothing to move now; wait and try again
    HungUp,      // the device is gone or the other side closed
    Failed,      // `error` says why
  };
  Status status;
  std::size_t count = 0;
  SysError error{};
};

// An open port. The component calls the configuration operations on its
// thread while the reader waits and reads and the writer writes, so an
// implementation keeps no unsynchronised state shared between those roles.
class SerialDevice {
 public:
  enum class Direction { Read, Write };

  virtual ~SerialDevice() = default;  // closes the port, restoring the settings it found

  virtual SysError SetupQueues(std::size_t inputBytes, std::size_t outputBytes) = 0;
  // Discards queued input or output (PURGE_* flags).
  virtual void Purge(std::uint32_t flags) = 0;
  // Applies line settings; what the record does not name keeps its value.
  virtual SysError ApplyState(const CommState& state) = 0;
  // Which line events Wait reports (EV_* bits).
  virtual SysError SetEventMask(std::uint32_t mask) = 0;
  // Waits until the port can be read or written, a line event of the mask
  // occurs, the deadline passes or `stop` is set.
  virtual WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) = 0;
  virtual IoResult Read(std::span<std::uint8_t> buffer) = 0;
  virtual IoResult Write(std::span<const std::uint8_t> bytes) = 0;
  // Waits until what was written has left the computer (the port's output
  // queue is empty): Ready, or Timeout at the deadline with bytes still
  // queued (held back by flow control), Stopped or Failed. A device without
  // an output queue to watch is Ready at once.
  virtual WaitResult WaitUntilSent(Deadline /*deadline*/, const StopEvent& /*stop*/) {
    return {WaitResult::Ready};
  }
  // The line-error flags (CE_*) gathered since the last call, clearing them.
  virtual std::uint32_t ClearErrors(SysError& error) = 0;
  // What is worth telling the operator but no failure (a modem line that a
  // network server left unanswered, why a connection ended), since the
  // last call.
  virtual std::vector<PortNote> TakeNotes() { return {}; }

  // The read and write timeouts. The reader frames blocks by them itself, so
  // they are kept here and take effect from the next block on; a platform
  // that has write timeouts of its own also applies those.
  virtual void ApplyTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(timeoutsMutex_);
    timeouts_ = timeouts;
  }
  CommTimeouts Timeouts() const {
    std::lock_guard lock(timeoutsMutex_);
    return timeouts_;
  }

 private:
  mutable std::mutex timeoutsMutex_;
  CommTimeouts timeouts_;
};

enum class ThreadRole { Reader, Writer };

class SerialPlatform {
 public:
  enum class OpenFailure { None, CannotOpen, NotCommDevice };
  struct OpenResult {
    std::unique_ptr<SerialDevice> device;
    OpenFailure failure = OpenFailure::None;
    SysError error{};
  };

  virtual ~SerialPlatform() = default;

  // Opens a port by name, exclusively.
  virtual OpenResult Open(const std::string& name) = 0;
  // A new, unset stop event; nullptr with `error` set on failure.
  virtual std::unique_ptr<StopEvent> CreateStopEvent(SysError& error) = 0;
  // Starts a thread for one of the port's roles, raising its priority where
  // the system allows; throws std::system_error when no thread can be made.
  virtual std::jthread StartThread(ThreadRole role, std::function<void()> body) = 0;
};

// The platform of the system the program was built for.
SerialPlatform& SystemSerialPlatform();

}  // namespace zrt::link
