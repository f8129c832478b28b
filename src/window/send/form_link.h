// The window's Send as a sequence's link: a sequence's line goes out as
// the operator's would. What the window hears of it (the frame through,
// Send ready again, a line refused, a reply, the port lost) reaches the
// runner through LineLink's signals, which the window connects.
#pragma once

#include <functional>

#include "sequence/runner.h"

namespace zrt::window {

class FormLink : public sequence::LineLink {
  Q_OBJECT

 public:
  // `ready`: whether Send takes a line now. `send`: sends one, or says
  // false when it could not begin (the operator was told, as Send tells it).
  FormLink(std::function<bool()> ready, std::function<bool(const QString&)> send)
      : ready_(std::move(ready)), send_(std::move(send)) {}
  bool Ready() const override { return ready_(); }
  void Send(const QString& line) override {
    if (!send_(line)) emit FrameSent(false);
  }

 private:
  std::function<bool()> ready_;
  std::function<bool(const QString&)> send_;
};

}  // namespace zrt::window
