#include "sim/frame_reader.h"

#include <algorithm>

namespace zrt::sim {

std::vector<FrameReader::Frame> FrameReader::Take(std::string_view read, Clock::time_point when) {
  using std::chrono::microseconds;
  std::vector<Frame> frames;
  const auto since = std::chrono::duration_cast<microseconds>(when - last_);
  // The read's bytes all came since the read before.
  const microseconds together =
      read.size() > 1 ? since / static_cast<long>(read.size() - 1) : microseconds::max();
  for (std::size_t i = 0; i < read.size(); ++i) {
    // Every byte after a frame's first counts, the line feed too.
    if (!frame_.empty()) {
      closest_ = std::min(closest_, i == 0 ? since : together);
      together_ = together_ || i > 0;
    }
    if (read[i] != '\n') {
      frame_ += read[i];
      continue;
    }
    frames.push_back({std::move(frame_), closest_, together_});
    frame_.clear();
    closest_ = microseconds::max();
    together_ = false;
  }
  last_ = when;
  return frames;
}

}  // namespace zrt::sim
