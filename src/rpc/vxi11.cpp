#include "rpc/vxi11.h"

namespace zrt::rpc::vxi11 {

std::optional<CreateLinkParms> ReadCreateLink(XdrReader& in, std::uint32_t most) {
  const auto clientId = in.Int();
  const auto lockDevice = in.Bool();
  const auto lockTimeout = in.Uint();
  auto device = in.String(most);
  if (!device) return std::nullopt;
  return CreateLinkParms{*clientId, *lockDevice, *lockTimeout, std::move(*device)};
}

std::optional<WriteParms> ReadWrite(XdrReader& in, std::uint32_t most) {
  const auto link = in.Int();
  const auto ioTimeout = in.Uint();
  const auto lockTimeout = in.Uint();
  const auto flags = in.Uint();
  auto data = in.Opaque(most);
  if (!data) return std::nullopt;
  return WriteParms{*link, *ioTimeout, *lockTimeout, *flags, std::move(*data)};
}

std::optional<ReadParms> ReadRead(XdrReader& in) {
  const auto link = in.Int();
  const auto requestSize = in.Uint();
  const auto ioTimeout = in.Uint();
  const auto lockTimeout = in.Uint();
  const auto flags = in.Uint();
  const auto termChar = in.Uint();  // a char travels as four bytes
  if (!termChar) return std::nullopt;
  return ReadParms{*link,        *requestSize, *ioTimeout,
                   *lockTimeout, *flags,       static_cast<char>(*termChar & 0xFF)};
}

std::optional<GenericParms> ReadGeneric(XdrReader& in) {
  const auto link = in.Int();
  const auto flags = in.Uint();
  const auto lockTimeout = in.Uint();
  const auto ioTimeout = in.Uint();
  if (!ioTimeout) return std::nullopt;
  return GenericParms{*link, *flags, *lockTimeout, *ioTimeout};
}

std::optional<LockParms> ReadLock(XdrReader& in) {
  const auto link = in.Int();
  const auto flags = in.Uint();
  const auto lockTimeout = in.Uint();
  if (!lockTimeout) return std::nullopt;
  return LockParms{*link, *flags, *lockTimeout};
}

std::optional<std::int32_t> ReadLink(XdrReader& in) { return in.Int(); }

void WriteCreateLink(XdrWriter& out, Error error, std::int32_t link, std::uint16_t abortPort,
                     std::uint32_t maxRecvSize) {
  out.Int(static_cast<std::int32_t>(error));
  out.Int(link);
  out.Uint(abortPort);  // an unsigned short travels as four bytes
  out.Uint(maxRecvSize);
}

void WriteWrite(XdrWriter& out, Error error, std::uint32_t size) {
  out.Int(static_cast<std::int32_t>(error));
  out.Uint(size);
}

void WriteRead(XdrWriter& out, Error error, std::int32_t reason,
               std::span<const std::uint8_t> data) {
  out.Int(static_cast<std::int32_t>(error));
  out.Int(reason);
  out.Opaque(data);
}

void WriteStatusByte(XdrWriter& out, Error error, std::uint8_t statusByte) {
  out.Int(static_cast<std::int32_t>(error));
  out.Uint(statusByte);
}

void WriteError(XdrWriter& out, Error error) { out.Int(static_cast<std::int32_t>(error)); }

}  // namespace zrt::rpc::vxi11
