#include "rpc/port_mapper.h"

#include <algorithm>

#include "rpc/message.h"

namespace zrt::rpc {
namespace {

std::optional<Mapping> ReadMapping(XdrReader& in) {
  const auto program = in.Uint();
  const auto version = in.Uint();
  const auto protocol = in.Uint();
  const auto port = in.Uint();
  if (!port) return std::nullopt;
  return Mapping{*program, *version, *protocol, *port};
}

void WriteMapping(XdrWriter& out, const Mapping& mapping) {
  out.Uint(mapping.program);
  out.Uint(mapping.version);
  out.Uint(mapping.protocol);
  out.Uint(mapping.port);
}

}  // namespace

bool PortMapper::Set(const Mapping& mapping) {
  const bool taken = std::ranges::any_of(mappings_, [&](const Mapping& m) {
    return m.program == mapping.program && m.version == mapping.version &&
           m.protocol == mapping.protocol;
  });
  if (taken || (mapping.protocol != kTcp && mapping.protocol != kUdp)) return false;
  mappings_.push_back(mapping);
  return true;
}

bool PortMapper::Unset(std::uint32_t program, std::uint32_t version) {
  return std::erase_if(mappings_, [&](const Mapping& m) {
           return m.program == program && m.version == version;
         }) > 0;
}

std::optional<Bytes> PortMapper::Answer(std::span<const std::uint8_t> message, bool local) {
  XdrReader in(message);
  const auto read = ReadCall(in);
  if (const auto* wrong = std::get_if<WrongRpcVersion>(&read))
    return RpcVersionMismatch(wrong->xid);
  const auto* call = std::get_if<Call>(&read);
  if (!call) return std::nullopt;
  if (call->program != kPortMapperProgram)
    return Reply(call->xid, Accept::ProgramUnavailable).Take();
  if (call->version != kPortMapperVersion) {
    return ProgramMismatch(call->xid, kPortMapperVersion, kPortMapperVersion);
  }
  const auto procedure = static_cast<MapperProcedure>(call->procedure);
  switch (procedure) {
    case MapperProcedure::Null:
      return Reply(call->xid, Accept::Success).Take();
    case MapperProcedure::Dump: {
      XdrWriter out = Reply(call->xid, Accept::Success);
      for (const Mapping& mapping : mappings_) {
        out.Bool(true);
        WriteMapping(out, mapping);
      }
      out.Bool(false);
      return out.Take();
    }
    case MapperProcedure::Set:
    case MapperProcedure::Unset:
    case MapperProcedure::GetPort:
      break;
    default:
      return Reply(call->xid, Accept::ProcedureUnavailable).Take();
  }
  const auto mapping = ReadMapping(in);
  if (!mapping) return Reply(call->xid, Accept::GarbageArguments).Take();
  XdrWriter out = Reply(call->xid, Accept::Success);
  if (procedure == MapperProcedure::GetPort) {
    const auto found = std::ranges::find_if(mappings_, [&](const Mapping& m) {
      return m.program == mapping->program && m.version == mapping->version &&
             m.protocol == mapping->protocol;
    });
    out.Uint(found != mappings_.end() ? found->port : 0);  // 0: not registered
  } else if (procedure == MapperProcedure::Set) {
    out.Bool(local && Set(*mapping));
  } else {
    out.Bool(local && Unset(mapping->program, mapping->version));
  }
  return out.Take();
}

Bytes MapperCall(std::uint32_t xid, MapperProcedure procedure, const Mapping& mapping) {
  XdrWriter call = CallHeader(xid, kPortMapperProgram, kPortMapperVersion,
                              static_cast<std::uint32_t>(procedure));
  if (procedure != MapperProcedure::Null && procedure != MapperProcedure::Dump) {
    WriteMapping(call, mapping);
  }
  return call.Take();
}

std::optional<std::uint32_t> MapperResult(std::span<const std::uint8_t> reply, std::uint32_t xid) {
  XdrReader in(reply);
  if (ReadAcceptedReply(in, xid) != Accept::Success) return std::nullopt;
  return in.Uint();
}

}  // namespace zrt::rpc
