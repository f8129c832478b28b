// The USB bridge library where libusb cannot be loaded: run by
// without_libusb.sh, which hides libusb in a namespace of the test's own.
#include <gtest/gtest.h>

#include <QtGlobal>
#include <cstdint>

#include "link/ch375_libusb.h"

namespace zrt::link {
namespace {

TEST(WithoutLibusb, NothingOpensAndThePlugWatchSaysItCannotStart) {
  if (!qEnvironmentVariableIsSet("ZRT_LIBUSB_HIDDEN")) {
    GTEST_SKIP() << "without_libusb.sh runs this with libusb hidden";
  }
  for (auto source : {LibusbCh375::PlugSource::Automatic, LibusbCh375::PlugSource::Rescan,
                      LibusbCh375::PlugSource::HotplugCallbacks}) {
    LibusbCh375 library(source);
    EXPECT_FALSE(library.CH375SetDeviceNotify(0, nullptr, [](std::uint32_t) {}));
    EXPECT_EQ(library.CH375OpenDevice(0), kInvalidDeviceHandle);
    const char byte = '\n';
    std::uint32_t length = 1;
    EXPECT_FALSE(library.CH375WriteData(0, &byte, &length));
  }
}

}  // namespace
}  // namespace zrt::link
