// The steps of sending a command line, as plain functions: the text
// conversion both ways, the integer conversion of the settings, the address
// substitution, the frame, the sweep-trigger rule and the echoes.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace zrt::protocol {

// The instrument speaks 8-bit text: characters U+0000 to U+00FF become the
// byte of the same value. The full-width forms of ASCII (U+FF01 to U+FF5E)
// and the ideographic space, which a Chinese input method types, become
// their ASCII characters, as the keys with full-width captions send them.
// Every other character becomes a "?": callers refuse such a line first
// (FirstWithoutByte).
QByteArray ToLine(const QString& text);

// A character that has no byte, and where it stands in the line (from 1,
// counted in characters).
struct NoByte {
  char32_t character;
  int position;
};
std::optional<NoByte> FirstWithoutByte(const QString& text);
// "'X' (U+XXXX) at position N", for messages.
QString Describe(const NoByte& what);
// One character per byte, U+0000 to U+00FF, every byte value kept.
QString FromLine(QByteArrayView bytes);

// Raised when a setting that must be an integer is not one; what() is the
// operator's message, "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The integer value of a setting: optional leading blanks, an optional sign,
// then decimal digits, or hexadecimal ones after "$" or "0x"; 32 bits.
// Throws EConvertError for anything else.
std::int32_t StrToInt(const QString& text);

// The baud rate of a setting: an integer as StrToInt takes it, above 0.
// Throws EConvertError ("'<text>' is not a valid baud rate") for 0 and
// negative values.
std::uint32_t BaudRateOf(const QString& text);

// The address byte: the low 8 bits of the address value.
inline char AddressByte(std::int32_t address) { return static_cast<char>(address & 0xFF); }

// Whether `line` begins with `addressText`, letter case ignored; never for
// an empty address text.
bool StartsWithAddress(QByteArrayView line, QByteArrayView addressText);

// `line` with the address text at its start replaced by the address byte;
// unchanged when the line does not begin with it. Only the start counts: the
// same digits inside a value ("CHA:AFREQ:880HZ" at address 88) are data.
QByteArray SubstituteAddress(QByteArray line, QByteArrayView addressText, char addressByte);

// The bytes on the wire for one line: the line and a line feed.
QByteArray FrameOf(QByteArrayView line);

// Whether a sent line is the amplitude sweep's single trigger for the
// instrument at this address, which holds Send for kSweepTriggerHoldMs.
bool IsSweepTrigger(QByteArrayView line, char addressByte);
inline constexpr int kSweepTriggerHoldMs = 3000;

// Serial bytes are handed over this far apart; the instrument takes them no faster.
inline constexpr int kSerialByteIntervalMs = 10;

// The reply box after a send and after a reply.
QString SentEcho(QByteArrayView line);
QString ReceivedEcho(QByteArrayView bytes);

}  // namespace zrt::protocol
