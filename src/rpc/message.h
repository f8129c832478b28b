// ONC RPC version 2 messages: a call as a server reads it, and the replies
// it writes. Authentication is read and answered as none (AUTH_NONE): the
// programs served here ask for none.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "rpc/xdr.h"

namespace zrt::rpc {

struct Call {
  std::uint32_t xid = 0;
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::uint32_t procedure = 0;
};

// Why a message is answered without being served.
enum class Accept : std::uint32_t {
  Success = 0,
  ProgramUnavailable = 1,
  ProgramMismatch = 2,  // the versions served follow
  ProcedureUnavailable = 3,
  GarbageArguments = 4,
  SystemError = 5,
};

// A call of another RPC version than 2: answered MSG_DENIED, RPC_MISMATCH.
struct WrongRpcVersion {
  std::uint32_t xid;
};

// The call a message starts with, the reader left at its parameters; a
// call of another RPC version; or nothing for a message that is no call
// (a reply, or bytes that cannot be read), which a server drops.
std::variant<std::monostate, Call, WrongRpcVersion> ReadCall(XdrReader& message);

// A call of RPC version 2 with no credential (AUTH_NONE); its parameters
// are written after it.
XdrWriter CallHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                     std::uint32_t procedure);
// How a server accepted the call `xid`, the reader left at its results;
// nothing for a reply to another call, a call denied, or bytes that
// cannot be read.
std::optional<Accept> ReadAcceptedReply(XdrReader& message, std::uint32_t xid);

// A reply accepting `xid`'s call with `status`; a Success's results, and
// nothing else, are written after it.
XdrWriter Reply(std::uint32_t xid, Accept status);
// PROG_MISMATCH with the lowest and highest version served.
Bytes ProgramMismatch(std::uint32_t xid, std::uint32_t lowest, std::uint32_t highest);
// MSG_DENIED, RPC_MISMATCH: version 2 only.
Bytes RpcVersionMismatch(std::uint32_t xid);

}  // namespace zrt::rpc
