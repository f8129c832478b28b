// A client's error queue as SCPI keeps it, and the values settings take
// with their suffixes.
#include <gtest/gtest.h>

#include "scpi/error_queue.h"
#include "scpi/values.h"

namespace zrt::scpi {
namespace {

TEST(ScpiErrorQueue, OverflowsOnceAndShowsInTheStatus) {
  ErrorQueue queue;
  EXPECT_EQ(ErrorQueue::Said(queue.Next()), "0,\"No error\"");
  EXPECT_EQ(queue.StatusByte(), 0);
  for (int i = 0; i < 25; ++i) queue.Push({-113, "Undefined header"});
  EXPECT_EQ(queue.Count(), ErrorQueue::kDepth);
  EXPECT_EQ(queue.StatusByte() & 4, 4) << "errors wait";
  for (std::size_t i = 1; i < ErrorQueue::kDepth; ++i) EXPECT_EQ(queue.Next().code, -113);
  EXPECT_EQ(ErrorQueue::Said(queue.Next()), "-350,\"Queue overflow\"");
  EXPECT_EQ(queue.Next().code, 0);

  queue.Push({-222, "Data out of range; \"A\" above 10 MHz"});
  EXPECT_EQ(ErrorQueue::Said(queue.Next()), "-222,\"Data out of range; \"\"A\"\" above 10 MHz\"");
  queue.SetEventStatusEnable(0x3C);
  EXPECT_EQ(queue.StatusByte() & 32, 32) << "an enabled event is set";
  EXPECT_EQ(queue.TakeEventStatus(), (1 << 5) | (1 << 4) | (1 << 3));
  EXPECT_EQ(queue.TakeEventStatus(), 0) << "read once";
  queue.OperationComplete();
  EXPECT_EQ(queue.TakeEventStatus(), 1);
  queue.Push({-241, "Hardware missing"});
  queue.Clear();
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(queue.TakeEventStatus(), 0);
}

TEST(ScpiValues, SuffixesOfTheQuantityOnly) {
  const auto vpp = AmplitudeUnit::Vpp;
  const auto vrms = AmplitudeUnit::Vrms;
  const struct {
    Quantity quantity;
    std::string_view parameter;
    AmplitudeUnit unit;
    std::variant<Value, Error> value;
  } cases[] = {
      {Quantity::Frequency, "2MHZ", vpp, Value{2e6, vpp}},
      {Quantity::Amplitude, "2", vrms, Value{2, vrms}},
      {Quantity::Amplitude, "500 mVpp", vrms, Value{0.5, vpp}},
      {Quantity::Amplitude, "1 VRMS", vpp, Value{1, vrms}},
      {Quantity::Voltage, "-250 mV", vpp, Value{-0.25, vpp}},
      {Quantity::Phase, "90 DEG", vpp, Value{90, vpp}},
      {Quantity::Percent, "25 PCT", vpp, Value{25, vpp}},
      {Quantity::Boolean, "ON", vpp, Value{1, vpp}},
      {Quantity::Frequency, "1 V", vpp, Error{-131, "Invalid suffix"}},
      {Quantity::Voltage, "1 VPP", vpp, Error{-131, "Invalid suffix"}},
      {Quantity::Frequency, "fast", vpp, Error{-104, "Data type error"}},
      {Quantity::Boolean, "MAYBE", vpp, Error{-104, "Data type error"}},
      {Quantity::Time, "20 MS", vpp, Value{0.02, vpp}},
      {Quantity::Rate, "2 KHZ", vpp, Value{2000, vpp}},
      {Quantity::Count, "5", vpp, Value{5, vpp}},
      {Quantity::Count, "5 HZ", vpp, Error{-131, "Invalid suffix"}},
      {Quantity::Time, "1 HZ", vpp, Error{-131, "Invalid suffix"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueOf(c.quantity, c.parameter, c.unit), c.value) << c.parameter;
  }
}

}  // namespace
}  // namespace zrt::scpi
