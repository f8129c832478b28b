#include "cli/reply_output.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "sequence/runner.h"

namespace zrt::cli {

QByteArray Format(ReplyFormat format, const Exchange& exchange) {
  switch (format) {
    case ReplyFormat::Raw:
      return exchange.reply;
    case ReplyFormat::Hex:
      return exchange.reply.toHex(' ').toUpper() + '\n';
    case ReplyFormat::Escaped:
      return sequence::Escaped(exchange.reply).toUtf8() + '\n';
    case ReplyFormat::Json: {
      // The reply as text of U+0000 to U+00FF, one character per byte, so
      // that every byte value comes back from the JSON string.
      const QJsonObject object{
          {"time", exchange.time.toString(Qt::ISODateWithMs)},
          {"line", exchange.line},
          {"sent", QString::fromLatin1(exchange.sent.toHex())},
          {"reply", QString::fromLatin1(exchange.reply)},
          {"answered", exchange.answered},
      };
      return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
  }
  return {};
}

}  // namespace zrt::cli
