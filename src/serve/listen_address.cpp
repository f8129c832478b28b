#include "serve/listen_address.h"

namespace zrt::serve {

bool ParseListenAddress(const QString& text, QString& host, std::uint16_t& port) {
  const qsizetype colon = text.lastIndexOf(':');
  QString hostPart = colon < 0 ? QString() : text.left(colon);
  bool ok = false;
  const uint number = text.mid(colon + 1).toUInt(&ok);
  if (!ok || number > 65535) return false;  // 0: a port the system picks
  if (hostPart.startsWith('[') && hostPart.endsWith(']')) {
    hostPart = hostPart.mid(1).chopped(1);
  } else if (hostPart.contains(':')) {
    return false;  // an IPv6 address goes in brackets
  }
  if (colon >= 0 && hostPart.isEmpty()) return false;
  if (!hostPart.isEmpty()) host = hostPart;
  port = static_cast<std::uint16_t>(number);
  return true;
}

QString ListenAddressText(const QString& host, std::uint16_t port) {
  return (host.contains(':') ? "[" + host + "]" : host) + ":" + QString::number(port);
}

}  // namespace zrt::serve
