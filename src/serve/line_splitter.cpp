#include "serve/line_splitter.h"

namespace zrt::serve {

std::vector<LineSplitter::Piece> LineSplitter::Push(std::string_view bytes) {
  std::vector<Piece> pieces;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    if (!dropping_) {
      // A CR may still come before the line feed: one byte more is allowed.
      if (partial_.size() + part.size() > kLongest + 1) {
        pieces.emplace_back(TooLong{});
        partial_.clear();
        dropping_ = true;
      } else {
        partial_.append(part);
      }
    }
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
    if (std::exchange(dropping_, false)) continue;
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    if (partial_.size() > kLongest) {
      pieces.emplace_back(TooLong{});
    } else {
      pieces.emplace_back(std::move(partial_));
    }
    partial_.clear();
  }
  return pieces;
}

}  // namespace zrt::serve
