#include "scpi/error_queue.h"

namespace zrt::scpi {

void ErrorQueue::Push(const Error& error) {
  // Each error's class sets its bit of the event status register.
  if (error.code <= -100 && error.code > -200) {
    events_ |= kCommandError;
  } else if (error.code <= -200 && error.code > -300) {
    events_ |= kExecutionError;
  } else if (error.code <= -300 && error.code > -400) {
    events_ |= kDeviceError;
  } else if (error.code <= -400 && error.code > -500) {
    events_ |= kQueryError;
  }
  if (errors_.size() < kDepth) {
    errors_.push_back(error);
  } else {
    errors_.back() = {-350, "Queue overflow"};
    events_ |= kDeviceError;
  }
}

Error ErrorQueue::Next() {
  if (errors_.empty()) return {0, "No error"};
  Error oldest = std::move(errors_.front());
  errors_.pop_front();
  return oldest;
}

void ErrorQueue::Clear() {
  errors_.clear();
  events_ = 0;
}

int ErrorQueue::TakeEventStatus() {
  const int events = events_;
  events_ = 0;
  return events;
}

int ErrorQueue::StatusByte() const {
  int status = 0;
  if (!errors_.empty()) status |= 1 << 2;
  if (events_ & enable_) status |= 1 << 5;
  return status;
}

std::string ErrorQueue::Said(const Error& error) {
  std::string quoted;
  for (char c : error.text) {
    quoted += c;
    if (c == '"') quoted += '"';  // a quote inside a string is doubled
  }
  return std::to_string(error.code) + ",\"" + quoted + "\"";
}

}  // namespace zrt::scpi
