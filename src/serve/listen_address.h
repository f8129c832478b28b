// Where a server listens, as a command line gives it.
#pragma once

#include <QString>
#include <cstdint>

namespace zrt::serve {

// "[HOST:]PORT" (an IPv6 HOST in brackets; PORT 0: one the system picks)
// into `host` (left as it is when the text names none) and `port`; false
// when the text is not that.
bool ParseListenAddress(const QString& text, QString& host, std::uint16_t& port);
// The address as ParseListenAddress reads it: "HOST:PORT", "[IPV6]:PORT".
QString ListenAddressText(const QString& host, std::uint16_t port);

}  // namespace zrt::serve
