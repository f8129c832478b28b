#include "link/port/telnet.h"

namespace zrt::link::telnet {

Bytes Escape(std::span<const std::uint8_t> data) {
  Bytes out;
  out.reserve(data.size());
  for (const std::uint8_t byte : data) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
  }
  return out;
}

void Decoder::Feed(std::span<const std::uint8_t> bytes, Output& out) {
  for (const std::uint8_t byte : bytes) {
    switch (state_) {
      case State::Data:
        if (byte == kIac) {
          state_ = State::Command;
        } else {
          out.data.push_back(byte);
        }
        break;
      case State::Command:
        if (byte == kIac) {
          out.data.push_back(kIac);
          state_ = State::Data;
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::Option;
        } else if (byte == kSb) {
          sub_.clear();
          state_ = State::Sub;
        } else {
          state_ = State::Data;  // NOP, GA and the like carry nothing for us
        }
        break;
      case State::Option:
        out.negotiations.push_back({verb_, byte});
        state_ = State::Data;
        break;
      case State::Sub:
        if (byte == kIac) {
          state_ = State::SubCommand;
        } else if (sub_.size() < kLongestSub) {
          sub_.push_back(byte);
        }
        break;
      case State::SubCommand:
        if (byte == kIac) {
          if (sub_.size() < kLongestSub) sub_.push_back(kIac);
          state_ = State::Sub;
        } else {
          // IAC SE ends it; so does any other command, which a broken
          // server may send inside.
          if (!sub_.empty()) {
            out.subnegotiations.push_back({sub_.front(), Bytes(sub_.begin() + 1, sub_.end())});
          }
          sub_.clear();
          state_ = State::Data;
        }
        break;
    }
  }
}

namespace {

bool Wanted(std::uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

}  // namespace

Bytes OptionStates::Greeting() {
  for (const std::uint8_t option : {kComPort, kBinary, kSuppressGoAhead})
    us_[option] = State::Asked;
  for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) him_[option] = State::Asked;
  return {kIac, kWill, kComPort,         kIac, kWill, kBinary,         kIac, kDo, kBinary,
          kIac, kWill, kSuppressGoAhead, kIac, kDo,   kSuppressGoAhead};
}

Bytes OptionStates::Answer(const Decoder::Negotiation& n) {
  const bool enable = n.verb == kDo || n.verb == kWill;
  const bool aboutUs = n.verb == kDo || n.verb == kDont;
  State& state = aboutUs ? us_[n.option] : him_[n.option];
  const std::uint8_t yes = aboutUs ? kWill : kDo;
  const std::uint8_t no = aboutUs ? kWont : kDont;
  if (enable) {
    switch (state) {
      case State::Yes:
        return {};  // already agreed: an acknowledgement, not a request
      case State::Asked:
        state = State::Yes;  // the answer to our own request
        return {};
      case State::No:
        if (!Wanted(n.option)) return {kIac, no, n.option};
        state = State::Yes;
        return {kIac, yes, n.option};
    }
  }
  switch (state) {
    case State::No:
      return {};  // already off
    case State::Asked:
      state = State::No;  // our request refused
      return {};
    case State::Yes:
      state = State::No;
      return {kIac, no, n.option};
  }
  return {};
}

}  // namespace zrt::link::telnet

namespace zrt::link::rfc2217 {

std::vector<Request> RequestsFor(const CommState& s) {
  std::vector<Request> requests;
  if (s.baudRate != 0) {
    const std::uint32_t rate = s.baudRate;
    requests.push_back(
        {kSetBaudRate,
         {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
          static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)}});
  }
  requests.push_back({kSetDataSize, {s.byteSize}});
  // RFC 2217 counts from 1: none, odd, even, mark, space.
  requests.push_back({kSetParity, {static_cast<std::uint8_t>(s.parity + 1)}});
  // One, two, and one and a half stop bits are 1, 2 and 3.
  constexpr std::uint8_t kStopSize[] = {1, 3, 2};
  requests.push_back({kSetStopSize, {kStopSize[s.stopBits < 3 ? s.stopBits : 0]}});
  const bool ctsOut = (s.flags & dcb::fOutxCtsFlow) || s.RtsControl() == RTS_CONTROL_HANDSHAKE;
  requests.push_back({kSetControl,
                      {static_cast<std::uint8_t>(ctsOut                   ? 3
                                                 : (s.flags & dcb::fOutX) ? 2
                                                                          : 1)}});
  const bool rtsIn = s.RtsControl() == RTS_CONTROL_HANDSHAKE;
  requests.push_back({kSetControl,
                      {static_cast<std::uint8_t>(rtsIn                   ? 16
                                                 : (s.flags & dcb::fInX) ? 15
                                                                         : 14)}});
  if (s.DtrControl() != DTR_CONTROL_HANDSHAKE) {
    requests.push_back({kSetControl,
                        {static_cast<std::uint8_t>(s.DtrControl() == DTR_CONTROL_ENABLE ? 8 : 9)},
                        false});
  }
  if (s.RtsControl() == RTS_CONTROL_ENABLE || s.RtsControl() == RTS_CONTROL_DISABLE) {
    requests.push_back({kSetControl,
                        {static_cast<std::uint8_t>(s.RtsControl() == RTS_CONTROL_ENABLE ? 11 : 12)},
                        false});
  }
  return requests;
}

telnet::Bytes Encode(const Request& request) {
  telnet::Bytes out{telnet::kIac, telnet::kSb, telnet::kComPort, request.command};
  const telnet::Bytes value = telnet::Escape(request.value);
  out.insert(out.end(), value.begin(), value.end());
  out.push_back(telnet::kIac);
  out.push_back(telnet::kSe);
  return out;
}

std::string Describe(const Request& r) {
  const unsigned first = r.value.empty() ? 0 : r.value[0];
  switch (r.command) {
    case kSetBaudRate: {
      std::uint32_t rate = 0;
      for (const std::uint8_t b : r.value) rate = (rate << 8) | b;
      return "BAUDRATE " + std::to_string(rate);
    }
    case kSetDataSize:
      return "DATASIZE " + std::to_string(first);
    case kSetParity:
      return "PARITY " + std::to_string(first);
    case kSetStopSize:
      return "STOPSIZE " + std::to_string(first);
    case kSetControl:
      if (first == 8 || first == 9) return first == 8 ? "DTR on" : "DTR off";
      if (first == 11 || first == 12) return first == 11 ? "RTS on" : "RTS off";
      return "CONTROL " + std::to_string(first);
    default:
      return "COM-PORT " + std::to_string(r.command);
  }
}

}  // namespace zrt::link::rfc2217
