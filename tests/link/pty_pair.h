// A pseudo-terminal pair: the component opens the terminal side by its path,
// the test plays the instrument on the other side.
#pragma once

#include <QByteArray>
#include <string>

namespace zrt::link::testing {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& TerminalPath() const { return path_; }
  int InstrumentFd() const { return master_; }

  // Writes all the bytes from the instrument's side.
  void Send(const QByteArray& bytes) const;
  // Reads from the instrument's side until `count` bytes are in or
  // `timeoutMs` passes without any byte arriving.
  QByteArray Receive(std::size_t count, int timeoutMs = 10000) const;
  // Whether the instrument's side has anything to read within `timeoutMs`.
  bool Readable(int timeoutMs) const;
  // Whether every opening of the terminal side is closed within `timeoutMs`.
  bool TerminalClosed(int timeoutMs) const;
  // Sends XOFF and waits until the terminal side has stopped its output.
  bool SendXoffAndWait(int timeoutMs = 10000) const;
  // Closes the instrument's side: the terminal side sees a hang-up.
  void CloseInstrument();

 private:
  int master_ = -1;
  std::string path_;
};

// The line settings of a terminal read back with TCGETS2 (through the
// instrument's side of a pair, which reports the terminal side's settings).
struct LineReadback {
  unsigned iflag, oflag, cflag, lflag;
  unsigned ispeed, ospeed;
  unsigned char vstart, vstop;
  bool otherBaud;  // the rate is given in ospeed/ispeed (BOTHER)
};
LineReadback ReadLineSettings(int fd);

}  // namespace zrt::link::testing
