// The simulated instrument on a pseudo-terminal, with the pacing check.
#include "sim/pty_instrument.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace zrt::sim {
namespace {

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
    // Paced just over the 9 ms the check allows: however late the readings
    // of a busy machine, the bytes never seem closer than they were sent.
    for (char c : std::string("XCHA:VPP:5Vpp\n")) {
      ASSERT_EQ(write(port, &c, 1), 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(11));
    }
    EXPECT_EQ(ReadAnswer(port, 3), "OK\n");
    // All at once: answered, and reported. Long enough that even a reading
    // late by a second tells its bytes came closer than 9 ms.
    const std::string hurried = "X" + std::string(120, ' ') + "CHA:VPP?\n";
    ASSERT_EQ(write(port, hurried.data(), hurried.size()), static_cast<ssize_t>(hurried.size()));
    EXPECT_EQ(ReadAnswer(port, 5), "5Vpp\n");
    close(port);
  }
  std::lock_guard lock(mutex);
  const auto reports = std::count_if(
      log.begin(), log.end(), [](const std::string& line) { return line.starts_with("pacing:"); });
  EXPECT_EQ(reports, 2);
  EXPECT_NE(std::find(log.begin(), log.end(), "<- XCHA:VPP:5Vpp"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "-> OK\\x0A"), log.end());
}

}  // namespace
}  // namespace zrt::sim
