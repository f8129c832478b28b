// What the port's threads tell the component, and the channel they tell it by.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "link/port/comm_events.h"

namespace zrt::link {

struct Notification {
  Notify kind;              // UM_RECEIVE_DATA ... UM_SEND_DATA_EMPTY
  std::uint32_t value = 0;  // UM_RECEIVE_ERROR: CE_* flags; UM_MODEM_STATE_CHANGE: modem bits
};

// Delivers notifications on the component's thread in the order they were
// posted, from any thread.
class NotificationSink {
 public:
  virtual ~NotificationSink() = default;
  // False when the owner could not be told; the poster then ends with a
  // hang-up request.
  virtual bool Post(Notification notification) = 0;
  // UM_RECEIVE_DATA with the bytes received, which the sink copies into a
  // container of its owner's (so that the bytes are copied once); as Post.
  virtual bool PostReceived(std::span<const std::uint8_t> bytes) = 0;
};

// Shared by the reader and the writer of one opening, so that a device that
// is gone is reported once, whichever thread notices first.
class HangupLatch {
 public:
  // True for the first caller only.
  bool Trip() { return !tripped_.test_and_set(std::memory_order_acq_rel); }

 private:
  std::atomic_flag tripped_;
};

}  // namespace zrt::link
