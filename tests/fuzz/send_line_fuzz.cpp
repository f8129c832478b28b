// Any command-line text and any address text through the serial send's
// steps: the conversion error, or a frame that is the converted line with
// the address at its start (and only there) replaced, and a line feed.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/send_steps.h"

namespace {

using namespace zrt::protocol;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The same substitution written the slow, obvious way.
QByteArray Expected(const QByteArray& line, const QByteArray& address, char byte) {
  if (address.isEmpty()) return line;
  const QByteArray folded = QString::fromLatin1(line).toLower().toLatin1();
  const QByteArray wanted = QString::fromLatin1(address).toLower().toLatin1();
  if (!folded.startsWith(wanted)) return line;
  return QByteArray(1, byte) + line.mid(address.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the input: the address text, then the line, as UTF-16.
  if (size == 0) return 0;
  const std::size_t split = std::min<std::size_t>(data[0], size - 1);
  const auto* text = reinterpret_cast<const char16_t*>(data + 1);
  const QString address = QString::fromUtf16(text, static_cast<qsizetype>(split / 2));
  const QString line =
      QString::fromUtf16(text + split / 2, static_cast<qsizetype>((size - 1 - split) / 2));
  try {
    const char byte = AddressByte(StrToInt(address));
    const QByteArray converted = ToLine(line);
    Check(converted.size() <= line.size());
    const QByteArray sent = SubstituteAddress(converted, ToLine(address), byte);
    Check(sent == Expected(converted, ToLine(address), byte));
    const QByteArray frame = FrameOf(sent);
    Check(frame.size() == sent.size() + 1 && frame.endsWith('\n') && frame.startsWith(sent));
  } catch (const EConvertError& e) {
    // The message quotes the text as far as a C string can carry it: up to
    // a U+0000 in it, as any message box would show it.
    const QString shown = "'" + address + "' is not a valid integer value";
    Check(std::string(e.what()) == std::string(shown.toStdString().c_str()));
  }
  return 0;
}
