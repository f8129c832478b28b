// The port mapper, version 2 (program 100000): which port serves which
// program and version over which protocol. PortMapper answers calls as a
// port mapper of its own does (NULL, SET, UNSET, GETPORT, DUMP); the calls
// below register with another one, as a server does where the system runs
// its own. Plain code over messages: the sockets are the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "rpc/xdr.h"

namespace zrt::rpc {

inline constexpr std::uint32_t kPortMapperProgram = 100000;
inline constexpr std::uint32_t kPortMapperVersion = 2;
inline constexpr std::uint16_t kPortMapperPort = 111;
inline constexpr std::uint32_t kTcp = 6;
inline constexpr std::uint32_t kUdp = 17;

struct Mapping {
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::uint32_t protocol = kTcp;  // kTcp or kUdp
  std::uint32_t port = 0;
  bool operator==(const Mapping&) const = default;
};

class PortMapper {
 public:
  // Adds a mapping; false when one for its program, version and protocol
  // stands already (as SET answers).
  bool Set(const Mapping& mapping);
  // Takes away every protocol's mapping of that program and version.
  bool Unset(std::uint32_t program, std::uint32_t version);
  const std::vector<Mapping>& Mappings() const { return mappings_; }

  // The reply to a call, or nothing for a message that is no call. SET and
  // UNSET are answered false unless the caller is on this machine (`local`).
  std::optional<Bytes> Answer(std::span<const std::uint8_t> message, bool local);

 private:
  std::vector<Mapping> mappings_;
};

// Calls to another port mapper.
enum class MapperProcedure : std::uint32_t { Null = 0, Set = 1, Unset = 2, GetPort = 3, Dump = 4 };
Bytes MapperCall(std::uint32_t xid, MapperProcedure procedure, const Mapping& mapping = {});
// A SET or UNSET's answer, or GETPORT's port, to the call `xid`: nothing
// for a reply to another call, or one that refuses or cannot be read.
std::optional<std::uint32_t> MapperResult(std::span<const std::uint8_t> reply, std::uint32_t xid);

}  // namespace zrt::rpc
