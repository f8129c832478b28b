#include "protocol/send_steps.h"

#include <QChar>
#include <QList>
#include <limits>
#include <optional>

namespace zrt::protocol {
namespace {

// The amplitude sweep's function and single-trigger item, with the colon between.
constexpr QByteArrayView kSweepTrigger = "ASWP:TRIGG";

// -1 when `c` is no digit of `base`; only ASCII digits count.
int DigitValue(char16_t c, int base) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::optional<std::int32_t> ParseInteger(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  // Hexadecimal takes all 32 bits ($FFFFFFFF is -1); decimal stops at the signed range.
  const std::int64_t limit =
      base == 16 ? std::int64_t{0xFFFFFFFF}
                 : std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0);
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i].unicode(), base);
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(negative ? -value : value));
}

// The byte a character stands for; above 0xFF when it has none.
char32_t ByteOf(char32_t c) {
  constexpr char32_t kIdeographicSpace = 0x3000;
  constexpr char32_t kFullWidthFirst = 0xFF01;  // "！"
  constexpr char32_t kFullWidthLast = 0xFF5E;   // "～"
  if (c == kIdeographicSpace) return u' ';
  if (c >= kFullWidthFirst && c <= kFullWidthLast) return c - kFullWidthFirst + u'!';
  return c;
}

char FoldCase(char byte) {
  const QChar c(static_cast<uchar>(byte));
  const QChar lower = c.toLower();
  return lower.unicode() <= 0xFF ? static_cast<char>(lower.unicode()) : byte;
}

}  // namespace

QByteArray ToLine(const QString& text) {
  QByteArray line;
  line.reserve(text.size());
  // By code point: a character beyond the basic plane is one "?", not two.
  for (char32_t c : text.toUcs4()) {
    const char32_t byte = ByteOf(c);
    line.append(byte <= 0xFF ? static_cast<char>(byte) : '?');
  }
  return line;
}

std::optional<NoByte> FirstWithoutByte(const QString& text) {
  int position = 0;
  for (char32_t c : text.toUcs4()) {
    ++position;
    if (ByteOf(c) > 0xFF) return NoByte{c, position};
  }
  return std::nullopt;
}

QString Describe(const NoByte& what) {
  return QString("'%1' (U+%2) at position %3")
      .arg(QString::fromUcs4(&what.character, 1),
           QString::number(what.character, 16).toUpper().rightJustified(4, '0'),
           QString::number(what.position));
}

QString FromLine(QByteArrayView bytes) { return QString::fromLatin1(bytes); }

std::int32_t StrToInt(const QString& text) {
  if (const std::optional<std::int32_t> value = ParseInteger(text)) return *value;
  throw EConvertError(("'" + text + "' is not a valid integer value").toStdString());
}

std::uint32_t BaudRateOf(const QString& text) {
  const std::int32_t rate = StrToInt(text);
  if (rate <= 0) throw EConvertError(("'" + text + "' is not a valid baud rate").toStdString());
  return static_cast<std::uint32_t>(rate);
}

bool StartsWithAddress(QByteArrayView line, QByteArrayView addressText) {
  if (addressText.empty() || line.size() < addressText.size()) return false;
  for (qsizetype k = 0; k < addressText.size(); ++k) {
    if (FoldCase(line[k]) != FoldCase(addressText[k])) return false;
  }
  return true;
}

QByteArray SubstituteAddress(QByteArray line, QByteArrayView addressText, char addressByte) {
  if (!StartsWithAddress(line, addressText)) return line;
  return line.replace(qsizetype{0}, addressText.size(), &addressByte, qsizetype{1});
}

QByteArray FrameOf(QByteArrayView line) { return line.toByteArray() + '\n'; }

bool IsSweepTrigger(QByteArrayView line, char addressByte) {
  return line.size() == 1 + kSweepTrigger.size() && line[0] == addressByte &&
         line.sliced(1) == kSweepTrigger;
}

QString SentEcho(QByteArrayView line) { return QString::fromUtf8("发送:") + FromLine(line); }

QString ReceivedEcho(QByteArrayView bytes) { return QString::fromUtf8("接收:") + FromLine(bytes); }

}  // namespace zrt::protocol
