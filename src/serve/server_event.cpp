#include "serve/server_event.h"

#include "protocol/send_steps.h"
#include "sequence/runner.h"

namespace zrt::serve {

QString Describe(const ServerEvent& event) {
  using Kind = ServerEvent::Kind;
  const QString dropped =
      event.count ? QString("; %1 waiting lines dropped").arg(event.count) : QString();
  switch (event.kind) {
    case Kind::Listening:
      return QString(event.count ? "listening on %1, which other machines can reach"
                                 : "listening on %1")
          .arg(event.text);
    case Kind::Connected:
      return "connected";
    case Kind::Disconnected:
      return "disconnected" + dropped;
    case Kind::NotReading:
      return "closed: it does not read what the instrument answers" + dropped;
    case Kind::TooMany:
      return QString("turned away: at most %1 clients").arg(event.count);
    case Kind::Replaced:
      return "closed for a new client: it had sent nothing for too long";
    case Kind::TooLong:
      return QString("a line longer than %1 bytes refused").arg(event.count);
    case Kind::NoByte:
      return QString("%1: not sent, the character at %2 has no byte the instrument takes")
          .arg(event.text, QString::number(event.count));
    case Kind::ControlByte:  // shown so that none acts on the terminal the log is read on
      return QString("%1: not sent, a control byte at %2")
          .arg(sequence::Escaped(protocol::ToLine(event.text), sequence::EscapeStyle::ControlsOnly),
               QString::number(event.count));
    case Kind::NotSent:
      return QString("%1: not sent, the port is not open").arg(event.text);
    case Kind::BadSettings:
      return QString("%1: not sent, the address or the rate is no number").arg(event.text);
    case Kind::LinkLost:
      return "the link was lost under its line" + dropped;
    case Kind::HeldTooLong:
      return QString("%1: given up, the instrument held output back too long").arg(event.text);
    case Kind::Stopped:
      return event.text.isEmpty() ? QString("stopped listening")
                                  : "stopped listening for " + event.text;
    case Kind::BeyondLimit:
      return QString("%1: not sent, %2")
          .arg(event.text, QString::fromStdString(guard::Describe(*event.breach)));
    case Kind::AcceptFailed:
      return QString("cannot take connections: %1; trying again each second").arg(event.text);
    case Kind::ScpiCommand:
      return "SCPI " + event.text;
    case Kind::ScpiError:
      return "SCPI error " + event.text;
    case Kind::LinkOpened:
      return "link to " + event.text + " created";
    case Kind::LinkClosed:
      return event.text + dropped;
    case Kind::TooManyLinks:
      return QString("no link created: at most %1 links, none idle long enough to be taken back")
          .arg(event.count);
    case Kind::NoDevice:
      return QString("no link created: no device \"%1\"").arg(event.text);
    case Kind::Cleared:
      return "device clear" + dropped;
  }
  return {};
}

}  // namespace zrt::serve
