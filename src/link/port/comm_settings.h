// The serial line's settings as the component publishes them, and the
// platform-neutral records they are written to: the line-settings record
// (baud rate, flag word, characters) and the five timeouts.
#pragma once

#include <cstdint>
#include <string>

namespace zrt::link {

// Each enumeration holds its ordinal; what reaches the port is given beside it.
enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };  // the ordinal
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };                // the ordinal
enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };              // ordinal + 5 data bits
enum class TDtrControl : std::uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : std::uint8_t {
  RtsEnable,
  RtsDisable,
  RtsHandshake,
  RtsTransmissionAvailable,
};

// Values of the flag word's DTR and RTS fields.
enum : std::uint8_t {
  DTR_CONTROL_DISABLE = 0,
  DTR_CONTROL_ENABLE = 1,
  DTR_CONTROL_HANDSHAKE = 2,
  RTS_CONTROL_DISABLE = 0,
  RTS_CONTROL_ENABLE = 1,
  RTS_CONTROL_HANDSHAKE = 2,
  RTS_CONTROL_TOGGLE = 3,
};

std::uint8_t DtrControlValue(TDtrControl control);
std::uint8_t RtsControlValue(TRtsControl control);

// Bits of the line-settings flag word.
namespace dcb {
inline constexpr std::uint32_t fBinary = 1u << 0;
inline constexpr std::uint32_t fParity = 1u << 1;
inline constexpr std::uint32_t fOutxCtsFlow = 1u << 2;
inline constexpr std::uint32_t fOutxDsrFlow = 1u << 3;
inline constexpr int fDtrControlShift = 4;  // two bits
inline constexpr std::uint32_t fDsrSensitivity = 1u << 6;
inline constexpr std::uint32_t fTXContinueOnXoff = 1u << 7;
inline constexpr std::uint32_t fOutX = 1u << 8;
inline constexpr std::uint32_t fInX = 1u << 9;
inline constexpr std::uint32_t fErrorChar = 1u << 10;
inline constexpr std::uint32_t fNull = 1u << 11;
inline constexpr int fRtsControlShift = 12;  // two bits
inline constexpr std::uint32_t fAbortOnError = 1u << 14;
}  // namespace dcb

// The line-settings record that the platform layer applies to a port.
struct CommState {
  std::uint32_t baudRate = 0;
  std::uint32_t flags = 0;
  std::uint16_t xonLim = 0;
  std::uint16_t xoffLim = 0;
  std::uint8_t byteSize = 8;
  std::uint8_t parity = 0;
  std::uint8_t stopBits = 0;
  char xonChar = 0;
  char xoffChar = 0;
  char errorChar = 0;

  std::uint8_t DtrControl() const { return (flags >> dcb::fDtrControlShift) & 3u; }
  std::uint8_t RtsControl() const { return (flags >> dcb::fRtsControlShift) & 3u; }
  bool operator==(const CommState&) const = default;
};

// Milliseconds; 0 means the limit is not used.
// A read interval of this value asks for whatever has arrived, at once:
// each read is handed on, not held until the line is quiet.
inline constexpr std::uint32_t kReadAtOnce = 0xFFFFFFFF;

struct CommTimeouts {
  std::uint32_t readIntervalTimeout = 0;
  std::uint32_t readTotalTimeoutMultiplier = 0;
  std::uint32_t readTotalTimeoutConstant = 0;
  std::uint32_t writeTotalTimeoutMultiplier = 0;
  std::uint32_t writeTotalTimeoutConstant = 0;
  bool operator==(const CommTimeouts&) const = default;
};

// The component's published settings, with the values a new component has.
struct CommProperties {
  std::string commName = "COM2";
  std::uint32_t baudRate = 9600;
  bool parityCheck = false;
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  TDtrControl dtrControl = TDtrControl::DtrEnable;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = true;
  bool outxXonXoffFlow = true;
  bool inxXonXoffFlow = true;
  bool replaceWhenParityError = false;
  bool ignoreNullChar = false;
  TRtsControl rtsControl = TRtsControl::RtsEnable;
  std::uint16_t xonLimit = 500;
  std::uint16_t xoffLimit = 500;
  TByteSize byteSize = TByteSize::_8;
  TParity parity = TParity::None;
  TStopBits stopBits = TStopBits::_1;
  char xonChar = 17;   // DC1
  char xoffChar = 19;  // DC3
  char replacedChar = 0;
  CommTimeouts timeouts{100, 0, 0, 0, 0};
};

// The flag word for these settings: fBinary always, the rest from the
// properties; every other bit (fAbortOnError included) clear.
std::uint32_t CommFlags(const CommProperties& properties);

// The record to apply to a port for these settings.
CommState BuildCommState(const CommProperties& properties);

}  // namespace zrt::link
