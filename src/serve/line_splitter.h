// A client's bytes cut into command lines: each ends at a line feed, a
// carriage return before it is dropped, and the last may end with the
// client's sending (LineAtEnd). A line longer than Longest() bytes is refused
// whole, once, and what follows of it up to its line feed is dropped; so
// no client can make the splitter hold more than that, whatever it sends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zrt::serve {

class LineSplitter {
 public:
  // The longest line by default, the frame the panel's own line holds, and
  // the most a server may allow: a line holds the link 10 ms a byte.
  static constexpr std::size_t kDefaultLongest = 254;
  static constexpr std::size_t kMostLongest = 4096;

  explicit LineSplitter(std::size_t longest = kDefaultLongest) : longest_(longest) {}
  std::size_t Longest() const { return longest_; }

  // A line too long to be sent.
  struct TooLong {
    bool operator==(const TooLong&) const = default;
  };
  using Piece = std::variant<std::string, TooLong>;

  // The lines (and refusals) that `bytes` complete, in order.
  std::vector<Piece> Push(std::string_view bytes);
  // The last line when no more bytes come, if one was begun.
  std::optional<Piece> LineAtEnd();

 private:
  Piece TakeLine();  // the line begun, its CR dropped
  std::size_t longest_;
  std::string partial_;
  bool dropping_ = false;  // the rest of a line already refused
};

}  // namespace zrt::serve
