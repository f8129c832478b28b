// The Win32 serial platform: a port opened exclusively and overlapped, its
// settings applied as a DCB and COMMTIMEOUTS, the threads waiting on
// overlapped reads, writes and WaitCommEvent together with one stop event.
//
// Ports behave alike on Windows and under wine only within limits, so data
// is waited for with ClearCommError and WaitCommEvent (EV_RXCHAR), only what
// is queued is read, and a pending WaitCommEvent is ended with SetCommMask,
// which both honour.
//
// The project's headers come before <windows.h>: it defines several of
// their names (EV_*, CE_*, PURGE_*, DTR_CONTROL_*) as macros, with the same
// values.
#include "link/port/serial_port_win.h"

#include "link/port/comm_events.h"
#include "link/port/serial_device.h"
#include "link/port/serial_port_net.h"
#include "link/port/serial_ports.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

namespace zrt::link {
namespace {

using Clock = std::chrono::steady_clock;

// Waits no longer than this between looks at a port that may have bytes
// queued that no event announced (a driver may lose EV_RXCHAR).
constexpr DWORD kLookAgainMs = 50;

// Milliseconds until `deadline`, rounded up so that a wait never ends early.
DWORD MillisecondsUntil(const Deadline& deadline, DWORD longest = INFINITE) {
  if (!deadline) return longest;
  const auto left = *deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<DWORD>(std::min<long long>(ms, longest == INFINITE ? INFINITE - 1 : longest));
}

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

class Win32StopEvent : public StopEvent {
 public:
  explicit Win32StopEvent(HANDLE event) : event_(event) {}
  void Set() override { SetEvent(event_.get()); }
  bool IsSet() const override { return WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }
  std::intptr_t NativeHandle() const override {
    return reinterpret_cast<std::intptr_t>(event_.get());
  }
  bool SleepUntil(Clock::time_point until) const override {
    for (;;) {
      const DWORD ms = MillisecondsUntil(until);
      if (ms == 0) return !IsSet();
      if (WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0) return false;
    }
  }

 private:
  Handle event_;
};

HANDLE StopHandle(const StopEvent& stop) { return reinterpret_cast<HANDLE>(stop.NativeHandle()); }

// An operation that may be pending: its OVERLAPPED and its event.
struct Overlapped {
  Overlapped() { ov.hEvent = event.get(); }
  Handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED ov{};
  bool pending = false;

  void Restart() {
    ResetEvent(event.get());
    const HANDLE keep = ov.hEvent;
    ov = OVERLAPPED{};
    ov.hEvent = keep;
  }
};

// Errors after which the port is gone: a USB adapter pulled out, the other
// end of a pseudo-terminal closed under wine.
bool MeansGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_HANDLE_EOF:
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

class Win32SerialDevice : public SerialDevice {
 public:
  Win32SerialDevice(HANDLE port, const DCB& originalState, const COMMTIMEOUTS& originalTimeouts)
      : port_(port), originalState_(originalState), originalTimeouts_(originalTimeouts) {
    // Waits and the writer's gap are kept to the millisecond, not to the
    // system's default tick of 15.6 ms.
    timeBeginPeriod(1);
    ApplyTimeouts(CommTimeouts{});
    // Waits for data need EV_RXCHAR, line events or not.
    SetCommMask(port_.get(), EV_RXCHAR);
  }

  ~Win32SerialDevice() override {
    // A pending WaitCommEvent ends when the mask changes; reads and writes
    // end when purged. Each must be over before its OVERLAPPED goes.
    SetCommMask(port_.get(), 0);
    PurgeComm(port_.get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    for (Overlapped* op : {&commEvent_, &write_}) {
      if (!op->pending) continue;
      CancelIoEx(port_.get(), &op->ov);
      DWORD ignored = 0;
      GetOverlappedResult(port_.get(), &op->ov, &ignored, TRUE);
    }
    SetCommTimeouts(port_.get(), &originalTimeouts_);
    SetCommState(port_.get(), &originalState_);
    timeEndPeriod(1);
  }

  SysError SetupQueues(std::size_t inputBytes, std::size_t outputBytes) override {
    if (!SetupComm(port_.get(), static_cast<DWORD>(inputBytes), static_cast<DWORD>(outputBytes))) {
      return Win32Error(GetLastError());
    }
    return {};
  }

  void Purge(std::uint32_t flags) override { PurgeComm(port_.get(), flags); }

  SysError ApplyState(const CommState& s) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_.get(), &dcb)) return Win32Error(GetLastError());
    // A rate of 0 is no rate: it is left as it is, as on other systems.
    if (s.baudRate != 0) dcb.BaudRate = s.baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = (s.flags & dcb::fParity) != 0;
    dcb.fOutxCtsFlow = (s.flags & dcb::fOutxCtsFlow) != 0;
    dcb.fOutxDsrFlow = (s.flags & dcb::fOutxDsrFlow) != 0;
    dcb.fDtrControl = s.DtrControl();
    dcb.fDsrSensitivity = (s.flags & dcb::fDsrSensitivity) != 0;
    dcb.fTXContinueOnXoff = (s.flags & dcb::fTXContinueOnXoff) != 0;
    dcb.fOutX = (s.flags & dcb::fOutX) != 0;
    dcb.fInX = (s.flags & dcb::fInX) != 0;
    dcb.fErrorChar = (s.flags & dcb::fErrorChar) != 0;
    dcb.fNull = (s.flags & dcb::fNull) != 0;
    dcb.fRtsControl = s.RtsControl();
    dcb.fAbortOnError = (s.flags & dcb::fAbortOnError) != 0;
    dcb.XonLim = s.xonLim;
    dcb.XoffLim = s.xoffLim;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.ErrorChar = s.errorChar;
    if (!SetCommState(port_.get(), &dcb)) return Win32Error(GetLastError());
    return {};
  }

  void ApplyTimeouts(const CommTimeouts& timeouts) override {
    SerialDevice::ApplyTimeouts(timeouts);
    // The reader frames blocks by the read timeouts itself and reads only
    // what is queued, so the port's reads return at once; writes keep the
    // limits the component names.
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
    SetCommTimeouts(port_.get(), &t);
  }

  SysError SetEventMask(std::uint32_t mask) override {
    lineEvents_.store(mask, std::memory_order_relaxed);
    if (!SetCommMask(port_.get(), mask | EV_RXCHAR)) return Win32Error(GetLastError());
    modemKnown_ = GetCommModemStatus(port_.get(), &modemLines_);
    return {};
  }

  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    return direction == Direction::Read ? WaitToRead(deadline, stop) : WaitForWrite(deadline, stop);
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    COMSTAT status{};
    if (DWORD error = 0; !ClearErrorsInto(status, error)) return Failure(error);
    const DWORD queued = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(buffer.size()));
    if (queued == 0) return {IoResult::WouldBlock};
    read_.Restart();
    DWORD count = 0;
    if (!ReadFile(port_.get(), buffer.data(), queued, &count, &read_.ov)) {
      const DWORD error = GetLastError();
      // What is queued is there: a read of it completes at once.
      if (error != ERROR_IO_PENDING || !GetOverlappedResult(port_.get(), &read_.ov, &count, TRUE)) {
        const DWORD last = error == ERROR_IO_PENDING ? GetLastError() : error;
        if (last == ERROR_TIMEOUT) return {IoResult::WouldBlock};
        return Failure(last);
      }
    }
    if (count == 0) return {IoResult::WouldBlock};
    return {IoResult::Done, count};
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    if (write_.pending) return CollectWrite();
    // The bytes stay with the device until the write is over, whatever
    // becomes of the caller's block.
    outgoing_.assign(bytes.begin(), bytes.end());
    write_.Restart();
    DWORD count = 0;
    if (WriteFile(port_.get(), outgoing_.data(), static_cast<DWORD>(outgoing_.size()), &count,
                  &write_.ov)) {
      return count > 0 ? IoResult{IoResult::Done, count} : IoResult{IoResult::WouldBlock};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      write_.pending = true;
      return {IoResult::WouldBlock};
    }
    if (error == ERROR_TIMEOUT) return {IoResult::WouldBlock};
    return Failure(error);
  }

  std::uint32_t ClearErrors(SysError& error) override {
    COMSTAT status{};
    DWORD code = 0;
    error = ClearErrorsInto(status, code) ? SysError{} : Win32Error(code);
    return lineErrors_.exchange(0);
  }

  WaitResult WaitUntilSent(Deadline deadline, const StopEvent& stop) override {
    // Windows tells of an empty output queue only through WaitCommEvent,
    // which the reader has; so the queue is looked at, soon at first, then
    // less often while flow control holds it.
    DWORD step = 1;
    for (;;) {
      COMSTAT status{};
      if (DWORD error = 0; !ClearErrorsInto(status, error)) return WaitFailure(error);
      if (status.cbOutQue == 0) return {WaitResult::Ready};
      if (deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
      if (WaitForSingleObject(StopHandle(stop), MillisecondsUntil(deadline, step)) ==
          WAIT_OBJECT_0) {
        return {WaitResult::Stopped};
      }
      step = std::min<DWORD>(step * 2, 20);
    }
  }

 private:
  static SysError Win32Error(DWORD code) { return Win32SysError(code); }

  static IoResult Failure(DWORD error) {
    if (MeansGone(error)) return {IoResult::HungUp};
    return {IoResult::Failed, 0, Win32Error(error)};
  }
  static WaitResult WaitFailure(DWORD error) {
    if (MeansGone(error)) return {WaitResult::HungUp};
    return {WaitResult::Failed, 0, Win32Error(error)};
  }

  // Clears the port's error state, keeping its line-error flags for
  // ClearErrors, whichever thread asked.
  bool ClearErrorsInto(COMSTAT& status, DWORD& error) {
    DWORD flags = 0;
    if (!ClearCommError(port_.get(), &flags, &status)) {
      error = GetLastError();
      return false;
    }
    flags &= CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;
    if (flags != 0) lineErrors_.fetch_or(flags);
    return true;
  }

  WaitResult WaitToRead(const Deadline& deadline, const StopEvent& stop) {
    for (;;) {
      COMSTAT status{};
      if (DWORD error = 0; !ClearErrorsInto(status, error)) return WaitFailure(error);
      if ((lineEvents_.load(std::memory_order_relaxed) & EV_ERR) && lineErrors_.load() != 0) {
        return {WaitResult::LineEvent, EV_ERR};
      }
      if (status.cbInQue > 0) return {WaitResult::Ready};
      // A line that changed while no wait was out, or just before the wait
      // took its view of the lines, would go unseen where the driver keeps
      // no history of it (wine): the lines are looked at on each wake too.
      if (const DWORD missed = ModemChanges()) return {WaitResult::LineEvent, missed};

      if (!commEvent_.pending) {
        commEvent_.Restart();
        events_ = 0;
        if (WaitCommEvent(port_.get(), &events_, &commEvent_.ov)) {
          if (const WaitResult line = LineEventFrom(events_); line.kind == WaitResult::LineEvent) {
            return line;
          }
          continue;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return WaitFailure(error);
        commEvent_.pending = true;
      }

      const HANDLE handles[] = {StopHandle(stop), commEvent_.event.get()};
      const DWORD waited =
          WaitForMultipleObjects(2, handles, FALSE, MillisecondsUntil(deadline, kLookAgainMs));
      if (waited == WAIT_OBJECT_0) return {WaitResult::Stopped};
      if (waited == WAIT_OBJECT_0 + 1) {
        commEvent_.pending = false;
        DWORD ignored = 0;
        if (!GetOverlappedResult(port_.get(), &commEvent_.ov, &ignored, FALSE)) {
          return WaitFailure(GetLastError());
        }
        if (const WaitResult line = LineEventFrom(events_); line.kind == WaitResult::LineEvent) {
          return line;
        }
        continue;  // EV_RXCHAR, or a mask change: look at the queue again
      }
      if (waited == WAIT_FAILED) return WaitFailure(GetLastError());
      if (deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
    }
  }

  WaitResult LineEventFrom(DWORD events) {
    DWORD line =
        events & lineEvents_.load(std::memory_order_relaxed) & (EV_RLSD | EV_ERR | EV_RING);
    if (line & (EV_RLSD | EV_RING)) {
      // A carrier change is told once, though the system may report it
      // again (wine does): only a change of the line as it now stands.
      const DWORD changed = ModemChanges();
      if (modemKnown_ && !(changed & EV_RLSD)) line &= ~static_cast<DWORD>(EV_RLSD);
    }
    if (line == 0) return {WaitResult::Ready};
    return {WaitResult::LineEvent, line};
  }

  // The carrier and ring changes since the modem lines were last looked at
  // (EV_RLSD, EV_RING of the mask).
  DWORD ModemChanges() {
    DWORD now = 0;
    if (!modemKnown_ || !GetCommModemStatus(port_.get(), &now)) return 0;
    const DWORD changed = now ^ std::exchange(modemLines_, now);
    DWORD events = 0;
    if (changed & MS_RLSD_ON) events |= EV_RLSD;
    if (changed & MS_RING_ON) events |= EV_RING;
    return events & lineEvents_.load(std::memory_order_relaxed);
  }

  WaitResult WaitForWrite(const Deadline& deadline, const StopEvent& stop) {
    if (!write_.pending) return {WaitResult::Ready};
    const HANDLE handles[] = {StopHandle(stop), write_.event.get()};
    for (;;) {
      const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, MillisecondsUntil(deadline));
      if (waited == WAIT_OBJECT_0) return {WaitResult::Stopped};
      if (waited == WAIT_OBJECT_0 + 1) return {WaitResult::Ready};
      if (waited == WAIT_FAILED) return WaitFailure(GetLastError());
      if (deadline && Clock::now() >= *deadline) return {WaitResult::Timeout};
    }
  }

  IoResult CollectWrite() {
    DWORD count = 0;
    if (!GetOverlappedResult(port_.get(), &write_.ov, &count, FALSE)) {
      const DWORD error = GetLastError();
      if (error == ERROR_IO_INCOMPLETE) return {IoResult::WouldBlock};
      write_.pending = false;
      // A write that timed out has moved what it moved; the rest is written again.
      if (error != ERROR_TIMEOUT) return Failure(error);
    }
    write_.pending = false;
    return count > 0 ? IoResult{IoResult::Done, count} : IoResult{IoResult::WouldBlock};
  }

  Handle port_;
  DCB originalState_;  // restored at close
  COMMTIMEOUTS originalTimeouts_;
  std::atomic<std::uint32_t> lineEvents_{0};  // set by the owner, read by the reader
  std::atomic<std::uint32_t> lineErrors_{0};  // CE_* flags not yet taken
  // Reader only:
  DWORD modemLines_ = 0;  // MS_* as last looked at
  bool modemKnown_ = false;
  Overlapped read_;
  Overlapped commEvent_;
  DWORD events_ = 0;
  // Writer only:
  Overlapped write_;
  std::vector<std::uint8_t> outgoing_;
};

// "COM12" is opened as \\.\COM12, which every COM port number needs from 10 on.
std::wstring DevicePathFor(const std::string& name) {
  std::wstring wide(name.begin(), name.end());
  if (wide.starts_with(L"\\\\")) return wide;
  return L"\\\\.\\" + wide;
}

int ComNumber(std::string_view name) {
  int number = 0;
  if (name.size() <= 3 || !name.starts_with("COM")) return -1;
  const auto [end, ec] = std::from_chars(name.data() + 3, name.data() + name.size(), number);
  return ec == std::errc{} && end == name.data() + name.size() ? number : -1;
}

}  // namespace

SysError Win32SysError(unsigned long code) {
  // The operator's messages know the system's failures by the numbers
  // other systems use.
  int number = EIO;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      number = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      // A COM port that is refused is, almost always, one that another program has open.
      number = EBUSY;
      break;
    case ERROR_INVALID_HANDLE:
      number = EBADF;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
      number = EINVAL;
      break;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      number = ENODEV;
      break;
    case ERROR_TIMEOUT:
    case ERROR_SEM_TIMEOUT:
      number = ETIMEDOUT;
      break;
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason;
  if (length > 0) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    reason.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), reason.data(), size, nullptr,
                        nullptr);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
      reason.pop_back();
    }
  }
  if (text) LocalFree(text);
  if (reason.empty()) reason = "system error " + std::to_string(code);
  return {number, reason};
}

SerialPlatform::OpenResult Win32SerialPlatform::Open(const std::string& name) {
  // No sharing: the port is this program's until it closes it.
  Handle port(CreateFileW(DevicePathFor(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!port.valid()) {
    SysError error = Win32SysError(GetLastError());
    error.path = name;
    return {nullptr, OpenFailure::CannotOpen, error};
  }
  DCB state{};
  state.DCBlength = sizeof state;
  COMMTIMEOUTS timeouts{};
  if (!GetCommState(port.get(), &state) || !GetCommTimeouts(port.get(), &timeouts)) {
    SysError error = Win32SysError(GetLastError());
    error.code = ENOTTY;
    return {nullptr, OpenFailure::NotCommDevice, error};
  }
  return {std::make_unique<Win32SerialDevice>(port.release(), state, timeouts)};
}

std::unique_ptr<StopEvent> Win32SerialPlatform::CreateStopEvent(SysError& error) {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    error = Win32SysError(GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32StopEvent>(event);
}

std::jthread Win32SerialPlatform::StartThread(ThreadRole role, std::function<void()> body) {
  // The reader above the writer, both above the window.
  const int priority =
      role == ThreadRole::Reader ? THREAD_PRIORITY_HIGHEST : THREAD_PRIORITY_ABOVE_NORMAL;
  return std::jthread([body = std::move(body), priority] {
    SetThreadPriority(GetCurrentThread(), priority);
    body();
  });
}

std::vector<std::string> PresentSerialPorts() {
  // Every DOS device name of a COM port, in number order.
  std::vector<wchar_t> names(16 * 1024);
  DWORD length = 0;
  while ((length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0 &&
         GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < 4 * 1024 * 1024) {
    names.resize(names.size() * 2);
  }
  std::vector<std::pair<int, std::string>> ports;
  for (const wchar_t* name = names.data(); length > 0 && *name; name += wcslen(name) + 1) {
    const std::wstring_view wide(name);
    if (std::any_of(wide.begin(), wide.end(), [](wchar_t c) { return c > 0x7f; })) continue;
    std::string narrow(wide.begin(), wide.end());
    for (char& c : narrow) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (const int number = ComNumber(narrow); number > 0) ports.emplace_back(number, narrow);
  }
  std::sort(ports.begin(), ports.end());
  std::vector<std::string> result;
  for (auto& port : ports) result.push_back(std::move(port.second));
  return result;
}

SerialPlatform& SystemSerialPlatform() {
  static Win32SerialPlatform local;
  static NetworkSerialPlatform platform(local);  // rfc2217:// and tcp:// names
  return platform;
}

}  // namespace zrt::link
