// The window's Send as a sequence's link: a sequence's line goes out as
// the operator's would, and the window says when its frame is through.
#pragma once

#include "sequence/runner.h"

namespace zrt::window {

class TForm1;

class FormLink : public sequence::LineLink {
  Q_OBJECT

 public:
  explicit FormLink(TForm1& form);
  bool Ready() const override;
  void Send(const QString& line) override;

 private:
  TForm1& form_;
};

}  // namespace zrt::window
