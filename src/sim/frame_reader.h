// Cuts the bytes the simulated instrument reads into frames at each line
// feed, and bounds, for each frame, how far apart its closest two bytes can
// have been sent, as far as the reads tell. The bytes of a run of reads were
// all sent after the read before the run and by the run's last read, so the
// run's gaps share that time between them. A late read only widens the
// bound: a sender that keeps a gap is never told it came closer, as long as
// a read is timed from before it starts to after it returns.
#pragma once

#include <chrono>
#include <deque>
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

  // The frames that the bytes of one read complete: the read started after
  // `started` and returned by `returned`.
  std::vector<Frame> Take(std::string_view read, Clock::time_point started,
                          Clock::time_point returned);
  std::vector<Frame> Take(std::string_view read, Clock::time_point when) {
    return Take(read, when, when);
  }

 private:
  // A read that carried bytes of the frame being read: when the read before
  // it started, and how many of the frame's bytes (line feed counted) came
  // before it.
  struct Run {
    Clock::time_point since;
    std::size_t bytesBefore;
  };
  static constexpr std::size_t kRunsKept = 64;  // older runs only bound less tightly

  void Bound(std::size_t bytes, Clock::time_point when);

  std::string frame_;
  std::deque<Run> runs_;
  std::chrono::microseconds closest_ = std::chrono::microseconds::max();
  bool together_ = false;
  Clock::time_point lastStarted_{};
};

}  // namespace zrt::sim
