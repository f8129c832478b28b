// Runs the tests under umockdev's preload library, which emulates devices.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "umockdev_preload.h"

int main(int argc, char** argv) {
  zrt::tools::RestartUnderUmockdev(argv);
  QCoreApplication app(argc, argv);  // for the USB link's events
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
