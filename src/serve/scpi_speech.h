// The SCPI speech: each message is worked through in order (scpi::Client),
// its sets and queries going to the session as the lines the key panels
// compose, one at a time, and its responses go back together at the
// message's end, as 488.2 has it: joined by ';', ended by a line feed.
// What cannot go is an error in the client's queue, in its turn.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scpi/client.h"
#include "serve/speech.h"

namespace zrt::serve {

// What every SCPI client of one instrument shares: the face it shows, and
// the lines *RST sends.
struct ScpiSetup {
  scpi::Face face;
  std::vector<QString> resetLines = {};
};

class ScpiSpeech final : public Speech {
 public:
  // `setup` is kept by the caller.
  ScpiSpeech(SpeechContext context, const ScpiSetup& setup);

  void TakeTooLong(std::size_t longest) override;
  void Next() override;
  bool Busy() const override {
    return inSession_ || !waiting_.empty() || !work_.empty() || current_;
  }
  int Clear() override;
  // Every message taken is worked through: the last reply to it whole
  // (the session may still be ending it).
  bool Settled() const { return waiting_.empty() && work_.empty() && !current_; }
  // *STB?'s byte, the message available bit (0x10) set when a response waits
  // with whoever carries it.
  int StatusByte(bool responseWaiting) const;

  void Received(const QByteArray& block) override;
  void ReplyEnded(bool replied) override;
  void NotSent(const session::Frame& frame) override;
  void NotStarted(const session::Frame& frame, const session::Refusal& why) override;
  void LinkLost() override;
  void HeldTooLong(const session::Frame& frame) override;

 private:
  struct Piece {
    scpi::Work work;
    bool endsMessage;
    bool reset = false;    // a line of the reset preset's
    bool cleared = false;  // a device clear came while it was on the wire
  };
  // The current piece's reply has ended (nothing: none came), or it did
  // not go out (`failed`, its error queued already); the work goes on.
  void ReplyOver(std::optional<std::string> reply, bool failed = false);
  // The same, without going on: the current piece's answer or error taken.
  void Finish(std::optional<std::string> reply, bool failed);
  void Error(const scpi::Error& error);
  // A piece is done: an error it queued is logged, and at its message's end
  // the answers go back.
  void PieceDone(std::size_t errorsBefore, bool endsMessage);
  // The reset preset's piece was refused: the rest of the preset is dropped.
  void DropRestOfReset();

  const ScpiSetup& setup_;
  scpi::Client scpi_;
  std::deque<Piece> work_;
  std::optional<Piece> current_;
  QByteArray reply_;
  // The current piece was finished on its reply's line: the session's end
  // of that reply, which comes after, is not the next piece's.
  bool replyOwed_ = false;
  std::vector<std::string> said_;  // the answers of the message under way
};

}  // namespace zrt::serve
