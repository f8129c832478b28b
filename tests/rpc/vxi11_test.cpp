// VXI-11's parameters read as clients send them, and replies written as
// they expect them, word by word.
#include "rpc/vxi11.h"

#include <gtest/gtest.h>

namespace zrt::rpc::vxi11 {
namespace {

// Four-byte words, big-endian, and then any bytes.
Bytes Words(std::initializer_list<std::uint32_t> words, std::string_view tail = {}) {
  XdrWriter writer;
  for (const std::uint32_t word : words) writer.Uint(word);
  Bytes bytes = writer.Take();
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

TEST(Vxi11, ParametersAsClientsSendThem) {
  // create_link: client 0x1234, no lock, 10 s, "inst0" and its padding.
  const Bytes create = Words({0x1234, 0, 10000, 5}, std::string_view("inst0\0\0\0", 8));
  XdrReader in(create);
  const auto link = ReadCreateLink(in, 256);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->clientId, 0x1234);
  EXPECT_FALSE(link->lockDevice);
  EXPECT_EQ(link->lockTimeoutMs, 10000u);
  EXPECT_EQ(link->device, "inst0");
  EXPECT_EQ(in.Left(), 0u);

  // device_write: link 7, END set, "*IDN?\n".
  const Bytes write = Words({7, 2000, 0, kEnd, 6}, std::string_view("*IDN?\n\0\0", 8));
  XdrReader w(write);
  const auto written = ReadWrite(w, 1024);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->link, 7);
  EXPECT_EQ(written->flags & kEnd, kEnd);
  EXPECT_EQ(written->data, Words({}, "*IDN?\n"));

  // device_read: 1024 bytes, up to a line feed.
  const Bytes read = Words({7, 1024, 2000, 0, kTermCharSet, '\n'});
  XdrReader r(read);
  const auto asked = ReadRead(r);
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->requestSize, 1024u);
  EXPECT_EQ(asked->termChar, '\n');

  const Bytes generic = Words({7, kWaitLock, 500, 2000});
  XdrReader g(generic);
  EXPECT_EQ(ReadGeneric(g)->lockTimeoutMs, 500u);
  const Bytes lock = Words({7, kWaitLock, 3000});
  XdrReader l(lock);
  EXPECT_EQ(ReadLock(l)->lockTimeoutMs, 3000u);
}

// Bytes that are not the parameters are refused, not half read.
TEST(Vxi11, WhatIsNotTheParametersIsRefused) {
  const Bytes longName = Words({0, 0, 0, 9}, std::string_view("inst00000\0\0\0", 12));
  const Bytes notABool = Words({0, 2, 0, 0});
  const Bytes longData = Words({7, 0, 0, kEnd, 8}, std::string_view("12345678", 8));
  const Bytes shortRead = Words({7, 1024, 2000, 0, 0});
  XdrReader a(longName), b(notABool), c(longData), d(shortRead);
  EXPECT_FALSE(ReadCreateLink(a, 8)) << "a device name beyond the bound";
  EXPECT_FALSE(ReadCreateLink(b, 8)) << "a boolean of 2";
  EXPECT_FALSE(ReadWrite(c, 4)) << "data beyond maxRecvSize";
  EXPECT_FALSE(ReadRead(d)) << "no term char";
}

TEST(Vxi11, RepliesWordByWord) {
  XdrWriter create;
  WriteCreateLink(create, Error::None, 1, 1235, 1024);
  EXPECT_EQ(create.Written(), Words({0, 1, 1235, 1024}));
  XdrWriter read;
  WriteRead(read, Error::None, kReasonEnd, Words({}, "1\n"));
  EXPECT_EQ(read.Written(), Words({0, 4, 2}, std::string_view("1\n\0\0", 4)));
  XdrWriter timeout;
  WriteRead(timeout, Error::IoTimeout, 0, {});
  EXPECT_EQ(timeout.Written(), Words({15, 0, 0}));
  XdrWriter status;  // a byte travels as four
  WriteStatusByte(status, Error::None, 0x10);
  EXPECT_EQ(status.Written(), Words({0, 0x10}));
}

}  // namespace
}  // namespace zrt::rpc::vxi11
