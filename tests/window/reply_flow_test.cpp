// The reply box's text through sends and blocks, on a clock of the test's own.
#include "window/send/reply_flow.h"

#include <gtest/gtest.h>

namespace zrt::window::testing {
namespace {

using namespace std::chrono_literals;

TEST(ReplyFlow, BlocksContinueWithinASecondAndWaitForTheFrame) {
  const ReplyFlow::Clock::time_point t0{};
  enum Step { Block, Start, End };
  struct Event {
    Step step;
    std::chrono::milliseconds at;
    QByteArray bytes;  // a block, or the echo
    QString shown;     // empty: the box is left as it is
  };
  const Event events[] = {
      {Block, 0ms, "CHA:", "接收:CHA:"},
      {Block, 900ms, "1000HZ", "接收:CHA:1000HZ"},
      {Block, 1901ms, "OK", "接收:OK"},  // over a second of silence
      {Start, 2000ms, {}, {}},
      {Block, 2010ms, "late", {}},  // held while the frame goes out
      {Block, 2200ms, "r", {}},
      {End, 2300ms, "发送:X", "接收:later"},  // after the echo, a reply of its own
      {Block, 2400ms, "!", "接收:later!"},
      {Start, 2500ms, {}, {}},
      {End, 2600ms, "发送:Y", "发送:Y"},
      {Block, 2610ms, "Z", "接收:Z"},  // the send started a new reply
  };
  ReplyFlow flow;
  for (const Event& e : events) {
    SCOPED_TRACE(e.at.count());
    if (e.step == Start) {
      flow.FrameStarted();
    } else if (e.step == End) {
      EXPECT_EQ(flow.FrameEnded(QString::fromUtf8(e.bytes)), e.shown);
    } else if (const auto shown = flow.Received(e.bytes, t0 + e.at)) {
      EXPECT_EQ(*shown, e.shown);
    } else {
      EXPECT_TRUE(e.shown.isEmpty()) << "held";
    }
  }
  EXPECT_EQ(flow.Fetched("U"), "接收:U");
  EXPECT_EQ(*flow.Received("V", t0 + 2620ms), "接收:V") << "a fetched reply stands alone";
}

}  // namespace
}  // namespace zrt::window::testing
