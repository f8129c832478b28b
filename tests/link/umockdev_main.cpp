// Runs the tests under umockdev's preload library, which emulates devices.
#include <gtest/gtest.h>

#include "umockdev_preload.h"

int main(int argc, char** argv) {
  zrt::tools::RestartUnderUmockdev(argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
