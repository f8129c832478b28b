#include "serve/line_splitter.h"

namespace zrt::serve {

std::vector<LineSplitter::Piece> LineSplitter::Push(std::string_view bytes) {
  std::vector<Piece> pieces;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    if (!dropping_) {
      // A CR may still come before the line feed: one byte more is allowed.
      if (partial_.size() + part.size() > longest_ + 1) {
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
    pieces.push_back(TakeLine());
  }
  return pieces;
}

std::optional<LineSplitter::Piece> LineSplitter::LineAtEnd() {
  if (std::exchange(dropping_, false) || partial_.empty()) return std::nullopt;
  return TakeLine();
}

LineSplitter::Piece LineSplitter::TakeLine() {
  if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
  Piece piece = partial_.size() > longest_ ? Piece(TooLong{}) : Piece(std::move(partial_));
  partial_.clear();
  return piece;
}

}  // namespace zrt::serve
