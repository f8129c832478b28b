#include "sim/frame_reader.h"

#include <algorithm>

namespace zrt::sim {

// `bytes` of the frame have come, the last of them in the read at `when`:
// every run of reads that ends there bounds the closest gap by its time
// over its gaps.
void FrameReader::Bound(std::size_t bytes, Clock::time_point when) {
  using std::chrono::microseconds;
  for (const Run& run : runs_) {
    const std::size_t gaps = bytes - run.bytesBefore - 1;
    if (gaps == 0) continue;
    const auto span = std::chrono::duration_cast<microseconds>(when - run.since);
    closest_ = std::min(closest_, span / static_cast<long>(gaps));
  }
}

std::vector<FrameReader::Frame> FrameReader::Take(std::string_view read, Clock::time_point started,
                                                  Clock::time_point returned) {
  using std::chrono::microseconds;
  std::vector<Frame> frames;
  std::size_t fromThisRead = 0;  // of the frame being read
  auto startRun = [&] {
    if (runs_.size() == kRunsKept) runs_.pop_front();
    runs_.push_back({lastStarted_, frame_.size()});
  };
  for (char byte : read) {
    if (fromThisRead == 0) startRun();
    ++fromThisRead;
    together_ = together_ || fromThisRead > 1;
    if (byte != '\n') {
      frame_ += byte;
      continue;
    }
    Bound(frame_.size() + 1, returned);
    frames.push_back({std::move(frame_), closest_, together_});
    frame_.clear();
    runs_.clear();
    closest_ = microseconds::max();
    together_ = false;
    fromThisRead = 0;
  }
  if (fromThisRead > 0) Bound(frame_.size(), returned);
  lastStarted_ = started;
  return frames;
}

}  // namespace zrt::sim
