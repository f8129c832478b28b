#include "link/port/write_queue.h"

namespace zrt::link {

bool WriteQueue::Push(ByteBlock block) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    blocks_.push_back(std::move(block));
  }
  changed_.notify_one();
  return true;
}

std::optional<ByteBlock> WriteQueue::TryPop() {
  std::lock_guard lock(mutex_);
  if (blocks_.empty()) return std::nullopt;
  ByteBlock block = std::move(blocks_.front());
  blocks_.pop_front();
  return block;
}

bool WriteQueue::Empty() {
  std::lock_guard lock(mutex_);
  return blocks_.empty();
}

bool WriteQueue::WaitForBlock() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopRequested_ || !blocks_.empty(); });
  return !stopRequested_;
}

void WriteQueue::RequestStop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  changed_.notify_all();
}

void WriteQueue::Close() {
  std::deque<ByteBlock> dropped;
  std::lock_guard lock(mutex_);
  closed_ = true;
  dropped.swap(blocks_);
}

}  // namespace zrt::link
