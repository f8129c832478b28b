#include "link/usb_reply.h"

#include <algorithm>

namespace zrt::link {

QByteArray ReadUntilQuiet(const std::function<ChunkResult(std::chrono::milliseconds)>& readChunk,
                          const ReplyLimits& limits) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limits.total;
  QByteArray reply;
  while (reply.size() < limits.maxBytes) {
    std::chrono::milliseconds wait =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (wait <= std::chrono::milliseconds::zero()) break;
    if (!reply.isEmpty()) wait = std::min(wait, limits.quiet);
    ChunkResult chunk = readChunk(wait);
    if (chunk.status != ChunkResult::Data) break;
    reply += chunk.bytes;
  }
  reply.truncate(std::min(reply.size(), limits.maxBytes));
  return reply;
}

}  // namespace zrt::link
