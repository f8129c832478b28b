// The simulated instrument behind the port name SIM, opened and paced by
// the serial component as any port is.
#include "sim/simulated_port.h"

#include <gtest/gtest.h>

#include "link/port/comm_events.h"
#include "link/port/ecomms_error.h"
#include "notifications.h"

namespace zrt::sim {
namespace {

using namespace std::chrono_literals;
using link::Notifications;

std::unique_ptr<link::CommPort> OpenPort(link::SerialPlatform& platform, const std::string& name,
                                         Notifications& notifications) {
  link::CommProperties properties;
  properties.commName = name;
  properties.baudRate = 19200;
  return link::CommPort::Open(platform, properties, notifications.Sink(), 10ms);
}

TEST(SimulatedPort, AnswersAsTheInstrumentAndKeepsItsSettingsAcrossOpenings) {
  SimulatedPortPlatform platform(link::SystemSerialPlatform());
  struct Step {
    const char* name;  // the port as the operator types it
    const char* frame;
    const char* reply;
  };
  const Step steps[] = {
      {"SIM", "88CHA:AFREQ1000Hz\n", "OK\n"},
      {"SIM", "88CHA:AFREQ?\n", "1000Hz\n"},
      {"sim", "88CHA:AFREQ?\n", "1000Hz\n"},  // opened again, in any case
  };
  for (const Step& step : steps) {
    Notifications notifications;
    const auto port = OpenPort(platform, step.name, notifications);
    for (const char* c = step.frame; *c; ++c) ASSERT_TRUE(port->Post(link::ByteBlock(1, *c)));
    const auto reply = notifications.Next(link::UM_RECEIVE_DATA);  // paced, a byte at a time
    EXPECT_EQ(reply ? reply->block : "(none)", step.reply) << step.frame;
  }
}

TEST(SimulatedPort, OpensOnceAtATimeAndLeavesOtherNamesToTheSystem) {
  SimulatedPortPlatform platform(link::SystemSerialPlatform());
  Notifications notifications;
  const auto port = OpenPort(platform, "SIM", notifications);
  Notifications others;
  EXPECT_THROW(OpenPort(platform, "SIM", others), link::ECommsError) << "held by the first";
  const link::SerialPlatform::OpenResult other = platform.Open("COM250");
  EXPECT_FALSE(other.device) << "no such port on the system";
}

}  // namespace
}  // namespace zrt::sim
