// Runs the tests under umockdev's preload library, which emulates devices:
// the program starts itself again with it when it is not in place.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (!(preload && std::strstr(preload, "umockdev")) && !std::getenv("ZRT_NO_UMOCKDEV")) {
    std::string libraries = "libumockdev-preload.so.0";
    if (preload && *preload) libraries += std::string(":") + preload;
    setenv("LD_PRELOAD", libraries.c_str(), 1);
    setenv("ZRT_NO_UMOCKDEV", "1", 1);  // should the preload not take, do not try again
    // A sanitizer's runtime then comes second; it copes.
    std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(),
           1);
    execv("/proc/self/exe", argv);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
