// The port mapper of our own, asked as rpcinfo, VISA libraries and other
// servers ask it, and the calls that register with another.
#include "rpc/port_mapper.h"

#include <gtest/gtest.h>

#include "rpc/message.h"

namespace zrt::rpc {
namespace {

constexpr std::uint32_t kCore = 0x0607AF;

TEST(PortMapper, AnswersWhatItKnows) {
  PortMapper mapper;
  ASSERT_TRUE(mapper.Set({kCore, 1, kTcp, 1024}));
  EXPECT_FALSE(mapper.Set({kCore, 1, kTcp, 1025})) << "taken";
  ASSERT_TRUE(mapper.Set({kPortMapperProgram, 2, kUdp, 111}));
  struct Case {
    const char* what;
    MapperProcedure procedure;
    Mapping asked;
    std::optional<std::uint32_t> result;  // nothing: no result word
  };
  const Case cases[] = {
      {"NULL", MapperProcedure::Null, {}, std::nullopt},
      {"GETPORT, registered", MapperProcedure::GetPort, {kCore, 1, kTcp, 0}, 1024},
      {"GETPORT, not over UDP", MapperProcedure::GetPort, {kCore, 1, kUdp, 0}, 0},
      {"GETPORT, not that version", MapperProcedure::GetPort, {kCore, 2, kTcp, 0}, 0},
      {"GETPORT, itself", MapperProcedure::GetPort, {kPortMapperProgram, 2, kUdp, 0}, 111},
      {"SET from here", MapperProcedure::Set, {kCore + 1, 1, kTcp, 1030}, 1},
      {"UNSET from here", MapperProcedure::Unset, {kCore + 1, 1, kTcp, 0}, 1},
      {"UNSET, nothing there", MapperProcedure::Unset, {kCore + 1, 1, kTcp, 0}, 0},
  };
  for (const Case& c : cases) {
    const auto reply = mapper.Answer(MapperCall(42, c.procedure, c.asked), true);
    ASSERT_TRUE(reply) << c.what;
    XdrReader in(*reply);
    ASSERT_EQ(ReadAcceptedReply(in, 42), Accept::Success) << c.what;
    EXPECT_EQ(in.Uint(), c.result) << c.what;
    EXPECT_EQ(in.Left(), 0u) << c.what;
  }
  // Only a caller on this machine registers.
  const auto remote = mapper.Answer(MapperCall(43, MapperProcedure::Set, {9, 1, kTcp, 9}), false);
  EXPECT_EQ(MapperResult(*remote, 43), 0u);
  EXPECT_EQ(mapper.Mappings().size(), 2u);
}

// DUMP lists every mapping, as rpcinfo -p shows them.
TEST(PortMapper, DumpListsEveryMapping) {
  PortMapper mapper;
  const Mapping mappings[] = {{kCore, 1, kTcp, 1024}, {kCore + 1, 1, kTcp, 1025}};
  for (const Mapping& mapping : mappings) mapper.Set(mapping);
  const auto reply = mapper.Answer(MapperCall(7, MapperProcedure::Dump), true);
  XdrReader in(*reply);
  ASSERT_EQ(ReadAcceptedReply(in, 7), Accept::Success);
  std::vector<Mapping> listed;
  while (in.Bool() == true) {
    listed.push_back({*in.Uint(), *in.Uint(), *in.Uint(), *in.Uint()});
  }
  EXPECT_TRUE(in.Good());
  EXPECT_EQ(in.Left(), 0u);
  EXPECT_EQ(listed, std::vector<Mapping>(std::begin(mappings), std::end(mappings)));
}

// What it does not serve is said as the standard says it.
TEST(PortMapper, WhatItDoesNotServe) {
  PortMapper mapper;
  auto call = [](std::uint32_t program, std::uint32_t version, std::uint32_t procedure) {
    return CallHeader(5, program, version, procedure).Take();
  };
  const struct {
    const char* what;
    Bytes message;
    Accept status;
  } cases[] = {
      {"another program", call(kCore, 1, 0), Accept::ProgramUnavailable},
      {"version 3", call(kPortMapperProgram, 3, 0), Accept::ProgramMismatch},
      {"CALLIT", call(kPortMapperProgram, 2, 5), Accept::ProcedureUnavailable},
      {"GETPORT without its mapping", call(kPortMapperProgram, 2, 3), Accept::GarbageArguments},
  };
  for (const auto& c : cases) {
    const auto reply = mapper.Answer(c.message, true);
    ASSERT_TRUE(reply) << c.what;
    XdrReader in(*reply);
    EXPECT_EQ(ReadAcceptedReply(in, 5), c.status) << c.what;
  }
  const Bytes versions = *mapper.Answer(call(kPortMapperProgram, 3, 0), true);
  XdrReader mismatch(versions);
  ReadAcceptedReply(mismatch, 5);
  EXPECT_EQ(mismatch.Uint(), 2u);
  EXPECT_EQ(mismatch.Uint(), 2u) << "version 2, and only it";
  // A reply, or bytes that are no message, get no answer.
  EXPECT_FALSE(mapper.Answer(Reply(5, Accept::Success).Take(), true));
  EXPECT_FALSE(mapper.Answer(Bytes{1, 2, 3}, true));
  EXPECT_FALSE(MapperResult(*mapper.Answer(MapperCall(8, MapperProcedure::Null), true), 9))
      << "another call's reply";
}

}  // namespace
}  // namespace zrt::rpc
