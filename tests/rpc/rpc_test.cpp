// XDR against the standard's own example, record marking however a stream
// cuts it, and calls and replies as a port mapper's clients send them.
#include <gtest/gtest.h>

#include "rpc/message.h"
#include "rpc/record_marking.h"
#include "rpc/xdr.h"

namespace zrt::rpc {
namespace {

Bytes Hex(std::initializer_list<unsigned> bytes) {
  Bytes out;
  for (const unsigned byte : bytes) out.push_back(static_cast<std::uint8_t>(byte));
  return out;
}

// Four-byte words, big-endian.
Bytes Words(std::initializer_list<std::uint32_t> words) {
  XdrWriter writer;
  for (const std::uint32_t word : words) writer.Uint(word);
  return writer.Take();
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The file "sillyprog" of john's, a LISP program holding "(quit)", as the
// XDR standard's own example encodes it.
TEST(Xdr, TheStandardsFileExample) {
  const Bytes expected =
      Hex({0x00, 0x00, 0x00, 0x09, 0x73, 0x69, 0x6c, 0x6c, 0x79, 0x70, 0x72, 0x6f,
           0x67, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x04,
           0x6c, 0x69, 0x73, 0x70, 0x00, 0x00, 0x00, 0x04, 0x6a, 0x6f, 0x68, 0x6e,
           0x00, 0x00, 0x00, 0x06, 0x28, 0x71, 0x75, 0x69, 0x74, 0x29, 0x00, 0x00});
  XdrWriter file;
  file.String("sillyprog");
  file.Uint(2);  // EXEC
  file.String("lisp");
  file.String("john");
  file.Opaque(Text("(quit)"));
  EXPECT_EQ(file.Written(), expected);

  XdrReader read(expected);
  EXPECT_EQ(read.String(255), "sillyprog");
  EXPECT_EQ(read.Uint(), 2u);
  EXPECT_EQ(read.String(255), "lisp");
  EXPECT_EQ(read.String(32), "john");
  EXPECT_EQ(read.Opaque(65535), Text("(quit)"));
  EXPECT_TRUE(read.Good());
  EXPECT_EQ(read.Left(), 0u);
}

// A read that cannot be done fails, and so does every read after it.
TEST(Xdr, WhatCannotBeReadFailsTheReader) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool (*read)(XdrReader&);
  };
  const Case cases[] = {
      {"three bytes for four", Hex({0, 0, 1}), [](XdrReader& r) { return !!r.Uint(); }},
      {"a boolean of 2", Hex({0, 0, 0, 2}), [](XdrReader& r) { return !!r.Bool(); }},
      {"a length beyond the bound", Hex({0, 0, 0, 5, 'a', 'b', 'c', 'd', 'e', 0, 0, 0}),
       [](XdrReader& r) { return !!r.String(4); }},
      {"a length beyond the bytes", Hex({0, 0, 0, 8, 'a', 'b', 'c', 'd'}),
       [](XdrReader& r) { return !!r.Opaque(100); }},
      {"padding missing", Hex({0, 0, 0, 1, 'a'}), [](XdrReader& r) { return !!r.Opaque(100); }},
      {"a length near 2^32", Hex({0xff, 0xff, 0xff, 0xfe}),
       [](XdrReader& r) { return !!r.Opaque(0xffffffff); }},
  };
  for (const Case& c : cases) {
    XdrReader reader(c.bytes);
    EXPECT_FALSE(c.read(reader)) << c.what;
    EXPECT_FALSE(reader.Good()) << c.what;
    EXPECT_FALSE(reader.Int()) << c.what << ": a read after a failure";
  }
  const Bytes minusTwo = Hex({0xff, 0xff, 0xff, 0xfe});
  XdrReader negative(minusTwo);
  EXPECT_EQ(negative.Int(), -2);
}

// However a stream cuts the bytes, the records come whole and in order; a
// record longer than the bound fails the stream.
TEST(RecordMarking, RecordsWholeHoweverTheStreamCutsThem) {
  Bytes stream = MarkRecord(Text("first"));
  // The second record in two fragments, the first not its last.
  const Bytes second =
      Hex({0x00, 0x00, 0x00, 0x03, 's', 'e', 'c', 0x80, 0x00, 0x00, 0x03, 'o', 'n', 'd'});
  stream.insert(stream.end(), second.begin(), second.end());
  const Bytes empty = MarkRecord({});
  stream.insert(stream.end(), empty.begin(), empty.end());
  for (const std::size_t cut : {std::size_t{1}, std::size_t{3}, std::size_t{5}, stream.size()}) {
    RecordReader reader(16);
    std::vector<Bytes> records;
    for (std::size_t at = 0; at < stream.size(); at += cut) {
      const auto piece = std::span(stream).subspan(at, std::min(cut, stream.size() - at));
      for (Bytes& record : reader.Push(piece)) records.push_back(std::move(record));
    }
    EXPECT_EQ(records, (std::vector<Bytes>{Text("first"), Text("second"), Bytes{}})) << cut;
    EXPECT_FALSE(reader.Partial()) << cut;
  }
  RecordReader bounded(8);
  EXPECT_TRUE(bounded.Push(Hex({0x00, 0x00, 0x00, 0x05, 1, 2, 3, 4, 5})).empty());
  EXPECT_TRUE(bounded.Partial());
  EXPECT_TRUE(bounded.Push(Hex({0x80, 0x00, 0x00, 0x04, 6, 7, 8, 9})).empty());
  EXPECT_TRUE(bounded.Failed()) << "nine bytes for at most eight";
  EXPECT_TRUE(bounded.Push(MarkRecord(Text("x"))).empty()) << "nothing after it";
}

// A port mapper's GETPORT call for VXI-11's core channel, as rpcinfo and
// VISA libraries send it, read to its parameters; replies written as the
// standard lays them out.
TEST(RpcMessage, CallsReadAndRepliesWritten) {
  const Bytes getport = Words({0x12345678, 0, 2, 100000, 2, 3,  // xid, CALL, RPC 2, program,
                                                                // version, GETPORT
                               0, 0, 0, 0,                      // no credential, no verifier
                               0x0607AF, 1, 6, 0});             // VXI-11 core, 1, TCP, port 0
  XdrReader message(getport);
  const auto read = ReadCall(message);
  ASSERT_TRUE(std::holds_alternative<Call>(read));
  const Call& call = std::get<Call>(read);
  EXPECT_EQ(call.xid, 0x12345678u);
  EXPECT_EQ(call.program, 100000u);
  EXPECT_EQ(call.version, 2u);
  EXPECT_EQ(call.procedure, 3u);
  EXPECT_EQ(message.Uint(), 0x0607AFu) << "left at its parameters";

  XdrWriter reply = Reply(0x12345678, Accept::Success);
  reply.Uint(1024);
  EXPECT_EQ(reply.Written(), Hex({0x12, 0x34, 0x56, 0x78, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0,
                                  0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 4, 0}));
  EXPECT_EQ(ProgramMismatch(7, 1, 1), Hex({0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1}));

  Bytes version3 = getport;
  version3[11] = 3;
  XdrReader other(version3);
  ASSERT_TRUE(std::holds_alternative<WrongRpcVersion>(ReadCall(other)));
  EXPECT_EQ(RpcVersionMismatch(0x12345678), Hex({0x12, 0x34, 0x56, 0x78, 0, 0, 0, 1, 0, 0, 0, 1,
                                                 0,    0,    0,    0,    0, 0, 0, 2, 0, 0, 0, 2}));
  // A reply, or a call cut short, is no call: dropped.
  XdrReader aReply(reply.Written());
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadCall(aReply)));
  XdrReader cut(std::span<const std::uint8_t>(getport).first(30));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadCall(cut)));
}

}  // namespace
}  // namespace zrt::rpc
