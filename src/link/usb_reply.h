// How a reply is gathered from a bulk endpoint: reads appended until the
// device has been quiet for a while, within a deadline and a size limit.
// Kept apart from libusb so that the rule is tested on its own.
#pragma once

#include <QByteArray>
#include <chrono>
#include <functional>

namespace zrt::link {

struct ChunkResult {
  enum Status { Data, Quiet, Gone };  // Quiet: the wait passed without a byte
  Status status;
  QByteArray bytes;  // for Data: at least one byte
};

struct ReplyLimits {
  std::chrono::milliseconds total;  // the whole reply, from the first wait on
  std::chrono::milliseconds quiet;  // a pause this long after some bytes ends it
  qsizetype maxBytes;
};

// Reads with `readChunk(wait)` until a pause of `limits.quiet` after some
// bytes, the total time spent, the device gone, or maxBytes gathered.
QByteArray ReadUntilQuiet(const std::function<ChunkResult(std::chrono::milliseconds)>& readChunk,
                          const ReplyLimits& limits);

}  // namespace zrt::link
