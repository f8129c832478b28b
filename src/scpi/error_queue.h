// A client's SCPI error queue and the IEEE 488.2 status it shows through:
// at most 20 errors, the newest replaced by -350 "Queue overflow" when one
// more comes; "0,\"No error\"" when empty. The standard event status
// register gathers each error's class until *ESR? reads it, and the status
// byte says whether errors wait (bit 2) and whether an enabled event is
// set (bit 5).
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "scpi/message.h"

namespace zrt::scpi {

class ErrorQueue {
 public:
  static constexpr std::size_t kDepth = 20;

  void Push(const Error& error);
  // The oldest error, taken; 0 "No error" when none waits.
  Error Next();
  std::size_t Count() const { return errors_.size(); }
  // The error queued last, or nullptr.
  const Error* Newest() const { return errors_.empty() ? nullptr : &errors_.back(); }
  // *CLS: the queue and the event status register emptied.
  void Clear();

  // *OPC: the operation complete bit, set once what came before is through.
  void OperationComplete() { events_ |= kOperationComplete; }
  // *ESR?: the register, read and cleared.
  int TakeEventStatus();
  // *ESE and *ESE?: which events the status byte's bit 5 sums.
  void SetEventStatusEnable(int mask) { enable_ = mask & 0xFF; }
  int EventStatusEnable() const { return enable_; }
  // *STB?
  int StatusByte() const;

  // As SYSTem:ERRor? answers it: -113,"Undefined header"
  static std::string Said(const Error& error);

 private:
  static constexpr int kOperationComplete = 1 << 0;
  static constexpr int kQueryError = 1 << 2;
  static constexpr int kDeviceError = 1 << 3;
  static constexpr int kExecutionError = 1 << 4;
  static constexpr int kCommandError = 1 << 5;

  std::deque<Error> errors_;
  int events_ = 0;
  int enable_ = 0;
};

}  // namespace zrt::scpi
