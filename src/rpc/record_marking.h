// ONC RPC over a stream (TCP) cuts each message into record fragments:
// a four-byte header (the top bit set on a record's last fragment, the
// other 31 bits the fragment's length), then the fragment's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "rpc/xdr.h"

namespace zrt::rpc {

// A record as one last fragment.
Bytes MarkRecord(std::span<const std::uint8_t> record);

// Joins a stream's fragments into records, bytes as they come.
class RecordReader {
 public:
  // A record longer than `most` bytes fails the stream: nothing is read
  // after it, as nothing after it could be told apart from it.
  explicit RecordReader(std::size_t most) : most_(most) {}

  // The records these bytes complete, in order.
  std::vector<Bytes> Push(std::span<const std::uint8_t> bytes);
  bool Failed() const { return failed_; }
  // Part of a record has come and its rest not yet.
  bool Partial() const { return !header_.empty() || left_ > 0 || !record_.empty(); }

 private:
  std::size_t most_;
  Bytes header_;          // the fragment header, while it is not whole
  Bytes record_;          // the record so far
  std::size_t left_ = 0;  // bytes of the fragment still to come
  bool last_ = false;     // the fragment under way ends its record
  bool failed_ = false;
};

}  // namespace zrt::rpc
