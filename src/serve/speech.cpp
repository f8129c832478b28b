#include "serve/speech.h"

#include <QStringDecoder>

namespace zrt::serve {

std::optional<std::string> Speech::Submit(const QString& text) {
  try {
    session::Frame frame = context_.session.Prepare(context_.source, text, context_.settings());
    inSession_ = true;
    context_.session.Submit(std::move(frame));
    return std::nullopt;
  } catch (const std::exception& error) {  // an address or a rate that is no number
    return std::string(error.what());
  }
}

QString Decoded(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(bytes);
  return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

void RouteSession(QObject* receiver, session::LineSession& session,
                  std::function<Speech*(int source)> find, std::function<void(Speech&)> after) {
  using session::LineSession;
  // Each handler finds the speech afresh: one may go while another is told.
  auto route = [find, after](int source, auto tell) {
    if (Speech* speech = find(source)) {
      tell(*speech);
      if (Speech* still = find(source)) after(*still);
    }
  };
  QObject::connect(&session, &LineSession::Received, receiver,
                   [route](int source, const QByteArray& block) {
                     route(source, [&](Speech& s) { s.Received(block); });
                   });
  QObject::connect(&session, &LineSession::ReplyEnded, receiver, [route](int source, bool replied) {
    route(source, [&](Speech& s) { s.ReplyEnded(replied); });
  });
  QObject::connect(&session, &LineSession::FrameDone, receiver,
                   [route](const session::Frame& frame, bool sent, qsizetype) {
                     if (!sent) route(frame.source, [&](Speech& s) { s.NotSent(frame); });
                   });
  QObject::connect(&session, &LineSession::NotStarted, receiver,
                   [route](const session::Frame& frame, const session::Refusal& why) {
                     route(frame.source, [&](Speech& s) { s.NotStarted(frame, why); });
                   });
  QObject::connect(&session, &LineSession::Abandoned, receiver,
                   [route](int source, bool) { route(source, [](Speech& s) { s.LinkLost(); }); });
  QObject::connect(&session, &LineSession::HeldTooLong, receiver,
                   [route](const session::Frame& frame) {
                     route(frame.source, [&](Speech& s) { s.HeldTooLong(frame); });
                   });
  QObject::connect(&session, &LineSession::SourceReady, receiver,
                   [route](int source) { route(source, [](Speech& s) { s.SourceReady(); }); });
}

}  // namespace zrt::serve
