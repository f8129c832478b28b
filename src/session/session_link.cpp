#include "session/session_link.h"

#include "protocol/send_steps.h"

namespace zrt::session {

SessionLink::SessionLink(LineSession& session, int source, std::function<LineSettings()> settings,
                         QObject* parent)
    : sequence::LineLink(parent),
      session_(session),
      source_(source),
      settings_(std::move(settings)) {
  connect(&session_, &LineSession::FrameDone, this,
          [this](const Frame& frame, bool sent, qsizetype) {
            if (frame.source != source_) return;
            frame_ = frame.Bytes();
            emit FrameSent(sent);
          });
  connect(&session_, &LineSession::Received, this, [this](int source, const QByteArray& block) {
    if (source == source_) emit Received(block);
  });
  connect(&session_, &LineSession::NotStarted, this,
          [this](const Frame& frame, const Refusal& why) {
            if (frame.source != source_) return;
            if (why.breach) return emit BeyondLimit(*why.breach);
            emit FrameSent(false);
          });
  connect(&session_, &LineSession::SourceReady, this, [this](int source) {
    if (source == source_) emit BecameReady();
  });
}

void SessionLink::Send(const QString& line) {
  try {
    session_.Submit(session_.Prepare(source_, line, settings_()));
  } catch (const protocol::EConvertError&) {
    emit FrameSent(false);
  } catch (const BadRate&) {
    emit FrameSent(false);
  }
}

}  // namespace zrt::session
