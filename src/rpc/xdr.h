// XDR, the data representation ONC RPC speaks: every item a multiple of
// four bytes, big-endian, opaque data and strings after their length and
// padded with zeros to the next four. Plain code over a byte buffer, for
// every channel (the port mapper, VXI-11's core and abort channels) alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zrt::rpc {

using Bytes = std::vector<std::uint8_t>;

class XdrWriter {
 public:
  void Uint(std::uint32_t value);
  void Int(std::int32_t value) { Uint(static_cast<std::uint32_t>(value)); }
  void Bool(bool value) { Uint(value ? 1 : 0); }
  // Variable-length opaque data: its length, then the bytes, padded.
  void Opaque(std::span<const std::uint8_t> data);
  void String(std::string_view text);
  // Fixed-length opaque data: the bytes, padded.
  void FixedOpaque(std::span<const std::uint8_t> data);

  const Bytes& Written() const { return bytes_; }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// Reads what XdrWriter writes. A read past the end, a length beyond the
// bound given or a boolean other than 0 or 1 fails, and so does every read
// after it: the caller checks Good() once, at the end, or each result.
class XdrReader {
 public:
  // Reads `bytes`, which outlive the reader.
  explicit XdrReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  explicit XdrReader(Bytes&&) = delete;

  std::optional<std::uint32_t> Uint();
  std::optional<std::int32_t> Int();
  std::optional<bool> Bool();
  // At most `most` bytes (a protocol's own bound; a length beyond it fails).
  std::optional<Bytes> Opaque(std::uint32_t most);
  std::optional<std::string> String(std::uint32_t most);
  std::optional<Bytes> FixedOpaque(std::size_t size);

  bool Good() const { return good_; }
  // Bytes not read yet.
  std::size_t Left() const { return bytes_.size() - at_; }

 private:
  // `size` bytes and their padding, or nothing (and the reader fails).
  std::optional<std::span<const std::uint8_t>> Take(std::size_t size);

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool good_ = true;
};

}  // namespace zrt::rpc
