#include "umockdev_preload.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace zrt::tools {

void RestartUnderUmockdev(char** argv) {
  const char* preload = std::getenv("LD_PRELOAD");
  if ((preload && std::strstr(preload, "umockdev")) || std::getenv("ZRT_NO_UMOCKDEV")) return;
  std::string libraries = "libumockdev-preload.so.0";
  if (preload && *preload) libraries += std::string(":") + preload;
  setenv("LD_PRELOAD", libraries.c_str(), 1);
  setenv("ZRT_NO_UMOCKDEV", "1", 1);  // should the preload not take, do not try again
  // A sanitizer's runtime then comes second; it copes.
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string options = asan && *asan ? std::string(asan) + ":" : std::string();
  setenv("ASAN_OPTIONS", (options + "verify_asan_link_order=0").c_str(), 1);
  execv("/proc/self/exe", argv);
}

}  // namespace zrt::tools
