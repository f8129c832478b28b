// The writer's first-in, first-out queue of blocks. Closed once the writer
// has ended, so nothing is queued that nobody would write.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "link/port/comm_events.h"

namespace zrt::link {

class WriteQueue {
 public:
  // False when the queue is closed; the block is then dropped.
  bool Push(ByteBlock block);
  // The oldest block, if any, without waiting.
  std::optional<ByteBlock> TryPop();
  // Whether no block waits (at the moment of asking).
  bool Empty();
  // Waits until a block is queued (true) or a stop is requested (false).
  bool WaitForBlock();
  // Wakes the writer for good: every later wait returns false at once.
  void RequestStop();
  // Refuses further blocks and drops those still queued.
  void Close();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ByteBlock> blocks_;
  bool stopRequested_ = false;
  bool closed_ = false;
};

}  // namespace zrt::link
