#include "rpc/xdr.h"

namespace zrt::rpc {
namespace {

std::size_t Padded(std::size_t size) { return (size + 3) / 4 * 4; }

}  // namespace

void XdrWriter::Uint(std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void XdrWriter::Opaque(std::span<const std::uint8_t> data) {
  Uint(static_cast<std::uint32_t>(data.size()));
  FixedOpaque(data);
}

void XdrWriter::String(std::string_view text) {
  Opaque({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void XdrWriter::FixedOpaque(std::span<const std::uint8_t> data) {
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  bytes_.resize(bytes_.size() + Padded(data.size()) - data.size(), 0);
}

std::optional<std::span<const std::uint8_t>> XdrReader::Take(std::size_t size) {
  if (!good_ || Padded(size) > Left() || Padded(size) < size) {
    good_ = false;
    return std::nullopt;
  }
  const auto taken = bytes_.subspan(at_, size);
  at_ += Padded(size);
  return taken;
}

std::optional<std::uint32_t> XdrReader::Uint() {
  const auto four = Take(4);
  if (!four) return std::nullopt;
  std::uint32_t value = 0;
  for (const std::uint8_t byte : *four) value = value << 8 | byte;
  return value;
}

std::optional<std::int32_t> XdrReader::Int() {
  const auto value = Uint();
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::optional<bool> XdrReader::Bool() {
  const auto value = Uint();
  if (!value) return std::nullopt;
  if (*value > 1) {
    good_ = false;
    return std::nullopt;
  }
  return *value == 1;
}

std::optional<Bytes> XdrReader::Opaque(std::uint32_t most) {
  const auto size = Uint();
  if (!size) return std::nullopt;
  if (*size > most) {
    good_ = false;
    return std::nullopt;
  }
  return FixedOpaque(*size);
}

std::optional<std::string> XdrReader::String(std::uint32_t most) {
  const auto bytes = Opaque(most);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

std::optional<Bytes> XdrReader::FixedOpaque(std::size_t size) {
  const auto taken = Take(size);
  if (!taken) return std::nullopt;
  return Bytes(taken->begin(), taken->end());
}

}  // namespace zrt::rpc
