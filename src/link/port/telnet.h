// The Telnet framing that network serial servers speak (RFC 854), and the
// COM-PORT-OPTION (RFC 2217) requests that set the line of the server's
// port. Plain code, no sockets: the network platform layer feeds it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/port/comm_settings.h"

namespace zrt::link::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;
// Options.
inline constexpr std::uint8_t kBinary = 0;
inline constexpr std::uint8_t kSuppressGoAhead = 3;
inline constexpr std::uint8_t kComPort = 44;

using Bytes = std::vector<std::uint8_t>;

// Data as Telnet carries it: every 0xFF doubled.
Bytes Escape(std::span<const std::uint8_t> data);

// Takes a Telnet stream apart, however it is cut into reads: the data bytes
// (a doubled 0xFF is one), option negotiations and subnegotiations.
class Decoder {
 public:
  struct Negotiation {
    std::uint8_t verb;  // kWill, kWont, kDo or kDont
    std::uint8_t option;
  };
  struct Subnegotiation {
    std::uint8_t option;
    Bytes payload;  // unescaped
  };
  struct Output {
    Bytes data;
    std::vector<Negotiation> negotiations;
    std::vector<Subnegotiation> subnegotiations;
  };

  // Appends what `bytes` complete to `out`.
  void Feed(std::span<const std::uint8_t> bytes, Output& out);

 private:
  enum class State { Data, Command, Option, Sub, SubCommand };
  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  Bytes sub_;
  // A subnegotiation longer than any COM-PORT answer is cut here, so that
  // a server cannot make it grow without bound.
  static constexpr std::size_t kLongestSub = 1024;
};

// Where each option stands on both sides, and our answers to the server's
// negotiations (RFC 1143): the options a serial client wants (binary both
// ways, no go-ahead, the COM port) are taken, any other refused, and only a
// change of state is answered, so that a server that acknowledges every
// answer does not start a loop.
class OptionStates {
 public:
  // What a client says first: it will speak the COM port option, and asks
  // for binary data and no go-ahead both ways; those become asked for.
  Bytes Greeting();
  // The answer to one negotiation, empty where none is due.
  Bytes Answer(const Decoder::Negotiation& negotiation);

 private:
  enum class State : std::uint8_t { No, Yes, Asked };
  State us_[256] = {};   // whether we perform the option
  State him_[256] = {};  // whether the server does
};

}  // namespace zrt::link::telnet

namespace zrt::link::rfc2217 {

// Client-to-server command codes; the server answers with the code + 100.
enum Command : std::uint8_t {
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kFlowControlSuspend = 8,  // either side: hold output
  kFlowControlResume = 9,
  kPurgeData = 12,
};
inline constexpr std::uint8_t kServerOffset = 100;

struct Request {
  std::uint8_t command;
  telnet::Bytes value;
  // A line setting, which the server must confirm; a modem line (DTR, RTS)
  // is asked for but a server may leave it unanswered.
  bool lineSetting = true;
};

// The requests that set the server's port as `state` says: rate (when not
// 0), data bits, parity, stop bits, flow control both ways, DTR and RTS.
std::vector<Request> RequestsFor(const CommState& state);
// IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
telnet::Bytes Encode(const Request& request);
// What a request is, for a message in any language, in RFC 2217's own
// names: "BAUDRATE 19200", "DTR on".
std::string Describe(const Request& request);

}  // namespace zrt::link::rfc2217
