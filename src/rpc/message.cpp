#include "rpc/message.h"

namespace zrt::rpc {
namespace {

constexpr std::uint32_t kCall = 0;
constexpr std::uint32_t kReply = 1;
constexpr std::uint32_t kRpcVersion = 2;
constexpr std::uint32_t kMsgAccepted = 0;
constexpr std::uint32_t kMsgDenied = 1;
constexpr std::uint32_t kRpcMismatch = 0;
constexpr std::uint32_t kAuthNone = 0;
// RFC 5531's bound on an authenticator's body.
constexpr std::uint32_t kMostAuth = 400;

bool SkipAuth(XdrReader& message) { return message.Uint() && message.Opaque(kMostAuth); }

}  // namespace

std::variant<std::monostate, Call, WrongRpcVersion> ReadCall(XdrReader& message) {
  Call call;
  const auto xid = message.Uint();
  const auto type = message.Uint();
  if (!xid || type != kCall) return {};
  call.xid = *xid;
  const auto rpcVersion = message.Uint();
  if (!rpcVersion) return {};
  if (*rpcVersion != kRpcVersion) return WrongRpcVersion{*xid};
  const auto program = message.Uint();
  const auto version = message.Uint();
  const auto procedure = message.Uint();
  if (!procedure || !SkipAuth(message) || !SkipAuth(message)) return {};
  call.program = *program;
  call.version = *version;
  call.procedure = *procedure;
  return call;
}

XdrWriter CallHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                     std::uint32_t procedure) {
  XdrWriter call;
  for (const std::uint32_t word : {xid, kCall, kRpcVersion, program, version, procedure}) {
    call.Uint(word);
  }
  for (int i = 0; i < 2; ++i) {  // the credential and the verifier: none
    call.Uint(kAuthNone);
    call.Uint(0);
  }
  return call;
}

std::optional<Accept> ReadAcceptedReply(XdrReader& message, std::uint32_t xid) {
  const auto replyXid = message.Uint();
  const auto type = message.Uint();
  const auto accepted = message.Uint();
  if (!accepted || *replyXid != xid || *type != kReply || *accepted != kMsgAccepted ||
      !SkipAuth(message)) {
    return std::nullopt;
  }
  const auto status = message.Uint();
  if (!status || *status > static_cast<std::uint32_t>(Accept::SystemError)) return std::nullopt;
  return static_cast<Accept>(*status);
}

XdrWriter Reply(std::uint32_t xid, Accept status) {
  XdrWriter reply;
  reply.Uint(xid);
  reply.Uint(kReply);
  reply.Uint(kMsgAccepted);
  reply.Uint(kAuthNone);  // the verifier: none, empty
  reply.Uint(0);
  reply.Uint(static_cast<std::uint32_t>(status));
  return reply;
}

Bytes ProgramMismatch(std::uint32_t xid, std::uint32_t lowest, std::uint32_t highest) {
  XdrWriter reply = Reply(xid, Accept::ProgramMismatch);
  reply.Uint(lowest);
  reply.Uint(highest);
  return reply.Take();
}

Bytes RpcVersionMismatch(std::uint32_t xid) {
  XdrWriter reply;
  reply.Uint(xid);
  reply.Uint(kReply);
  reply.Uint(kMsgDenied);
  reply.Uint(kRpcMismatch);
  reply.Uint(kRpcVersion);
  reply.Uint(kRpcVersion);
  return reply.Take();
}

}  // namespace zrt::rpc
