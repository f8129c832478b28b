// VXI-11's core and abort channels as their messages travel: the programs,
// procedures, flags, reasons and errors, and each call's parameters read
// and each reply written in XDR. What the procedures do is the server's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "rpc/xdr.h"

namespace zrt::rpc::vxi11 {

inline constexpr std::uint32_t kCoreProgram = 0x0607AF;
inline constexpr std::uint32_t kAbortProgram = 0x0607B0;
inline constexpr std::uint32_t kVersion = 1;

enum class Procedure : std::uint32_t {
  Abort = 1,  // on the abort channel
  CreateLink = 10,
  Write = 11,
  Read = 12,
  ReadStatusByte = 13,
  Trigger = 14,
  Clear = 15,
  Remote = 16,
  Local = 17,
  Lock = 18,
  Unlock = 19,
  DestroyLink = 23,
};

// Flags a call carries.
inline constexpr std::uint32_t kWaitLock = 0x01;
inline constexpr std::uint32_t kEnd = 0x08;
inline constexpr std::uint32_t kTermCharSet = 0x80;

// Why a read ended.
inline constexpr std::int32_t kReasonRequestCount = 1;
inline constexpr std::int32_t kReasonTermChar = 2;
inline constexpr std::int32_t kReasonEnd = 4;

enum class Error : std::int32_t {
  None = 0,
  Syntax = 1,
  NotAccessible = 3,
  InvalidLink = 4,
  Parameter = 5,
  NotSupported = 8,
  OutOfResources = 9,
  Locked = 11,  // by another link
  NoLockHeld = 12,
  IoTimeout = 15,
  Io = 17,
  Aborted = 23,
};

struct CreateLinkParms {
  std::int32_t clientId = 0;
  bool lockDevice = false;
  std::uint32_t lockTimeoutMs = 0;
  std::string device;  // "inst0"
};
struct WriteParms {
  std::int32_t link = 0;
  std::uint32_t ioTimeoutMs = 0;
  std::uint32_t lockTimeoutMs = 0;
  std::uint32_t flags = 0;
  Bytes data;
};
struct ReadParms {
  std::int32_t link = 0;
  std::uint32_t requestSize = 0;
  std::uint32_t ioTimeoutMs = 0;
  std::uint32_t lockTimeoutMs = 0;
  std::uint32_t flags = 0;
  char termChar = 0;
};
// Read status byte, trigger, clear, remote and local.
struct GenericParms {
  std::int32_t link = 0;
  std::uint32_t flags = 0;
  std::uint32_t lockTimeoutMs = 0;
  std::uint32_t ioTimeoutMs = 0;
};
struct LockParms {
  std::int32_t link = 0;
  std::uint32_t flags = 0;
  std::uint32_t lockTimeoutMs = 0;
};

// A call's parameters, the reader left at their end; nothing for bytes
// that are not them (GARBAGE_ARGS). A device name or a write's data longer
// than `most` bytes is refused likewise.
std::optional<CreateLinkParms> ReadCreateLink(XdrReader& in, std::uint32_t most);
std::optional<WriteParms> ReadWrite(XdrReader& in, std::uint32_t most);
std::optional<ReadParms> ReadRead(XdrReader& in);
std::optional<GenericParms> ReadGeneric(XdrReader& in);
std::optional<LockParms> ReadLock(XdrReader& in);
// Unlock, destroy_link and the abort channel's abort take a link alone.
std::optional<std::int32_t> ReadLink(XdrReader& in);

// The replies, after rpc::Reply's header.
void WriteCreateLink(XdrWriter& out, Error error, std::int32_t link, std::uint16_t abortPort,
                     std::uint32_t maxRecvSize);
void WriteWrite(XdrWriter& out, Error error, std::uint32_t size);
void WriteRead(XdrWriter& out, Error error, std::int32_t reason,
               std::span<const std::uint8_t> data);
void WriteStatusByte(XdrWriter& out, Error error, std::uint8_t statusByte);
// Every other procedure's reply: the error alone.
void WriteError(XdrWriter& out, Error error);

}  // namespace zrt::rpc::vxi11
