// The notifications a port posts, kept for a test that waits for the one
// it expects.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/port/comm_port.h"

namespace zrt::link {

class Notifications {
 public:
  using Queue = NotificationQueue<std::string>;
  using Item = Queue::Item;

  NotificationSink& Sink() { return queue_; }

  // The first notification of `kind` not taken yet, waiting up to `timeout`
  // for it; those of other kinds are kept in `seen` meanwhile.
  std::optional<Item> Next(Notify kind,
                           std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    if (auto kept = std::find_if(seen.begin(), seen.end(),
                                 [&](const Item& item) { return item.notification.kind == kind; });
        kept != seen.end()) {
      Item item = std::move(*kept);
      seen.erase(kept);
      return item;
    }
    for (;;) {
      while (std::optional<Item> item = queue_.Take()) {
        if (item->notification.kind == kind) return item;
        seen.push_back(std::move(*item));
      }
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, until, [&] { return std::exchange(woken_, false); })) {
        return std::nullopt;
      }
    }
  }

  std::vector<Item> seen;

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  bool woken_ = false;
  Queue queue_{[this] {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    posted_.notify_all();
    return true;
  }};
};

}  // namespace zrt::link
