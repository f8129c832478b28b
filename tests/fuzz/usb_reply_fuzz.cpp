// The USB reply reader on an arbitrary byte stream cut at arbitrary points:
// it keeps the bytes of every read up to the first quiet one, in order, and
// never more than its limit.
#include <cstdint>
#include <cstdlib>

#include "link/usb_reply.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::link;
  using namespace std::chrono_literals;
  // Each read takes a length byte: 0 is a quiet read, 255 the device gone,
  // anything else that many of the bytes that follow.
  std::size_t at = 0;
  QByteArray expected;
  const qsizetype limit = 300;
  auto read = [&](std::chrono::milliseconds) {
    if (at >= size) return ChunkResult{ChunkResult::Quiet, {}};
    const std::uint8_t n = data[at++];
    if (n == 0) return ChunkResult{ChunkResult::Quiet, {}};
    if (n == 255) return ChunkResult{ChunkResult::Gone, {}};
    const std::size_t take = std::min<std::size_t>(n, size - at);
    QByteArray bytes(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(take));
    at += take;
    if (bytes.isEmpty()) return ChunkResult{ChunkResult::Quiet, {}};
    expected += bytes;
    return ChunkResult{ChunkResult::Data, bytes};
  };
  const QByteArray reply = ReadUntilQuiet(read, {3000ms, 100ms, limit});
  Check(reply.size() <= limit);
  Check(expected.startsWith(reply));
  Check(reply.size() == std::min(limit, expected.size()));
  return 0;
}
