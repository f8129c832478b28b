// The Telnet framing and the COM-PORT requests, without a socket.
#include "link/port/telnet.h"

#include <gtest/gtest.h>

#include <set>

#include "link/port/serial_port_net.h"

namespace zrt::link {
namespace {

using telnet::Bytes;

TEST(Telnet, TakesAStreamApartHoweverItIsCut) {
  constexpr std::uint8_t kNop = 241;
  Bytes stream;
  for (const Bytes& piece : std::initializer_list<Bytes>{
           {'A', 0xFF, 0xFF, 'B'},                 // data with an escaped 0xFF
           {0xFF, telnet::kDo, telnet::kComPort},  // a negotiation
           // A COM-PORT answer, the rate 19200 (no 0xFF in it) with an escaped 0xFF after it.
           {0xFF, telnet::kSb, telnet::kComPort, 101, 0, 0, 0x4B, 0x00, 0xFF, 0xFF, 0xFF,
            telnet::kSe},
           {0xFF, kNop, 'C', '\n'},  // a command with no option, more data
       }) {
    stream.insert(stream.end(), piece.begin(), piece.end());
  }
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    telnet::Decoder decoder;
    telnet::Decoder::Output out;
    decoder.Feed(std::span(stream).first(cut), out);
    decoder.Feed(std::span(stream).subspan(cut), out);
    EXPECT_EQ(out.data, (Bytes{'A', 0xFF, 'B', 'C', '\n'})) << "cut at " << cut;
    ASSERT_EQ(out.negotiations.size(), 1u);
    EXPECT_EQ(out.negotiations[0].verb, telnet::kDo);
    ASSERT_EQ(out.subnegotiations.size(), 1u);
    EXPECT_EQ(out.subnegotiations[0].payload, (Bytes{101, 0, 0, 0x4B, 0x00, 0xFF}));
  }
  EXPECT_EQ(telnet::Escape(Bytes{1, 0xFF, 2}), (Bytes{1, 0xFF, 0xFF, 2}));
}

// Only a change of state is answered: the server's answers to our greeting,
// and its repeats, get nothing back; what we do not want is refused.
TEST(Telnet, AnswersOnlyAChangeOfState) {
  using telnet::kDo, telnet::kDont, telnet::kWill, telnet::kWont, telnet::kIac;
  constexpr std::uint8_t kEcho = 1, kTerminalType = 24;
  telnet::OptionStates options;
  options.Greeting();
  const struct {
    telnet::Decoder::Negotiation server;
    Bytes answer;
  } steps[] = {
      {{kDo, telnet::kComPort}, {}},  // agrees to what we offered
      {{kDo, telnet::kComPort}, {}},  // and again: no loop
      {{kWill, telnet::kBinary}, {}},
      {{kWill, telnet::kBinary}, {}},
      {{kDo, kTerminalType}, {kIac, kWont, kTerminalType}},
      {{kWill, kEcho}, {kIac, kDont, kEcho}},
      {{kWont, kEcho}, {}},                     // already off
      {{kDont, telnet::kSuppressGoAhead}, {}},  // refuses what we asked
      {{kDo, telnet::kSuppressGoAhead}, {kIac, kWill, telnet::kSuppressGoAhead}},
      {{kDont, telnet::kComPort}, {kIac, kWont, telnet::kComPort}},  // turns an agreed one off
      {{kDont, telnet::kComPort}, {}},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(options.Answer(step.server), step.answer)
        << int(step.server.verb) << " " << int(step.server.option);
  }
}

TEST(Telnet, RequestsSetTheServersLine) {
  CommState state;
  state.baudRate = 115200;
  state.byteSize = 7;
  state.parity = 2;    // even
  state.stopBits = 1;  // one and a half
  state.flags = dcb::fOutX | (DTR_CONTROL_ENABLE << dcb::fDtrControlShift) |
                (RTS_CONTROL_DISABLE << dcb::fRtsControlShift);
  std::vector<Bytes> encoded;
  for (const rfc2217::Request& r : rfc2217::RequestsFor(state))
    encoded.push_back(rfc2217::Encode(r));
  auto request = [](std::uint8_t command, Bytes value) {
    Bytes out{0xFF, telnet::kSb, telnet::kComPort, command};
    for (const std::uint8_t byte : value) out.push_back(byte);
    out.push_back(0xFF);
    out.push_back(telnet::kSe);
    return out;
  };
  EXPECT_EQ(encoded,
            (std::vector<Bytes>{
                request(1, {0x00, 0x01, 0xC2, 0x00}),                                // 115200
                request(2, {7}), request(3, {3}), request(4, {3}), request(5, {2}),  // XON/XOFF out
                request(5, {14}),                                                    // nothing in
                request(5, {8}),                                                     // DTR on
                request(5, {12}),                                                    // RTS off
            }));
}

TEST(Telnet, NetworkNames) {
  struct Case {
    const char* name;
    bool network;
    const char* host;
    const char* port;
  } cases[] = {
      {"/dev/ttyUSB0", false, "", ""},
      {"COM1", false, "", ""},
      {"rfc2217://192.168.1.20:2000", true, "192.168.1.20", "2000"},
      {"tcp://rack-7.lab:4001", true, "rack-7.lab", "4001"},
      {"rfc2217://[fe80::1]:7000", true, "fe80::1", "7000"},
      {"rfc2217://host", true, "", ""},
      {"tcp://host:0", true, "", ""},
      {"tcp://host:65536", true, "", ""},
      {"tcp://fe80::1:7000", true, "", ""},
  };
  for (const Case& c : cases) {
    const auto address = NetworkAddressOf(c.name);
    EXPECT_EQ(address.has_value(), c.network) << c.name;
    if (!address) continue;
    EXPECT_EQ(address->host, c.host) << c.name;
    EXPECT_EQ(address->port, c.port) << c.name;
  }
}

}  // namespace
// Every reason a port gives in words of its own reads in each language,
// its arguments in their places and taken as they are.
TEST(PortReasons, EachHasItsThreeTexts) {
  for (int why = 1; why < static_cast<int>(PortReason::Count); ++why) {
    const PortNote note{static_cast<PortReason>(why), {"h%2st:1", "7"}};
    std::set<std::string> texts;
    for (std::size_t language = 0; language < 3; ++language) {
      const std::string text = SayPortNote(note, language);
      EXPECT_NE(text.find("h%2st:1"), std::string::npos) << why << "/" << language << ": " << text;
      EXPECT_EQ(text.find("%1"), std::string::npos) << text;
      texts.insert(text);
    }
    EXPECT_GE(texts.size(), 2u) << "reason " << why << " is not translated";
  }
}

}  // namespace zrt::link
