#include "rpc/record_marking.h"

namespace zrt::rpc {
namespace {

constexpr std::uint32_t kLastFragment = 0x80000000;

}  // namespace

Bytes MarkRecord(std::span<const std::uint8_t> record) {
  XdrWriter marked;
  marked.Uint(kLastFragment | static_cast<std::uint32_t>(record.size()));
  Bytes bytes = marked.Take();
  bytes.insert(bytes.end(), record.begin(), record.end());
  return bytes;
}

std::vector<Bytes> RecordReader::Push(std::span<const std::uint8_t> bytes) {
  std::vector<Bytes> records;
  while (!failed_ && !bytes.empty()) {
    if (left_ == 0 && header_.size() < 4) {
      header_.push_back(bytes.front());
      bytes = bytes.subspan(1);
      if (header_.size() < 4) continue;
      const std::uint32_t word = *XdrReader(header_).Uint();
      header_.clear();
      last_ = (word & kLastFragment) != 0;
      left_ = word & ~kLastFragment;
      if (record_.size() + left_ > most_) {
        failed_ = true;
        break;
      }
    }
    const std::size_t taken = std::min(left_, bytes.size());
    record_.insert(record_.end(), bytes.begin(),
                   bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    bytes = bytes.subspan(taken);
    left_ -= taken;
    if (left_ == 0 && last_) {
      records.push_back(std::move(record_));
      record_.clear();
      last_ = false;
    }
  }
  return records;
}

}  // namespace zrt::rpc
