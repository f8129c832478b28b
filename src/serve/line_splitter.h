// A client's bytes cut into command lines: each ends at a line feed, a
// carriage return before it is dropped. A line longer than kLongest bytes
// is refused whole, once, and what follows of it up to its line feed is
// dropped; so no client can make the splitter hold more than kLongest
// bytes, whatever it sends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zrt::serve {

class LineSplitter {
 public:
  static constexpr std::size_t kLongest = 4096;

  // A line too long to be sent.
  struct TooLong {
    bool operator==(const TooLong&) const = default;
  };
  using Piece = std::variant<std::string, TooLong>;

  // The lines (and refusals) that `bytes` complete, in order.
  std::vector<Piece> Push(std::string_view bytes);

 private:
  std::string partial_;
  bool dropping_ = false;  // the rest of a line already refused
};

}  // namespace zrt::serve
