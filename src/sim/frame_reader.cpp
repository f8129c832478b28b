#include "sim/frame_reader.h"

#include <algorithm>

namespace zrt::sim {

std::vector<FrameReader::Frame> FrameReader::Take(std::string_view read, Clock::time_point when) {
  std::vector<Frame> frames;
  for (std::size_t i = 0; i < read.size(); ++i) {
    // Every byte after a frame's first counts, the line feed too.
    if (!frame_.empty()) {
      const auto gap = i == 0 ? std::chrono::duration_cast<std::chrono::microseconds>(when - last_)
                              : std::chrono::microseconds::zero();
      closest_ = std::min(closest_, gap);
    }
    if (read[i] != '\n') {
      frame_ += read[i];
      continue;
    }
    frames.push_back({std::move(frame_), closest_});
    frame_.clear();
    closest_ = std::chrono::microseconds::max();
  }
  last_ = when;
  return frames;
}

}  // namespace zrt::sim
