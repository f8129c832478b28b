// The numbers that travel between the port, its threads and the component:
// line-event bits, line-error flags, modem-event bits and the notifications.
#pragma once

#include <cstdint>
#include <string>

namespace zrt::link {

// A block of bytes for the writer.
using ByteBlock = std::string;

// Line events a port can report (the reader asks for all three).
inline constexpr std::uint32_t EV_RLSD = 0x0020;  // carrier detect changed
inline constexpr std::uint32_t EV_ERR = 0x0080;   // a line-status error
inline constexpr std::uint32_t EV_RING = 0x0100;  // ring indicator
inline constexpr std::uint32_t kReaderEventMask = EV_RLSD | EV_ERR | EV_RING;

// Line-error flags, as reported when the port's error state is cleared.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;    // input buffer overflow
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;   // hardware overrun
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;  // parity error
inline constexpr std::uint32_t CE_FRAME = 0x0008;     // framing error
inline constexpr std::uint32_t CE_BREAK = 0x0010;     // break condition

// Bits of the modem-state-change event.
inline constexpr std::uint32_t kModemRing = 4;
inline constexpr std::uint32_t kModemCarrier = 8;

// Notifications the threads post to the component (and the hand-over to the
// writer). UM_WRITE_DATA and UM_RECEIVE_DATA share a number but never meet.
enum Notify : std::uint32_t {
  UM_WRITE_DATA = 1025,
  UM_RECEIVE_DATA = 1025,
  UM_RECEIVE_ERROR = 1026,
  UM_REQUEST_HANGUP = 1027,
  UM_MODEM_STATE_CHANGE = 1028,
  UM_SEND_DATA_EMPTY = 1029,
  UM_OUTPUT_HELD = 1030,  // value 1: the device holds output back (XOFF); 0: it goes on
};

// Flags for SerialDevice::Purge.
inline constexpr std::uint32_t PURGE_TXABORT = 0x1;
inline constexpr std::uint32_t PURGE_RXABORT = 0x2;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x4;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x8;

}  // namespace zrt::link
