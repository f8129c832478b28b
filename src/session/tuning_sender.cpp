#include "session/tuning_sender.h"

#include <algorithm>

namespace zrt::session {

TuningSender::TuningSender(LineSession& session, int source, std::function<LineSettings()> settings,
                           QObject* parent)
    : QObject(parent), session_(session), source_(source), settings_(std::move(settings)) {
  connect(&session_, &LineSession::Received, this, [this](int source, const QByteArray& block) {
    if (source == source_ && out_) reply_ += block;
  });
  connect(&session_, &LineSession::ReplyEnded, this, [this](int source, bool) {
    if (source != source_ || !out_) return;
    const QString line = *out_;
    const QByteArray reply = std::exchange(reply_, {});
    out_.reset();
    emit Answered(line, reply);
    SendNext();
  });
  connect(&session_, &LineSession::NotStarted, this,
          [this](const Frame& frame, const Refusal& why) {
            if (frame.source != source_ || !out_) return;
            out_.reset();
            emit NotSent(frame.text, {WhyNotSent::Kind::NotStarted, why});
            SendNext();
          });
  connect(&session_, &LineSession::Abandoned, this, [this](int source, bool) {
    if (source != source_ || !out_) return;
    const QString line = *out_;
    out_.reset();
    waiting_.clear();  // their link is gone
    emit NotSent(line, {WhyNotSent::Kind::LinkLost});
  });
}

void TuningSender::Set(const QString& item, const QString& line) {
  const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                 [&item](const auto& waiting) { return waiting.first == item; });
  if (same != waiting_.end()) {
    same->second = line;
  } else {
    waiting_.emplace_back(item, line);
  }
  SendNext();
}

void TuningSender::DropWaiting(const QString& item) {
  std::erase_if(waiting_, [&item](const auto& waiting) { return waiting.first == item; });
}

void TuningSender::SendNext() {
  while (!out_ && !waiting_.empty()) {
    const QString line = waiting_.front().second;
    waiting_.erase(waiting_.begin());
    try {
      Frame frame = session_.Prepare(source_, line, settings_());
      out_ = line;
      reply_.clear();
      session_.Submit(std::move(frame));
    } catch (const std::exception& error) {  // an address or a rate that is no number
      emit NotSent(line, {WhyNotSent::Kind::BadSettings, {}, QString::fromStdString(error.what())});
    }
  }
}

}  // namespace zrt::session
