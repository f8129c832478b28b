// Linux terminals through termios2, so that any baud rate can be set (Linux
// has no constants for 14400 or 28800). <termios.h> cannot be included beside
// <asm/termbits.h>, so every terminal call here is an ioctl.
#include "link/port/serial_port_posix.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "link/port/comm_events.h"
#include "link/port/serial_port_net.h"
#include "link/port/serial_ports.h"
#include "link/port/terminal_checks.h"
#include "link/port/uucp_lock.h"

namespace zrt::link {
namespace {

using Clock = std::chrono::steady_clock;

// Where the device keeps line counters, they are looked at this often while
// the line is idle, so carrier and ring changes surface without traffic.
constexpr auto kLineCounterPoll = std::chrono::seconds(1);

// The time left until `deadline`, to the nanosecond: a block is due right
// when the line has been quiet for its interval, not a rounded millisecond later.
timespec TimeLeft(Clock::time_point deadline) {
  const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
  return {static_cast<time_t>(seconds.count()),
          static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
}

class EventFdStopEvent : public StopEvent {
 public:
  explicit EventFdStopEvent(int fd) : fd_(fd) {}
  ~EventFdStopEvent() override { close(fd_); }

  void Set() override {
    set_.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    // The counter is never read, so the descriptor stays readable: manual reset.
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  bool IsSet() const override { return set_.load(std::memory_order_acquire); }
  std::intptr_t NativeHandle() const override { return fd_; }
  bool SleepUntil(Clock::time_point until) const override {
    pollfd fd{fd_, POLLIN, 0};
    for (;;) {
      if (IsSet()) return false;
      if (Clock::now() >= until) return true;
      const timespec left = TimeLeft(until);
      if (ppoll(&fd, 1, &left, nullptr) > 0) return false;
    }
  }

 private:
  int fd_;
  std::atomic<bool> set_{false};
};

// More than 2 % off, beyond what a UART's divisor makes of a standard rate.
bool RateDiffers(speed_t taken, std::uint32_t asked) {
  const double ratio = static_cast<double>(taken) / static_cast<double>(asked);
  return ratio < 0.98 || ratio > 1.02;
}

tcflag_t CharacterSize(std::uint8_t bits) {
  switch (bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

// Sets or clears one modem-control line; pseudo-terminals have none and
// answer ENOTTY or EINVAL, which is no failure of the port.
void SetModemLine(int fd, int line, bool asserted) {
  ioctl(fd, asserted ? TIOCMBIS : TIOCMBIC, &line);
}

class PosixSerialDevice : public SerialDevice {
 public:
  PosixSerialDevice(int fd, const termios2& original, UucpLock lock)
      : fd_(fd), original_(original), lock_(std::move(lock)) {
    serial_icounter_struct counters{};
    countersSupported_ = ioctl(fd_, TIOCGICOUNT, &counters) == 0;
    lastCounters_ = counters;
  }

  ~PosixSerialDevice() override {
    // Output left in the driver would hold close() until it drained.
    ioctl(fd_, TCFLSH, TCOFLUSH);
    ioctl(fd_, TCSETS2, &original_);
    ioctl(fd_, TIOCNXCL);
    close(fd_);  // also releases the flock
  }

  SysError SetupQueues(std::size_t, std::size_t) override {
    // The kernel sizes a terminal's buffers itself.
    return {};
  }

  void Purge(std::uint32_t flags) override {
    const bool input = flags & (PURGE_RXABORT | PURGE_RXCLEAR);
    const bool output = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
    // Pending reads and writes end by the stop event, which the threads poll.
    if (input && output) {
      ioctl(fd_, TCFLSH, TCIOFLUSH);
    } else if (input) {
      ioctl(fd_, TCFLSH, TCIFLUSH);
    } else if (output) {
      ioctl(fd_, TCFLSH, TCOFLUSH);
    }
  }

  SysError ApplyState(const CommState& s) override {
    termios2 t{};
    if (ioctl(fd_, TCGETS2, &t) != 0) return SysError::FromErrno(errno);

    // Raw bytes both ways: no echo, no line editing, no translation, no signals.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL | CharacterSize(s.byteSize);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    switch (s.parity) {
      case 1:  // odd
        t.c_cflag |= PARENB | PARODD;
        break;
      case 2:  // even
        t.c_cflag |= PARENB;
        break;
      case 3:  // mark
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case 4:  // space
        t.c_cflag |= PARENB | CMSPAR;
        break;
      default:
        break;
    }
    if (s.flags & dcb::fParity) t.c_iflag |= INPCK;
    // One and a half stop bits exist only with five data bits, where CSTOPB gives them.
    if (s.stopBits != 0) t.c_cflag |= CSTOPB;

    if (s.flags & dcb::fOutX) t.c_iflag |= IXON;
    if (s.flags & dcb::fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    if ((s.flags & dcb::fOutxCtsFlow) || s.RtsControl() == RTS_CONTROL_HANDSHAKE) {
      t.c_cflag |= CRTSCTS;
    }

    // A rate of 0 would hang up the line on Linux: the rate is then left alone.
    if (s.baudRate != 0) {
      t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
      t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
      t.c_ispeed = s.baudRate;
      t.c_ospeed = s.baudRate;
    }
    if (ioctl(fd_, TCSETS2, &t) != 0) return SysError::FromErrno(errno);
    // A driver may round a rate it cannot make to one it can, and say nothing.
    termios2 taken{};
    if (s.baudRate != 0 && ioctl(fd_, TCGETS2, &taken) == 0 &&
        RateDiffers(taken.c_ospeed, s.baudRate)) {
      return {EINVAL, "the device runs at " + std::to_string(taken.c_ospeed) +
                          " bit/s instead of " + std::to_string(s.baudRate)};
    }

    if (s.DtrControl() != DTR_CONTROL_HANDSHAKE) {
      SetModemLine(fd_, TIOCM_DTR, s.DtrControl() == DTR_CONTROL_ENABLE);
    }
    if (s.RtsControl() == RTS_CONTROL_ENABLE || s.RtsControl() == RTS_CONTROL_DISABLE) {
      SetModemLine(fd_, TIOCM_RTS, s.RtsControl() == RTS_CONTROL_ENABLE);
    }
    ignoreNull_.store(s.flags & dcb::fNull, std::memory_order_relaxed);
    return {};
  }

  SysError SetEventMask(std::uint32_t mask) override {
    eventMask_.store(mask, std::memory_order_relaxed);
    return {};
  }

  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    const bool reading = direction == Direction::Read;
    const bool watchCounters =
        reading && countersSupported_ && eventMask_.load(std::memory_order_relaxed) != 0;
    pollfd fds[2] = {
        {static_cast<int>(stop.NativeHandle()), POLLIN, 0},
        {fd_, static_cast<short>(reading ? POLLIN : POLLOUT), 0},
    };
    for (;;) {
      Deadline wake = deadline;
      if (watchCounters) {
        const auto next = Clock::now() + kLineCounterPoll;
        if (!wake || next < *wake) wake = next;
      }
      timespec left{};
      if (wake) left = TimeLeft(*wake);
      const int n = ppoll(fds, 2, wake ? &left : nullptr, nullptr);
      if (n < 0) {
        if (errno == EINTR) continue;
        return {WaitResult::Failed, 0, SysError::FromErrno(errno)};
      }
      if (fds[0].revents) return {WaitResult::Stopped};
      if (watchCounters) {
        if (const std::uint32_t events = TakeLineEvents()) {
          return {WaitResult::LineEvent, events};
        }
      }
      const short revents = fds[1].revents;
      if (revents & POLLNVAL) return {WaitResult::Failed, 0, SysError::FromErrno(EBADF)};
      if (revents & (POLLIN | POLLOUT)) return {WaitResult::Ready};
      if (revents & (POLLHUP | POLLERR)) return {WaitResult::HungUp};
      if (deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
    }
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    for (;;) {
      const ssize_t n = read(fd_, buffer.data(), buffer.size());
      if (n > 0) {
        std::size_t count = static_cast<std::size_t>(n);
        if (ignoreNull_.load(std::memory_order_relaxed)) {
          count = static_cast<std::size_t>(
              std::remove(buffer.begin(), buffer.begin() + n, std::uint8_t{0}) - buffer.begin());
          if (count == 0) return {IoResult::WouldBlock};
        }
        return {IoResult::Done, count};
      }
      if (n == 0) return {IoResult::HungUp};  // end of file: the device is gone
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return {IoResult::WouldBlock};
      if (errno == EIO || errno == ENXIO || errno == ENODEV) return {IoResult::HungUp};
      return {IoResult::Failed, 0, SysError::FromErrno(errno)};
    }
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    for (;;) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n > 0) return {IoResult::Done, static_cast<std::size_t>(n)};
      if (n == 0 || errno == EAGAIN) return {IoResult::WouldBlock};
      if (errno == EINTR) continue;
      if (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EPIPE) {
        return {IoResult::HungUp};
      }
      return {IoResult::Failed, 0, SysError::FromErrno(errno)};
    }
  }

  std::uint32_t ClearErrors(SysError& error) override {
    error = {};
    return std::exchange(pendingErrors_, 0);
  }

  WaitResult WaitUntilSent(Deadline deadline, const StopEvent& stop) override {
    // The kernel wakes no one when its output queue runs empty, so it is
    // looked at: soon at first (a byte takes half a millisecond at 19200
    // bit/s), then less often while flow control holds it.
    auto step = std::chrono::microseconds(500);
    pollfd stopFd{static_cast<int>(stop.NativeHandle()), POLLIN, 0};
    for (;;) {
      int queued = 0;
      if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
        if (errno == EIO || errno == ENXIO || errno == ENODEV) return {WaitResult::HungUp};
        return {WaitResult::Failed, 0, SysError::FromErrno(errno)};
      }
      if (queued == 0) return {WaitResult::Ready};
      Clock::time_point wake = Clock::now() + step;
      if (deadline) {
        if (Clock::now() >= *deadline) return {WaitResult::Timeout};
        wake = std::min(wake, *deadline);
      }
      const timespec left = TimeLeft(wake);
      const int n = ppoll(&stopFd, 1, &left, nullptr);
      if (n < 0 && errno != EINTR) return {WaitResult::Failed, 0, SysError::FromErrno(errno)};
      if (n > 0) return {WaitResult::Stopped};
      step = std::min<std::chrono::microseconds>(step * 2, std::chrono::milliseconds(20));
    }
  }

 private:
  // Compares the driver's line counters with the last look: changes of
  // carrier and ring, and new framing, parity, overrun and break errors.
  std::uint32_t TakeLineEvents() {
    serial_icounter_struct now{};
    if (ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
    const serial_icounter_struct& was = lastCounters_;
    std::uint32_t errors = 0;
    if (now.frame != was.frame) errors |= CE_FRAME;
    if (now.overrun != was.overrun) errors |= CE_OVERRUN;
    if (now.parity != was.parity) errors |= CE_RXPARITY;
    if (now.brk != was.brk) errors |= CE_BREAK;
    if (now.buf_overrun != was.buf_overrun) errors |= CE_RXOVER;
    std::uint32_t events = 0;
    if (errors) events |= EV_ERR;
    if (now.dcd != was.dcd) events |= EV_RLSD;
    if (now.rng != was.rng) events |= EV_RING;
    lastCounters_ = now;
    events &= eventMask_.load(std::memory_order_relaxed);
    if (events & EV_ERR) pendingErrors_ |= errors;
    return events;
  }

  const int fd_;
  const termios2 original_;
  bool countersSupported_ = false;
  // Reader only:
  serial_icounter_struct lastCounters_{};
  std::uint32_t pendingErrors_ = 0;
  // Written by the owner, read by the reader:
  std::atomic<std::uint32_t> eventMask_{0};
  std::atomic<bool> ignoreNull_{false};
  UucpLock lock_;  // removed once the port is closed
};

}  // namespace

std::string DevicePathFor(std::string_view name) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(name[2])) == 'M') {
    unsigned number = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec == std::errc{} && end == last && number >= 1) {
      return "/dev/ttyS" + std::to_string(number - 1);
    }
  }
  return "/dev/" + std::string(name);
}

std::unique_ptr<StopEvent> MakeEventFdStopEvent(SysError& error) {
  const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) {
    error = SysError::FromErrno(errno);
    return nullptr;
  }
  return std::make_unique<EventFdStopEvent>(fd);
}

namespace {

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  char buffer[1024];
  if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) != 0 || !found) return {};
  return found->gr_name;
}

// The refusal for a device that is no serial terminal; nothing for one that is.
std::optional<SerialPlatform::OpenResult> RefuseNonTerminal(const std::string& path,
                                                            const struct stat& st) {
  using Failure = SerialPlatform::OpenFailure;
  if (!S_ISCHR(st.st_mode)) {
    return SerialPlatform::OpenResult{
        nullptr, Failure::NotCommDevice, {ENOTTY, path + " is not a character device", path}};
  }
  std::ifstream file("/proc/tty/drivers");
  std::ostringstream drivers;
  drivers << file.rdbuf();
  if (!file) {
    return SerialPlatform::OpenResult{
        nullptr, Failure::NotCommDevice, {ENOTTY, "the kernel's list of terminals is unreadable"}};
  }
  if (!IsSerialTerminal(drivers.str(), major(st.st_rdev), minor(st.st_rdev))) {
    return SerialPlatform::OpenResult{
        nullptr, Failure::NotCommDevice, {ENOTTY, path + " is not a serial terminal", path}};
  }
  return std::nullopt;
}

}  // namespace

SerialPlatform::OpenResult PosixSerialPlatform::Open(const std::string& name) {
  const std::string path = DevicePathFor(name);
  // Opening a device can act by itself (a watchdog arms, a modem dials), so
  // the device is looked at through a path-only descriptor, which opens
  // nothing, and only a serial terminal is then opened through that same
  // descriptor: the name cannot be swapped in between.
  // Each failure names the device it concerns, which a bare name stands for.
  auto failedWith = [&path](OpenFailure failure, int code) {
    SysError error = SysError::FromErrno(code);
    error.path = path;
    return OpenResult{nullptr, failure, error};
  };
  UniqueFd located(open(path.c_str(), O_PATH | O_CLOEXEC));
  if (located.get() < 0) return failedWith(OpenFailure::CannotOpen, errno);
  struct stat st {};
  if (fstat(located.get(), &st) != 0) return failedWith(OpenFailure::CannotOpen, errno);
  if (auto refused = RefuseNonTerminal(path, st)) return std::move(*refused);
  // Another program's lock file keeps the device untouched. Named by where
  // the path leads, as the other program most likely named it.
  std::error_code ec;
  const std::string device = std::filesystem::canonical(path, ec).string();
  auto locked = UucpLock::Take(ec ? path : device);
  if (const auto* held = std::get_if<UucpLock::Held>(&locked)) {
    const PortNote note = held->pid > 0 ? PortNote{PortReason::HeldByProcess,
                                                   {path, std::to_string(held->pid), held->file}}
                                        : PortNote{PortReason::HeldByLockFile, {path, held->file}};
    return {nullptr, OpenFailure::CannotOpen, SysError::Noted(EBUSY, note, path)};
  }

  const std::string reopen = "/proc/self/fd/" + std::to_string(located.get());
  UniqueFd port(open(reopen.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (port.get() < 0) {
    SysError error = SysError::FromErrno(errno);
    error.path = path;
    if (error.code == EACCES) {
      error.group = GroupName(st.st_gid);
      error.reason = PermissionDeniedReason(path, error.group);
    }
    return {nullptr, OpenFailure::CannotOpen, error};
  }
  const int fd = port.get();
  const auto& fail = failedWith;
  if (!isatty(fd)) return fail(OpenFailure::NotCommDevice, ENOTTY);
  // TIOCEXCL keeps other programs out, but root may open an exclusive
  // terminal all the same; the advisory lock also stops a second panel
  // (or any program that locks the same way) run as root.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return fail(OpenFailure::CannotOpen, errno == EWOULDBLOCK ? EBUSY : errno);
  }
  ioctl(fd, TIOCEXCL);
  termios2 original{};
  if (ioctl(fd, TCGETS2, &original) != 0) return fail(OpenFailure::NotCommDevice, errno);
  return {std::make_unique<PosixSerialDevice>(port.release(), original,
                                              std::move(std::get<UucpLock>(locked)))};
}

std::vector<std::string> PresentSerialPortsUnder(const std::string& devRoot) {
  namespace fs = std::filesystem;
  std::vector<std::string> byId;
  std::vector<std::string> adapters;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(devRoot + "/serial/by-id", ec)) {
    byId.push_back(entry.path().string());
  }
  for (const auto& entry : fs::directory_iterator(devRoot, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ttyUSB") || name.starts_with("ttyACM")) {
      adapters.push_back(entry.path().string());
    }
  }
  std::sort(byId.begin(), byId.end());
  // ttyUSB2 before ttyUSB10.
  std::sort(adapters.begin(), adapters.end(), [](const std::string& a, const std::string& b) {
    return std::pair(a.size(), a) < std::pair(b.size(), b);
  });
  byId.insert(byId.end(), adapters.begin(), adapters.end());
  return byId;
}

std::vector<std::string> PresentSerialPorts() { return PresentSerialPortsUnder("/dev"); }

std::unique_ptr<StopEvent> PosixSerialPlatform::CreateStopEvent(SysError& error) {
  return MakeEventFdStopEvent(error);
}

std::jthread PosixSerialPlatform::StartThread(ThreadRole role, std::function<void()> body) {
  // The reader above the writer, both above the window, where the system allows.
  const bool reader = role == ThreadRole::Reader;
  return std::jthread([body = std::move(body), reader] {
    // Named for top, gdb and the tests.
    pthread_setname_np(pthread_self(), reader ? "zrt-reader" : "zrt-writer");
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), reader ? -2 : -1);
    body();
  });
}

SerialPlatform& SystemSerialPlatform() {
  static PosixSerialPlatform local;
  static NetworkSerialPlatform platform(local);  // rfc2217:// and tcp:// names
  return platform;
}

}  // namespace zrt::link
