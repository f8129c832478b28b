// The simulated instrument: its answers, and its pseudo-terminal with the
// pacing check.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "sim/instrument_model.h"
#include "sim/pty_instrument.h"

namespace zrt::sim {
namespace {

TEST(InstrumentModel, AnswersInTurn) {
  InstrumentModel model;  // address 88: the byte "X"
  const std::pair<const char*, const char*> exchange[] = {
      {"XCHA:AFREQ?", "0\n"},
      {"XCHA:AFREQ:1000HZ", "OK\n"},
      {"XCHA:AFREQ?", "1000HZ\n"},
      {"88CHA:AFREQ?", "1000HZ\n"},  // the address written out, as on USB
      {"CHA:AFREQ?", "1000HZ\n"},    // no address
      {"XCHA:AFREQ:-2.5", "OK\n"},
      {"XCHA:AFREQ?", "-2.5\n"},
      {"XASWP:TRIGG", "OK\n"},
      {"XASWP?", "0\n"},
      {"XCHA:AFREQ1000Hz", "OK\n"},  // the keys put no separator before the value
      {"XCHA:AFREQ?", "1000Hz\n"},
      {"XCHB:VPP 2.5V", "OK\n"},  // after a blank, and per channel
      {"XCHBVPP?", "2.5V\n"},
      {"Xcha:afreq?", "1000Hz\n"},
      {"", "OK\n"},
  };
  for (const auto& [frame, answer] : exchange) EXPECT_EQ(model.Answer(frame), answer) << frame;

  InstrumentModel other(300);  // address byte 0x2C, ","
  EXPECT_EQ(other.LineOf(",SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("300SYS?"), "SYS?");
  EXPECT_EQ(other.LineOf("3000?"), "3000?") << "digits that follow are no address";
}

// Reads what the instrument answers, within a few seconds.
std::string ReadAnswer(int fd, std::size_t size) {
  std::string answer;
  char buffer[64];
  pollfd p{fd, POLLIN, 0};
  while (answer.size() < size && poll(&p, 1, 5000) == 1) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  return answer;
}

TEST(PtyInstrument, AnswersFramesAndReportsHurriedOnes) {
  std::mutex mutex;
  std::vector<std::string> log;
  PtyInstrument instrument({88, std::chrono::microseconds(9000), [&](const std::string& line) {
                              std::lock_guard lock(mutex);
                              log.push_back(line);
                            }});
  for (int opening = 0; opening < 2; ++opening) {  // the panel may close and open again
    const int port = open(instrument.TerminalPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(port, 0);
    // Paced well apart, so that no delay of a busy machine brings two bytes
    // within the 9 ms the check allows.
    for (char c : std::string("XCHA:VPP:5V\n")) {
      ASSERT_EQ(write(port, &c, 1), 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    EXPECT_EQ(ReadAnswer(port, 3), "OK\n");
    // All at once: answered, and reported.
    const std::string hurried = "XCHA:VPP?\n";
    ASSERT_EQ(write(port, hurried.data(), hurried.size()), static_cast<ssize_t>(hurried.size()));
    EXPECT_EQ(ReadAnswer(port, 3), "5V\n");
    close(port);
  }
  std::lock_guard lock(mutex);
  const auto reports = std::count_if(
      log.begin(), log.end(), [](const std::string& line) { return line.starts_with("pacing:"); });
  EXPECT_EQ(reports, 2);
  EXPECT_NE(std::find(log.begin(), log.end(), "<- XCHA:VPP:5V"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "-> OK\\x0A"), log.end());
}

}  // namespace
}  // namespace zrt::sim
