#include "cli/reply_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "compose/key_vocabulary.h"
#include "sequence/runner.h"
#include "settings/line_reading.h"
#include "settings/units.h"

namespace zrt::cli {

QByteArray ForShell(QByteArrayView reply) {
  if (reply.endsWith('\n')) reply.chop(reply.endsWith("\r\n") ? 2 : 1);
  return sequence::Escaped(reply, sequence::EscapeStyle::ControlsOnly).toUtf8();
}

QByteArray Format(ReplyFormat format, const Exchange& exchange) {
  switch (format) {
    case ReplyFormat::Raw:
      return exchange.reply;
    case ReplyFormat::Hex:
      return exchange.reply.toHex(' ').toUpper() + '\n';
    case ReplyFormat::Text:
      return ForShell(exchange.reply) + '\n';
    case ReplyFormat::Json: {
      // The reply as text of U+0000 to U+00FF, one character per byte, so
      // that every byte value comes back from the JSON string.
      QJsonObject object{
          {"time", exchange.time.toString(Qt::ISODateWithMs)},
          {"line", exchange.line},
          {"sent", QString::fromLatin1(exchange.sent.toHex())},
          {"reply", QString::fromLatin1(exchange.reply)},
          {"answered", exchange.answered},
      };
      // One expect is an object; several after one line, an array of them.
      QJsonArray expects;
      for (const ExpectResult& e : exchange.expects) {
        expects.append(QJsonObject{{"pattern", e.pattern}, {"met", e.met}});
      }
      if (expects.size() == 1) object["expect"] = expects[0];
      if (expects.size() > 1) object["expect"] = expects;
      return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
  }
  return {};
}

QByteArray FormatReadBack(ReplyFormat format, const QString& function, const QString& item,
                          const QByteArray& reply) {
  QByteArray answer = reply;
  if (answer.endsWith('\n')) answer.chop(answer.endsWith("\r\n") ? 2 : 1);
  const auto reading = settings::ReadLine((function + ":" + item + "?").toStdString());
  const auto value =
      reading ? settings::ReadValue(reading->itemCode, answer.toStdString()) : std::nullopt;
  if (format != ReplyFormat::Json) {
    return (function + ":" + item).toUtf8() + ' ' +
           (reply.isEmpty() ? QByteArray("(no reply)") : ForShell(reply)) + '\n';
  }
  const auto base = [&] {
    const auto* key = reading ? compose::FindKey(reading->itemCode) : nullptr;
    const std::string_view unit = key ? settings::BaseUnit(key->unitGroup) : std::string_view{};
    return QString::fromLatin1(unit.data(), static_cast<qsizetype>(unit.size()));
  }();
  QJsonObject object{
      {"function", function},
      {"item", item},
      {"reply", QString::fromLatin1(answer)},
      {"answered", !reply.isEmpty()},
      {"number", value ? QJsonValue(value->number) : QJsonValue()},
      {"unit", value && !base.isEmpty() ? QJsonValue(base) : QJsonValue()},
  };
  return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray FormatSummary(ReplyFormat format, int lines, int replies, int met, int missed,
                         std::chrono::milliseconds took) {
  const double seconds = static_cast<double>(took.count()) / 1000.0;
  if (format == ReplyFormat::Json) {
    const QJsonObject summary{{"lines", lines},
                              {"replies", replies},
                              {"expectsMet", met},
                              {"expectsMissed", missed},
                              {"seconds", seconds}};
    return QJsonDocument(QJsonObject{{"summary", summary}}).toJson(QJsonDocument::Compact) + '\n';
  }
  return QString("%1 lines sent, %2 replies, %3 expects met, %4 missed, %5 s\n")
      .arg(lines)
      .arg(replies)
      .arg(met)
      .arg(missed)
      .arg(seconds, 0, 'f', 1)
      .toUtf8();
}

}  // namespace zrt::cli
