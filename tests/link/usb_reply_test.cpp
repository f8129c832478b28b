// How a reply is gathered from the bulk endpoint, on scripted reads.
#include "link/usb_reply.h"

#include <gtest/gtest.h>

#include <deque>

namespace zrt::link::testing {
namespace {

using namespace std::chrono_literals;

TEST(UsbReply, ReadUntilQuiet) {
  const ChunkResult quiet{ChunkResult::Quiet, {}};
  const ChunkResult gone{ChunkResult::Gone, {}};
  auto data = [](const char* bytes) { return ChunkResult{ChunkResult::Data, bytes}; };
  struct Case {
    std::deque<ChunkResult> reads;
    qsizetype limit;
    QByteArray reply;
    std::size_t readsMade;
  };
  const Case cases[] = {
      {{data("AB"), data("C"), quiet, data("late")}, 100, "ABC", 3},
      {{quiet, data("late")}, 100, "", 1},
      {{data("AB"), gone}, 100, "AB", 2},
      {{data("ABC"), data("DEF"), quiet}, 4, "ABCD", 2},
  };
  for (const Case& c : cases) {
    std::deque<ChunkResult> reads = c.reads;
    std::vector<std::chrono::milliseconds> waits;
    const QByteArray reply = ReadUntilQuiet(
        [&](std::chrono::milliseconds wait) {
          waits.push_back(wait);
          ChunkResult next = reads.front();
          reads.pop_front();
          return next;
        },
        {3000ms, 100ms, c.limit});
    EXPECT_EQ(reply, c.reply);
    ASSERT_EQ(waits.size(), c.readsMade) << c.reply.toStdString();
    EXPECT_GT(waits[0], 2900ms) << "the first byte may take the whole read timeout";
    for (std::size_t i = 1; i < waits.size(); ++i) EXPECT_EQ(waits[i], 100ms);
  }
}

}  // namespace
}  // namespace zrt::link::testing
