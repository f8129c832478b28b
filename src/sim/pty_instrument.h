// The simulated instrument on a pseudo-terminal: the panel opens the
// terminal side by its path, and a thread of ours answers each frame that
// arrives on the other side. The terminal side stays open here too, so the
// panel may close and open it again as often as it likes.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sim/frame_reader.h"
#include "sim/instrument_model.h"

namespace zrt::sim {

class PtyInstrument {
 public:
  struct Options {
    int address = 88;
    // Bytes of a frame closer together than this are reported (the panel
    // sends one byte every 10 ms; a millisecond is left for timer jitter).
    std::chrono::microseconds minimumGap{0};
    // Told of every frame and answer, and of frames sent too fast; from the
    // instrument's thread.
    std::function<void(const std::string&)> log = {};
    // Lines whose items keep their values whatever is set, items that
    // answer no question, items that refuse every setting and items that
    // take one without a word (InstrumentModel::Keep, Silence, Refuse, Mute).
    std::vector<std::string> keep = {};
    std::vector<std::string> silent = {};
    std::vector<std::string> refuse = {};
    std::vector<std::string> mute = {};
  };

  // Throws std::runtime_error when no pseudo-terminal can be had.
  explicit PtyInstrument(Options options);
  ~PtyInstrument();
  PtyInstrument(const PtyInstrument&) = delete;
  PtyInstrument& operator=(const PtyInstrument&) = delete;

  const std::string& TerminalPath() const { return path_; }

 private:
  void Run(std::stop_token stop);
  void Say(const std::string& text) const;

  Options options_;
  InstrumentModel model_;
  int master_ = -1;
  int terminal_ = -1;
  int wake_ = -1;  // eventfd: set to stop the thread
  std::string path_;
  std::jthread thread_;  // last: it ends before the rest goes
};

// A frame's bytes as text for a log: printable ASCII as it is, the rest as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace zrt::sim
