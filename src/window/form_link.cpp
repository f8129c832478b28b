#include "window/form_link.h"

#include "window/main_window.h"

namespace zrt::window {

FormLink::FormLink(TForm1& form) : form_(form) {
  connect(&form_, &TForm1::FrameDone, this, &FormLink::FrameSent);
  connect(&form_, &TForm1::SendReady, this, &FormLink::BecameReady);
  connect(&form_, &TForm1::LineRefused, this,
          [this](const std::optional<guard::LimitBreach>& breach) {
            if (breach) return emit BeyondLimit(*breach);
            emit FrameSent(false);
          });
  connect(&form_, &TForm1::BlockReceived, this, &FormLink::Received);
  connect(&form_, &TForm1::SerialLinkLost, this, &FormLink::Lost);
}

bool FormLink::Ready() const { return form_.ReadyToSend(); }

void FormLink::Send(const QString& line) {
  // A line that could not begin has been told to the operator as Send tells it.
  if (!form_.SendFromSequence(line)) emit FrameSent(false);
}

}  // namespace zrt::window
