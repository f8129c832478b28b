// A composer target without widgets: a line of text and an enabled flag per
// key code, all enabled at the start as in a freshly built window.
#pragma once

#include <array>
#include <set>
#include <string>

#include "compose/composer_target.h"
#include "compose/key_vocabulary.h"

namespace zrt::compose::testing {

class FakeTarget : public ComposerTarget {
 public:
  FakeTarget() { enabled_.fill(true); }

  std::u16string CommandLine() const override { return line; }
  void SetCommandLine(const std::u16string& text) override {
    line = text;
    ++writes;
  }
  void SetKeyEnabled(int keyCode, bool enabled) override {
    touched.insert(keyCode);
    enabled_.at(static_cast<std::size_t>(keyCode)) = enabled;
  }

  bool Enabled(int keyCode) const { return enabled_.at(static_cast<std::size_t>(keyCode)); }

  // The codes among `keys` that are enabled.
  template <typename Keys>
  std::set<int> EnabledAmong(const Keys& keys) const {
    std::set<int> result;
    for (int code : keys) {
      if (Enabled(code)) result.insert(code);
    }
    return result;
  }

  std::u16string line;
  int writes = 0;
  std::set<int> touched;  // every code whose flag was set

 private:
  std::array<bool, kMaxKeyCode + 1> enabled_{};
};

}  // namespace zrt::compose::testing
