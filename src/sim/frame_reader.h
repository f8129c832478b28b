// Cuts the bytes the simulated instrument reads into frames at each line
// feed, and keeps, for each frame, how close two of its bytes came as far
// as the reads tell: the first byte of a read came the time since the read
// before; the n bytes of one read all came since the read before, so the
// closest two of them at most that time over n - 1 apart. Bytes read
// together may have been paced, the reading late: such a bound that is not
// short says nothing of the sender.
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
    bool readTogether = false;          // two of its bytes came in one read
  };

  // The frames that the bytes of one read, taken at `when`, complete.
  std::vector<Frame> Take(std::string_view read, Clock::time_point when);

 private:
  std::string frame_;
  std::chrono::microseconds closest_ = std::chrono::microseconds::max();
  bool together_ = false;
  Clock::time_point last_{};
};

}  // namespace zrt::sim
