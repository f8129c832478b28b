#include "app/font_config_preload.h"

#include <fontconfig/fontconfig.h>
#include <malloc.h>

namespace zrt::app {
namespace {

// glibc would give the preload's thread a malloc arena of its own, where the
// parser's freed scratch would sit between the configuration it keeps, in
// pages the window never reuses. With one arena for the process the window
// builds in that scratch. The panel's threads allocate little, so sharing
// the arena costs them nothing noticeable.
std::jthread Started() {
  mallopt(M_ARENA_MAX, 1);
  return std::jthread([] { FcInit(); });
}

}  // namespace

FontConfigPreload::FontConfigPreload() : thread_(Started()) {}

void FontConfigPreload::Wait() {
  if (thread_.joinable()) thread_.join();
  // Whatever whole pages of scratch remain free: give them back.
  malloc_trim(0);
}

}  // namespace zrt::app
