#include "window/send/window_sender.h"

#include <QDateTime>
#include <QLineEdit>
#include <QScopeGuard>

#include "link/port/ecomms_error.h"
#include "protocol/send_steps.h"
#include "window/form/own_texts.h"
#include "window/send/announcer.h"
#include "window/send/reply_box.h"

namespace zrt::window {

namespace {

// Messages the instrument's operators know as they stand.
constexpr char16_t kOpenThePortFirst[] = u"请打开串口!";
constexpr char16_t kSendFailed[] = u"发送失败!";

}  // namespace

WindowSender::WindowSender(Parts parts, QObject* parent) : QObject(parent), parts_(parts) {
  auto* session = &parts_.session;
  connect(session, &session::LineSession::FrameOnWire, this, &WindowSender::Logged);
  // Other programs' lines share the session: their frames are only logged.
  connect(session, &session::LineSession::FrameDone, this,
          [this](const session::Frame& f, bool sent, qsizetype handedOver) {
            if (Ours(f.source) && f.link == session::Interface::Serial) {
              SerialDone(f, sent, handedOver);
            }
          });
  connect(session, &session::LineSession::UsbReplied, this,
          [this](const session::Frame& f, bool written, const QByteArray& reply) {
            if (Ours(f.source)) return UsbDone(f, written, reply);
            parts_.say.Note(LogEntry::Kind::Received, LinkName(f.link, f.source), reply);
          });
  connect(session, &session::LineSession::NotStarted, this, &WindowSender::NotStarted);
  connect(session, &session::LineSession::SourceReady, this, [this](int source) {
    if (Ours(source) && turn_ == Turn::InSession) BackToFree();
  });
  // A line of the window's that waited behind another program's when the
  // link went is dropped with it: Send is there again. (One going out is
  // the window's to finish: its hold after it still follows.)
  connect(session, &session::LineSession::Abandoned, this, [this](int source, bool current) {
    if (Ours(source) && !current && turn_ == Turn::InSession) BackToFree();
  });
}

void WindowSender::BackToFree() {
  turn_ = Turn::Free;
  emit ReadyChanged(true);
}

bool WindowSender::Send(const QString& text, const Settings& settings, Source source) {
  bool started = false;
  Announcer& say = parts_.say;
  say.Guarded([&] {
    const int link = settings.link;
    if (link != kUsb && link != kRs232) return;
    // A character the instrument has no byte for would go out as "?".
    if (const auto missing = protocol::FirstWithoutByte(text)) {
      const QString code = QString::number(missing->character, 16).toUpper().rightJustified(4, '0');
      return say.Refuse(link == kUsb ? "USB" : parts_.portName(), text,
                        {OperatorMessage::Kind::Notice,
                         say.Title(),
                         TextIn(OwnText::NoByte, say.CurrentLanguage())
                             .arg(QString::fromUcs4(&missing->character, 1), code,
                                  QString::number(missing->position)),
                         {}});
    }
    if (link == kUsb && text.isEmpty()) return;
    // An empty serial line still sets the rate.
    const session::Frame frame = Prepare(source, text, settings);
    if (text.isEmpty()) return;
    started = true;
    const bool byOperator = source == kOperator;
    if (link == kUsb || !byOperator || text.size() <= kLongLineChars) {
      if (byOperator) emit Remembered(text);
      return Submit(frame);
    }
    // Minutes of sending deserve a second thought.
    parts_.messages.Ask(LongLineQuestion(say.Title(), frame.Bytes().size(),
                                         protocol::kSerialByteIntervalMs, say.CurrentLanguage()),
                        [this, frame](bool yes) {
                          if (!yes) return;
                          emit Remembered(frame.text);
                          Submit(frame);
                        });
  });
  return started;
}

// Not a number is said in the instrument's own words; a rate that is none,
// or one the port refuses, in the operator's language.
session::Frame WindowSender::Prepare(Source source, const QString& text, const Settings& settings) {
  const auto link = settings.link == kUsb ? session::Interface::Usb : session::Interface::Serial;
  try {
    if (text.isEmpty()) parts_.session.SetRateWhenIdle({link, settings.rate, settings.address});
    return parts_.session.Prepare(source, text, {link, settings.rate, settings.address});
  } catch (const session::BadRate& bad) {
    const OwnText which = bad.refused ? OwnText::BaudRateRefused : OwnText::BaudRateInvalid;
    const std::string said =
        TextIn(which, parts_.say.CurrentLanguage()).arg(bad.rate).toStdString();
    if (bad.refused) throw link::ECommsError(said, bad.refused);
    throw protocol::EConvertError(said);
  }
}

// One frame at a time: Send comes back once the line is through and any
// hold after it has passed.
void WindowSender::Submit(const session::Frame& frame) {
  if (frame.link == session::Interface::Serial) parts_.replies.FrameStarted();
  turn_ = Turn::InSession;
  emit ReadyChanged(false);
  // The operator's line goes next, ahead of other programs' waiting lines.
  if (frame.source == kOperator) return parts_.session.SubmitFirst(frame);
  parts_.session.Submit(frame);
}

// A line the limits refuse, or whose rate the port refuses, when its turn
// comes: said as the Send that refused it would have said it.
void WindowSender::NotStarted(const session::Frame& frame, const session::Refusal& why) {
  if (!Ours(frame.source)) return;
  Announcer& say = parts_.say;
  const bool usb = frame.link == session::Interface::Usb;
  if (!usb) parts_.replies.FrameEnded({});
  const auto told = qScopeGuard([this, &why, &frame] {
    if (frame.source == kSequence) emit LineRefused(why.breach);
  });
  if (!why.breach) {
    const std::string said =
        TextIn(OwnText::BaudRateRefused, say.CurrentLanguage()).arg(frame.rate).toStdString();
    return say.Guarded([&] { throw link::ECommsError(said, why.rateRefused); });
  }
  QString text =
      QString::fromStdString(guard::Describe(*why.breach, static_cast<int>(say.CurrentLanguage())));
  text[0] = text[0].toUpper();
  say.Refuse(usb ? "USB" : parts_.portName(), frame.text,
             {OperatorMessage::Kind::Notice, say.Title(), text, {}});
}

// The frame stands in the log once its first byte is out, before what the
// instrument answers to it; a frame refused whole never does.
void WindowSender::Logged(const session::Frame& frame) {
  const bool serial = frame.link == session::Interface::Serial;
  parts_.say.Note(LogEntry::Kind::Sent, LinkName(frame.link, frame.source), frame.Bytes(), {},
                  serial && frame.addressed, serial && !frame.addressed);
}

QString WindowSender::LinkName(session::Interface link, int source) const {
  const QString name = link == session::Interface::Serial ? parts_.portName() : QString("USB");
  const QString origin = parts_.origin ? parts_.origin(source) : QString();
  return origin.isEmpty() ? name : name + " (" + origin + ")";
}

void WindowSender::UsbDone(const session::Frame& frame, bool written, const QByteArray& reply) {
  Announcer& say = parts_.say;
  say.Note(LogEntry::Kind::Received, "USB", reply);
  if (!reply.isEmpty()) emit UsbReply(reply);
  const auto done = qScopeGuard([this, written] { emit FrameDone(written); });
  auto showReply = [this, reply] {
    parts_.replies.Fetched(reply);
    // On USB the address is read once the line is through, as it always was.
    parts_.say.Guarded([this] { protocol::StrToInt(parts_.address.text()); });
  };
  if (written) {
    parts_.replies.Written(frame.line);
    return showReply();
  }
  turn_ = Turn::Telling;
  say.Refuse("USB", frame.text, SendFailure(QString::fromUtf16(kSendFailed)),
             [this, frame, showReply] {
               showReply();
               Answered(frame);
             });
}

void WindowSender::SerialDone(const session::Frame& frame, bool sent, qsizetype handedOver) {
  const auto done = qScopeGuard([this, sent] { emit FrameDone(sent); });
  Announcer& say = parts_.say;
  if (sent) {
    QString echo = protocol::SentEcho(frame.line);
    if (!frame.addressed) echo += "  " + TextIn(OwnText::SentAsTyped, say.CurrentLanguage());
    parts_.replies.FrameEnded(echo);
  } else {
    parts_.replies.FrameEnded({});
    OperatorMessage failure = SendFailure(QString::fromUtf16(kOpenThePortFirst));
    turn_ = Turn::Telling;
    auto answered = [this, frame] { Answered(frame); };
    if (handedOver == 0) {
      say.Refuse(parts_.portName(), frame.text, failure, answered);
    } else {
      // Part of it went out: the log and the message say how much.
      failure.detail = TextIn(OwnText::PortLostFrameCut, say.CurrentLanguage())
                           .arg(handedOver)
                           .arg(frame.Bytes().size());
      say.Tell(failure, answered);
    }
  }
  emit SerialThrough();
}

// The hold after a sweep trigger that did not go out follows the answer to
// what was said of it.
void WindowSender::Answered(const session::Frame& frame) {
  turn_ = Turn::InSession;
  parts_.session.HoldAfter(frame);
}

}  // namespace zrt::window
