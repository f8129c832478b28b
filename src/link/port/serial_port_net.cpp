#include "link/port/serial_port_net.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "link/port/comm_events.h"
#include "link/port/telnet.h"
#include "net/socket.h"

namespace zrt::link {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kConnectTimeout{5000};
// A Telnet server offers its options as a client connects: an RFC 2217
// client sends nothing before it has heard them, and a raw client listens
// a moment for them before it sends, so that neither kind of server is sent
// the other's bytes (which would reach the instrument).
constexpr std::chrono::milliseconds kTelnetOfferWait{1500};
constexpr std::chrono::milliseconds kRawListenFirst{150};
// Data the socket has not taken that the writer may add to; past it the
// writer waits. Answers to negotiations stop being queued at the smaller
// bound (a server that floods them and reads nothing gets no more).
constexpr std::size_t kOutgoingLimit = 64 * 1024;
constexpr std::size_t kAnswerBacklog = 4 * 1024;

// An open connection. A thread of its own runs the socket: it takes the
// Telnet framing apart, answers the server's negotiations, keeps the data
// for Read and the server's answers for ApplyState, and sends what waits
// to go out whenever the socket takes more. No call ever blocks on the
// socket: every wait is on a descriptor beside the stop event, and a
// server that takes nothing for kServerStallLimit has its connection
// dropped, with a note that says so.
class NetworkSerialDevice : public SerialDevice {
 public:
  NetworkSerialDevice(net::Socket socket, bool telnet, std::string address)
      : socket_(std::move(socket)),
        telnet_(telnet),
        address_(std::move(address)),
        greeting_(telnet ? options_.Greeting() : telnet::Bytes{}),
        pump_([this](std::stop_token stop) { Pump(stop); }) {
    // Before anything else goes out, the line settings included.
    Queue(greeting_);
  }

  ~NetworkSerialDevice() override {
    pump_.request_stop();
    wake_.Raise();
    pump_.join();
  }

  SysError SetupQueues(std::size_t, std::size_t) override { return {}; }

  void Purge(std::uint32_t flags) override {
    std::lock_guard lock(mutex_);
    if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) {
      data_.clear();
      dataStart_ = 0;
      dataReady_.Lower();
    }
    // What the socket has not taken goes; only a closing port asks, so a
    // Telnet command cut by it is never followed by more.
    if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) outgoing_.clear();
  }

  SysError ApplyState(const CommState& state) override {
    {
      std::lock_guard lock(mutex_);
      xonXoff_ = (state.flags & dcb::fOutX) != 0;
      xonChar_ = static_cast<std::uint8_t>(state.xonChar);
      xoffChar_ = static_cast<std::uint8_t>(state.xoffChar);
      if (!xonXoff_) SetHeld(heldByXoff_, false);
    }
    if (!telnet_) return {};  // a raw server's port is set up on its side
    const std::vector<rfc2217::Request> requests = rfc2217::RequestsFor(state);
    {
      std::lock_guard lock(mutex_);
      answers_.clear();
    }
    for (const rfc2217::Request& request : requests) {
      if (!Queue(rfc2217::Encode(request))) return ClosedAtOnce();
    }
    // The server answers each request with the value it set, in order.
    const Clock::time_point settingsBy = Clock::now() + kLineSettingsAnswer;
    std::optional<Clock::time_point> modemLinesBy;  // one wait for them all
    for (const rfc2217::Request& request : requests) {
      if (!request.lineSetting && !modemLinesBy) modemLinesBy = Clock::now() + kModemLineAnswer;
      const std::optional<telnet::Bytes> value =
          Answer(request.command + rfc2217::kServerOffset,
                 request.lineSetting ? settingsBy : *modemLinesBy);
      if (!value) {
        std::lock_guard lock(mutex_);
        if (closed_) return ClosedAtOnce();
        if (!request.lineSetting) {
          notes_.push_back({PortReason::ModemLineUnanswered, {rfc2217::Describe(request)}});
          continue;
        }
        return SysError::Noted(
            EPROTO,
            {PortReason::SettingUnanswered,
             {rfc2217::Describe(request), std::to_string(kLineSettingsAnswer.count() / 1000)}},
            address_);
      }
      if (request.lineSetting && request.command != rfc2217::kSetControl &&
          *value != request.value) {
        const rfc2217::Request taken{request.command, *value};
        return SysError::Noted(
            EINVAL,
            {PortReason::SettingChanged, {rfc2217::Describe(taken), rfc2217::Describe(request)}},
            address_);
      }
    }
    return {};
  }

  std::vector<PortNote> TakeNotes() override {
    std::lock_guard lock(mutex_);
    return std::exchange(notes_, {});
  }

  SysError SetEventMask(std::uint32_t) override { return {}; }

  WaitResult Wait(Direction direction, Deadline deadline, const StopEvent& stop) override {
    if (direction == Direction::Write) return WaitForRoom(deadline, stop);
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (dataStart_ < data_.size()) return {WaitResult::Ready};
        if (closed_) return {WaitResult::HungUp};
      }
      const WaitResult waited = WaitOn(dataReady_, deadline, stop);
      if (waited.kind != WaitResult::Ready) return waited;
    }
  }

  IoResult Read(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(mutex_);
    if (dataStart_ == data_.size()) {
      dataReady_.Lower();
      return {closed_ ? IoResult::HungUp : IoResult::WouldBlock};
    }
    const std::size_t count = std::min(buffer.size(), data_.size() - dataStart_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(dataStart_), count, buffer.begin());
    dataStart_ += count;
    if (dataStart_ == data_.size()) {
      data_.clear();
      dataStart_ = 0;
      if (!closed_) dataReady_.Lower();
    }
    return {IoResult::Done, count};
  }

  IoResult Write(std::span<const std::uint8_t> bytes) override {
    std::lock_guard lock(mutex_);
    if (closed_) return {IoResult::HungUp};
    // Held, nothing more is handed over, as a local port's driver keeps it.
    if (!TakesMoreLocked()) return {IoResult::WouldBlock};
    const telnet::Bytes wire =
        telnet_ ? telnet::Escape(bytes) : telnet::Bytes(bytes.begin(), bytes.end());
    QueueLocked(wire);
    return {IoResult::Done, bytes.size()};
  }

  // Sent is handed to the socket: how soon the server acknowledges it is
  // the network's business, not a sign of the instrument holding output.
  // Only the instrument's XOFF or the server's flow-control suspend holds.
  WaitResult WaitUntilSent(Deadline deadline, const StopEvent& stop) override {
    for (;;) {
      flow_.Lower();
      bool held = false;
      {
        std::lock_guard lock(mutex_);
        if (closed_) return {WaitResult::HungUp};
        held = heldByXoff_ || heldByServer_;
        if (outgoing_.empty() && !held) return {WaitResult::Ready};
      }
      // Bytes the socket has not taken yet are the pump's to send, within
      // its stall limit; only a hold is waited for against the deadline.
      const WaitResult waited = WaitOn(flow_, held ? deadline : Deadline{}, stop);
      if (waited.kind != WaitResult::Ready) return waited;
    }
  }

  std::uint32_t ClearErrors(SysError& error) override {
    error = {};
    return 0;
  }

 private:
  // Waits for the flag to be raised: Ready, Timeout, Stopped or Failed.
  static WaitResult WaitOn(const net::Flag& flag, Deadline deadline, const StopEvent& stop) {
    const net::Waitable flags[] = {stop.NativeHandle(), flag.Native()};
    const net::Woken woken = net::WaitForAny(flags, nullptr, false, deadline);
    if (woken.error) return {WaitResult::Failed, 0, {woken.error.code, woken.error.reason}};
    if (woken.flag == 0) return {WaitResult::Stopped};
    if (woken.flag == 1) return {WaitResult::Ready};
    return {WaitResult::Timeout};
  }

  bool TakesMoreLocked() const {
    return !heldByXoff_ && !heldByServer_ && outgoing_.size() < kOutgoingLimit;
  }

  WaitResult WaitForRoom(Deadline deadline, const StopEvent& stop) {
    for (;;) {
      flow_.Lower();
      {
        std::lock_guard lock(mutex_);
        if (closed_) return {WaitResult::HungUp};
        if (TakesMoreLocked()) return {WaitResult::Ready};
      }
      const WaitResult waited = WaitOn(flow_, deadline, stop);
      if (waited.kind != WaitResult::Ready) return waited;
    }
  }

  // The server's next answer with this code, waiting for it until `by`;
  // nothing when it does not come or the connection closes. The pump says
  // that answers came by raising a flag.
  std::optional<telnet::Bytes> Answer(std::uint8_t code, Clock::time_point by) {
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        auto& answers = answers_[code];
        if (!answers.empty()) {
          telnet::Bytes value = std::move(answers.front());
          answers.pop_front();
          return value;
        }
        if (closed_) return std::nullopt;
      }
      if (Clock::now() >= by) return std::nullopt;
      const net::Waitable answered[] = {answered_.Native()};
      net::WaitForAny(answered, nullptr, false, by);
      answered_.Lower();
    }
  }

  // The server closed while the port was being set up.
  SysError ClosedAtOnce() const {
    return SysError::Noted(EPIPE, {PortReason::ServerClosedAtOnce, {address_}}, address_);
  }

  void SetHeld(bool& flag, bool held) {
    if (flag == held) return;
    flag = held;
    flow_.Raise();
  }

  // Queues bytes to go out after what waits already; false when the
  // connection is gone.
  bool Queue(const telnet::Bytes& bytes) {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    QueueLocked(bytes);
    return true;
  }
  void QueueLocked(const telnet::Bytes& bytes) {
    if (outgoing_.empty()) lastProgress_ = Clock::now();
    outgoing_.insert(outgoing_.end(), bytes.begin(), bytes.end());
    Flush();
    if (!outgoing_.empty()) wake_.Raise();  // the pump watches for room
  }

  // Hands the socket what it takes now, never waiting.
  void Flush() {
    std::size_t sent = 0;
    while (sent < outgoing_.size()) {
      const net::Transfer moved =
          socket_.Send(std::span(outgoing_).subspan(sent, outgoing_.size() - sent));
      if (moved.kind != net::Transfer::Done) break;  // full (the pump waits for room)
      sent += moved.count;                           // or failed (the pump sees it)
    }
    if (sent == 0) return;
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(sent));
    lastProgress_ = Clock::now();
    flow_.Raise();
  }

  void Pump(std::stop_token stop) {
    telnet::Decoder decoder;
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::optional<PortReason> why;
    while (!stop.stop_requested()) {
      Deadline stallBy;
      {
        std::lock_guard lock(mutex_);
        if (!outgoing_.empty()) stallBy = lastProgress_ + kServerStallLimit;
      }
      const net::Waitable wake[] = {wake_.Native()};
      const net::Woken woken = net::WaitForAny(wake, &socket_, stallBy.has_value(), stallBy);
      if (woken.error) {
        why = PortReason::ConnectionFailed;
        break;
      }
      if (woken.flag == 0) wake_.Lower();
      if (woken.writable) {
        std::lock_guard lock(mutex_);
        Flush();
      }
      if (stallBy && Clock::now() >= *stallBy) {
        std::lock_guard lock(mutex_);
        if (!outgoing_.empty() && Clock::now() >= lastProgress_ + kServerStallLimit) {
          why = PortReason::ServerStalled;
          socket_.Shutdown();
          break;
        }
      }
      if (!woken.readable) continue;
      const net::Transfer got = socket_.Receive(buffer);
      if (got.kind == net::Transfer::WouldBlock) continue;
      if (got.kind != net::Transfer::Done) {
        why = PortReason::ServerClosed;
        break;
      }
      const std::span<const std::uint8_t> data(buffer.data(), got.count);
      if (!telnet_) {
        Deliver(data, {});
        continue;
      }
      telnet::Decoder::Output out;
      decoder.Feed(data, out);
      telnet::Bytes answers;
      for (const auto& negotiation : out.negotiations) {
        const telnet::Bytes answer = options_.Answer(negotiation);
        answers.insert(answers.end(), answer.begin(), answer.end());
      }
      if (!answers.empty()) QueueAnswers(answers);
      Deliver(out.data, out.subnegotiations);
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    if (why && !stop.stop_requested()) {
      PortNote note{*why, {address_}};
      if (*why == PortReason::ServerStalled) {
        note.args.push_back(std::to_string(kServerStallLimit.count() / 1000));
      }
      notes_.push_back(std::move(note));
    }
    dataReady_.Raise();
    answered_.Raise();
    flow_.Raise();
  }

  // Answers to a server that keeps negotiating while it reads nothing are
  // dropped past a bound rather than kept.
  void QueueAnswers(const telnet::Bytes& answers) {
    std::lock_guard lock(mutex_);
    if (outgoing_.size() < kAnswerBacklog) QueueLocked(answers);
  }

  void Deliver(std::span<const std::uint8_t> data,
               const std::vector<telnet::Decoder::Subnegotiation>& subs) {
    std::lock_guard lock(mutex_);
    for (const auto& sub : subs) {
      if (sub.option != telnet::kComPort || sub.payload.empty()) continue;
      const std::uint8_t command = sub.payload.front();
      if (command == rfc2217::kServerOffset + rfc2217::kFlowControlSuspend) {
        SetHeld(heldByServer_, true);
      } else if (command == rfc2217::kServerOffset + rfc2217::kFlowControlResume) {
        SetHeld(heldByServer_, false);
      }
      if (command <= rfc2217::kServerOffset) continue;
      // Notifications of line and modem state (106, 107) are not asked
      // for, and so kept no more than a few.
      auto& answers = answers_[command];
      if (answers.size() < 16) answers.emplace_back(sub.payload.begin() + 1, sub.payload.end());
    }
    if (!subs.empty()) answered_.Raise();
    if (data.empty()) return;
    if (dataStart_ > (1u << 20)) {  // what was read goes, now and then
      data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(dataStart_));
      dataStart_ = 0;
    }
    const std::size_t before = data_.size();
    // The instrument's XOFF and XON, as a local port's driver takes them;
    // the data between goes in as it is.
    for (auto from = data.begin(); from != data.end();) {
      const auto flow = xonXoff_ ? std::find_if(from, data.end(),
                                                [this](std::uint8_t byte) {
                                                  return byte == xoffChar_ || byte == xonChar_;
                                                })
                                 : data.end();
      data_.insert(data_.end(), from, flow);
      if (flow == data.end()) break;
      SetHeld(heldByXoff_, *flow == xoffChar_);
      from = flow + 1;
    }
    if (data_.size() != before) dataReady_.Raise();
  }

  net::Socket socket_;
  const bool telnet_;
  const std::string address_;  // HOST:PORT, for messages
  const net::Flag dataReady_;  // raised while data_ holds bytes or the connection is closed
  const net::Flag answered_;   // raised when answers came or the connection closed
  const net::Flag flow_;       // raised when output moved, a hold changed or the connection closed
  const net::Flag wake_;       // ends the pump's wait
  std::mutex mutex_;           // guards what follows
  std::vector<std::uint8_t> data_;  // from dataStart_ on, not yet read
  std::size_t dataStart_ = 0;
  std::vector<std::uint8_t> outgoing_;  // what the socket has not taken yet
  Clock::time_point lastProgress_;      // when the socket last took some of it
  std::map<std::uint8_t, std::deque<telnet::Bytes>> answers_;
  std::vector<PortNote> notes_;
  bool xonXoff_ = false;
  std::uint8_t xonChar_ = 17;
  std::uint8_t xoffChar_ = 19;
  bool heldByXoff_ = false;
  bool heldByServer_ = false;
  bool closed_ = false;
  telnet::OptionStates options_;  // the pump's, once the greeting is made
  const telnet::Bytes greeting_;
  std::jthread pump_;  // last: it starts once the rest is there
};

// What a server says first, within `wait`, looked at without taking it:
// the bytes stay for the connection to read.
enum class FirstWords { Nothing, Telnet, Data, Closed };
FirstWords ListenFirst(net::Socket& socket, std::chrono::milliseconds wait) {
  const Deadline by = Clock::now() + wait;
  for (;;) {
    const net::Woken woken = net::WaitForAny({}, &socket, false, by);
    if (woken.error) return FirstWords::Closed;
    if (!woken.readable) return FirstWords::Nothing;
    std::uint8_t first = 0;
    switch (socket.Peek(first).kind) {
      case net::Transfer::Done:
        return first == telnet::kIac ? FirstWords::Telnet : FirstWords::Data;
      case net::Transfer::WouldBlock:
        continue;
      case net::Transfer::Closed:
      case net::Transfer::Failed:
        return FirstWords::Closed;
    }
  }
}

}  // namespace

std::optional<NetworkAddress> NetworkAddressOf(std::string_view name) {
  NetworkAddress address{};
  if (name.starts_with("rfc2217://")) {
    address.kind = NetworkAddress::Kind::Rfc2217;
    name.remove_prefix(10);
  } else if (name.starts_with("tcp://")) {
    address.kind = NetworkAddress::Kind::Raw;
    name.remove_prefix(6);
  } else {
    return std::nullopt;
  }
  std::string_view host;
  std::string_view port;
  if (name.starts_with('[')) {  // [IPv6]:PORT
    const std::size_t close = name.find(']');
    if (close == std::string_view::npos || name.substr(close + 1, 1) != ":") return address;
    host = name.substr(1, close - 1);
    port = name.substr(close + 2);
  } else {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos ||
        name.substr(0, colon).find(':') != std::string_view::npos) {
      return address;
    }
    host = name.substr(0, colon);
    port = name.substr(colon + 1);
  }
  if (port.empty() || port.size() > 5 ||
      !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      std::stoi(std::string(port)) > 65535 || std::stoi(std::string(port)) == 0) {
    return address;
  }
  address.host = host;
  address.port = port;
  return address;
}

net::Socket ConnectTo(const NetworkAddress& address, std::chrono::milliseconds timeout,
                      SysError& error) {
  bool resolved = false;
  net::SocketError failure;
  net::Socket socket = net::Connect(address.host, address.port, timeout, failure, resolved);
  error = {};
  if (socket.IsOpen()) return socket;
  if (!resolved) {
    error = {EADDRNOTAVAIL, address.host + ": " + failure.reason, address.host};
    return socket;
  }
  const std::string where =
      (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
      ":" + address.port;
  error = {failure.code, where + ": " + failure.reason, where};
  return socket;
}

SerialPlatform::OpenResult NetworkSerialPlatform::Open(const std::string& name) {
  const std::optional<NetworkAddress> address = NetworkAddressOf(name);
  if (!address) return local_.Open(name);
  if (address->host.empty()) {
    return {nullptr, OpenFailure::CannotOpen,
            SysError::Noted(EINVAL, {PortReason::NotAnAddress, {name}})};
  }
  SysError error;
  net::Socket socket = ConnectTo(*address, kConnectTimeout, error);
  if (!socket.IsOpen()) return {nullptr, OpenFailure::CannotOpen, error};
  const std::string where = error.path.empty() ? name.substr(name.find("//") + 2) : error.path;
  const bool rfc2217 = address->kind == NetworkAddress::Kind::Rfc2217;
  auto refused = [&where](PortReason why) {
    return OpenResult{nullptr, OpenFailure::CannotOpen,
                      SysError::Noted(EPROTO, {why, {where}}, where)};
  };
  switch (ListenFirst(socket, rfc2217 ? kTelnetOfferWait : kRawListenFirst)) {
    case FirstWords::Closed:
      return refused(PortReason::ServerClosedAtOnce);
    case FirstWords::Telnet:
      if (!rfc2217) return refused(PortReason::SpeaksRfc2217);
      break;
    case FirstWords::Nothing:
    case FirstWords::Data:
      if (rfc2217) return refused(PortReason::NotRfc2217);
      break;
  }
  return {std::make_unique<NetworkSerialDevice>(std::move(socket), rfc2217, where)};
}

}  // namespace zrt::link
