#include "serve/scpi_speech.h"

namespace zrt::serve {

namespace {

// A reply as SCPI reads it: its characters a byte each, line ends off.
std::string ReplyText(const QByteArray& bytes) {
  std::string text = bytes.toStdString();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

ScpiSpeech::ScpiSpeech(SpeechContext context, const ScpiSetup& setup)
    : Speech(std::move(context)), setup_(setup), scpi_(setup.face) {}

void ScpiSpeech::TakeTooLong(std::size_t) {
  // Told in the error queue, in turn: a line of text now would be read as
  // the answer to a query of the client's own.
  Take(QByteArray());
}

int ScpiSpeech::Clear() {
  const int dropped = DropWaiting();
  work_.clear();
  said_.clear();
  if (current_) current_->cleared = true;
  return dropped;
}

int ScpiSpeech::StatusByte(bool responseWaiting) const {
  return scpi_.Errors().StatusByte() | (responseWaiting ? 0x10 : 0);
}

void ScpiSpeech::Next() {
  using Kind = scpi::Work::Kind;
  // What is answered here goes on while the session still ends the reply
  // before; what goes to the instrument waits for the session.
  while (!closed_ && !current_) {
    if (!work_.empty()) {
      const scpi::Work& next = work_.front().work;
      const bool toInstrument =
          next.kind == Kind::Send || next.kind == Kind::Ask || next.kind == Kind::Reset;
      // FUNC? answers from the known settings, which learn a reply at its end.
      const bool readsKnown = next.kind == Kind::Local && next.command == scpi::Command::Shape;
      if ((toInstrument && inSession_) || (readsKnown && replyOwed_)) return;
    }
    if (work_.empty()) {
      if (waiting_.empty() || inSession_) return;
      const QByteArray message = TakeWaiting();
      std::vector<scpi::Work> work =
          message.isNull()
              ? std::vector<scpi::Work>{{.kind = Kind::Refuse,
                                         .error = {-223,
                                                   "Too much data; the message is "
                                                   "longer than a line may be"}}}
              : scpi_.Take(Decoded(message).toStdString(),
                           context_.settings().address.toStdString(), context_.session.Limits());
      for (std::size_t i = 0; i < work.size(); ++i) {
        work_.push_back({std::move(work[i]), i + 1 == work.size()});
      }
      continue;
    }
    Piece piece = std::move(work_.front());
    work_.pop_front();
    if (!piece.work.unit.empty()) {
      Emit({ServerEvent::Kind::ScpiCommand, {}, QString::fromStdString(piece.work.unit)});
    }
    if (piece.work.kind == Kind::Reset) {
      // The reset preset's lines, sent as sets, ahead of what follows.
      const auto& lines = setup_.resetLines;
      for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        scpi::Work send{.kind = Kind::Send, .line = line->toStdString()};
        const bool last = line == lines.rbegin() && piece.endsMessage;
        work_.push_front({std::move(send), last, true});
      }
      if (lines.empty() && piece.endsMessage) {
        Output(QByteArray::fromStdString(scpi::Client::Response(said_)));
        said_.clear();
      }
      continue;
    }
    if (piece.work.kind == Kind::Send || piece.work.kind == Kind::Ask) {
      current_ = std::move(piece);
      reply_.clear();
      if (const auto failed = Submit(QString::fromStdString(current_->work.line))) {
        Error({-240, "Hardware error; " + *failed});
        Finish(std::nullopt, true);
      }
      continue;
    }
    const std::size_t before = scpi_.Errors().Count();
    scpi::Client::Add(said_, piece.work,
                      scpi_.Local(piece.work, context_.session.Known(), context_.session.Limits()));
    PieceDone(before, piece.endsMessage);
  }
}

void ScpiSpeech::DropRestOfReset() {
  if (!current_ || !current_->reset) return;
  // A preset refused part way is not run on: nothing after the refused line.
  while (!work_.empty() && work_.front().reset) {
    current_->endsMessage = current_->endsMessage || work_.front().endsMessage;
    work_.pop_front();
  }
}

void ScpiSpeech::PieceDone(std::size_t errorsBefore, bool endsMessage) {
  if (scpi_.Errors().Count() > errorsBefore) {
    Emit({ServerEvent::Kind::ScpiError,
          {},
          QString::fromStdString(scpi::ErrorQueue::Said(*scpi_.Errors().Newest()))});
  }
  if (endsMessage) {
    Output(QByteArray::fromStdString(scpi::Client::Response(said_)));
    said_.clear();
  }
}

void ScpiSpeech::ReplyOver(std::optional<std::string> reply, bool failed) {
  Finish(std::move(reply), failed);
  Next();
}

void ScpiSpeech::Finish(std::optional<std::string> reply, bool failed) {
  if (!current_) return;
  const Piece piece = std::move(*current_);
  current_.reset();
  const std::size_t before = scpi_.Errors().Count();
  if (piece.work.kind == scpi::Work::Kind::Ask) {
    const std::string answer = failed ? "9.91E+37" : scpi_.Asked(piece.work, reply);
    if (!piece.cleared) scpi::Client::Add(said_, piece.work, answer);
  } else if (!failed) {
    scpi_.Sent(reply);
  }
  PieceDone(before, piece.endsMessage && !piece.cleared);
}

void ScpiSpeech::Error(const scpi::Error& error) {
  scpi_.NotSent(error);
  Emit({ServerEvent::Kind::ScpiError, {}, QString::fromStdString(scpi::ErrorQueue::Said(error))});
}

void ScpiSpeech::Received(const QByteArray& block) {
  if (!current_) return;
  reply_ += block;
  // The instrument answers in a line: once it is whole the work goes on,
  // without waiting for the reply's quiet end; the next line still waits
  // for the session.
  if (reply_.endsWith('\n')) {
    replyOwed_ = true;
    ReplyOver(ReplyText(reply_));
  }
}

void ScpiSpeech::ReplyEnded(bool replied) {
  if (std::exchange(replyOwed_, false)) return Next();
  ReplyOver(replied ? std::optional(ReplyText(reply_)) : std::nullopt);
}

void ScpiSpeech::NotSent(const session::Frame& frame) {
  Emit({ServerEvent::Kind::NotSent, {}, frame.text});
  Error({-241, "Hardware missing; the port is not open"});
  ReplyOver(std::nullopt, true);
}

void ScpiSpeech::NotStarted(const session::Frame& frame, const session::Refusal& why) {
  if (why.breach) Emit({ServerEvent::Kind::BeyondLimit, {}, frame.text, 0, why.breach});
  DropRestOfReset();
  Error(why.breach ? scpi::Error{-222, "Data out of range; " + guard::Describe(*why.breach)}
                   : scpi::Error{-240, "Hardware error; the port refused the rate"});
  ReplyOver(std::nullopt, true);
}

void ScpiSpeech::LinkLost() {
  const int dropped = DropWaiting();
  inSession_ = false;
  Emit({ServerEvent::Kind::LinkLost, {}, {}, dropped});
  work_.clear();
  current_.reset();
  replyOwed_ = false;
  Error({-241, "Hardware missing; the link to the instrument was lost"});
  Output(QByteArray::fromStdString(scpi::Client::Response(said_)));
  said_.clear();
}

void ScpiSpeech::HeldTooLong(const session::Frame& frame) {
  inSession_ = false;
  Emit({ServerEvent::Kind::HeldTooLong, {}, frame.text});
  Error({-240, "Hardware error; the instrument held output back too long"});
  ReplyOver(std::nullopt, true);
}

}  // namespace zrt::serve
