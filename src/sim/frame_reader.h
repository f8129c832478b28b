// Cuts the bytes the simulated instrument reads into frames at each line
// feed, and keeps, for each frame, the closest two of its bytes came: bytes
// of one read came together; the first byte of a read came the time since
// the read before.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace zrt::sim {

class FrameReader {
 public:
  using Clock = std::chrono::steady_clock;

  struct Frame {
    std::string bytes;                  // without the line feed
    std::chrono::microseconds closest;  // max() for a frame of one byte or none
  };

  // The frames that the bytes of one read, taken at `when`, complete.
  std::vector<Frame> Take(std::string_view read, Clock::time_point when);

 private:
  std::string frame_;
  std::chrono::microseconds closest_ = std::chrono::microseconds::max();
  Clock::time_point last_{};
};

}  // namespace zrt::sim
