// The VXI-11 server against the simulated instrument on a pseudo-terminal,
// with clients of the test's own on real sockets: messages and responses,
// reads that wait and how they end, locks, links taken back, and what it
// does not serve. Calls that wait are sent ahead and their replies read
// once another client has done what ends them.
#include "serve/vxi11_server.h"

#include <gtest/gtest.h>

#include <QTest>
#include <mutex>

#include "link/tcomm.h"
#include "rpc/vxi11.h"
#include "sim/pty_instrument.h"

namespace zrt::serve {
namespace {

namespace vxi = rpc::vxi11;
using vxi::Error;
using vxi::Procedure;

// A client of the test's own: calls sent, replies read in order.
class RpcClient {
 public:
  explicit RpcClient(std::uint16_t port) : socket_(net::StreamSocket::Connect("127.0.0.1", port)) {}

  void Send(std::uint32_t program, std::uint32_t procedure, const rpc::XdrWriter& parms = {},
            std::uint32_t version = vxi::kVersion) {
    rpc::XdrWriter call = rpc::CallHeader(++xid_, program, version, procedure);
    rpc::Bytes message = call.Take();
    message.insert(message.end(), parms.Written().begin(), parms.Written().end());
    const rpc::Bytes marked = rpc::MarkRecord(message);
    ASSERT_EQ(socket_.Write(reinterpret_cast<const char*>(marked.data()), marked.size()),
              static_cast<std::ptrdiff_t>(marked.size()));
    sent_.push_back(xid_);
  }
  // The oldest call's reply: how it was accepted, and its results.
  std::pair<std::optional<rpc::Accept>, rpc::Bytes> Reply() {
    const bool came = QTest::qWaitFor(
        [&] {
          char bytes[4096];
          std::ptrdiff_t n;
          while ((n = socket_.Read(bytes, sizeof bytes)) > 0) {
            for (rpc::Bytes& record :
                 records_.Push({reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(n)})) {
              replies_.push_back(std::move(record));
            }
          }
          return !replies_.empty();
        },
        10000);
    EXPECT_TRUE(came) << "no reply";
    if (!came) return {};
    rpc::Bytes reply = std::move(replies_.front());
    replies_.erase(replies_.begin());
    rpc::XdrReader in(reply);
    const auto accepted = rpc::ReadAcceptedReply(in, sent_.front());
    sent_.erase(sent_.begin());
    return {accepted,
            rpc::Bytes(reply.end() - static_cast<std::ptrdiff_t>(in.Left()), reply.end())};
  }
  // A core call's error, its first result.
  Error Call(Procedure procedure, const rpc::XdrWriter& parms) {
    Send(vxi::kCoreProgram, static_cast<std::uint32_t>(procedure), parms);
    return ErrorOf(Reply().second);
  }
  static Error ErrorOf(const rpc::Bytes& results) {
    rpc::XdrReader in(results);
    return static_cast<Error>(in.Int().value_or(-1));
  }
  void Close() { socket_.Close(); }

 private:
  net::StreamSocket socket_;
  rpc::RecordReader records_{1 << 20};
  std::vector<rpc::Bytes> replies_;
  std::vector<std::uint32_t> sent_;
  std::uint32_t xid_ = 100;
};

rpc::XdrWriter CreateParms(std::string_view device, bool lock = false,
                           std::uint32_t lockTimeout = 0) {
  rpc::XdrWriter out;
  out.Int(7);
  out.Bool(lock);
  out.Uint(lockTimeout);
  out.String(device);
  return out;
}
rpc::XdrWriter WriteParms(std::int32_t link, std::string_view data, std::uint32_t flags = vxi::kEnd,
                          std::uint32_t lockTimeout = 0, std::uint32_t ioTimeout = 5000) {
  rpc::XdrWriter out;
  for (const std::uint32_t word : {std::uint32_t(link), ioTimeout, lockTimeout, flags}) {
    out.Uint(word);
  }
  out.Opaque({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
  return out;
}
rpc::XdrWriter ReadParms(std::int32_t link, std::uint32_t size = 1024,
                         std::uint32_t ioTimeout = 5000, std::uint32_t flags = 0,
                         char termChar = 0) {
  rpc::XdrWriter out;
  for (const std::uint32_t word : {std::uint32_t(link), size, ioTimeout, 0u, flags}) out.Uint(word);
  out.Int(termChar);
  return out;
}
// Read status byte, trigger, clear, remote, local; lock takes the first three.
rpc::XdrWriter GenericParms(std::int32_t link, std::uint32_t flags = 0,
                            std::uint32_t lockTimeout = 0) {
  rpc::XdrWriter out;
  for (const std::uint32_t word : {std::uint32_t(link), flags, lockTimeout, 1000u}) out.Uint(word);
  return out;
}
rpc::XdrWriter LinkParm(std::int32_t link) {
  rpc::XdrWriter out;
  out.Int(link);
  return out;
}

struct Read {
  Error error;
  std::int32_t reason;
  std::string data;
};
Read ReadOf(const rpc::Bytes& results) {
  rpc::XdrReader in(results);
  Read read{static_cast<Error>(in.Int().value_or(-1)), in.Int().value_or(-1), {}};
  const auto data = in.Opaque(1 << 20);
  if (data) read.data.assign(data->begin(), data->end());
  return read;
}

struct Bench {
  explicit Bench(sim::PtyInstrument::Options options = {})
      : instrument([&] {
          options.log = [this](const std::string& said) {
            const std::lock_guard lock(mutex);
            if (said.starts_with("<- ")) heard.push_back(said.substr(3));
          };
          return options;
        }()) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    server.Listen("127.0.0.1");
    QObject::connect(&server, &Vxi11Server::Event,
                     [this](const ServerEvent& e) { events.push_back(e.kind); });
  }
  // A link's number, from a client's create_link.
  std::int32_t Link(RpcClient& client, std::string_view device = "inst0") {
    client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::CreateLink),
                CreateParms(device));
    const rpc::Bytes results = client.Reply().second;
    rpc::XdrReader in(results);
    EXPECT_EQ(in.Int(), 0);
    const auto link = in.Int().value_or(0);
    EXPECT_EQ(in.Uint(), server.AbortPort());
    EXPECT_EQ(in.Uint(), Vxi11Server::kMaxRecvSize);
    return link;
  }
  Read ReadFrom(RpcClient& client, rpc::XdrWriter parms) {
    client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::Read), parms);
    return ReadOf(client.Reply().second);
  }
  std::vector<std::string> Heard() {
    const std::lock_guard lock(mutex);
    return heard;
  }

  std::mutex mutex;
  std::vector<std::string> heard;
  sim::PtyInstrument instrument;
  link::TComm comm;
  session::LineSession session{&comm, nullptr};
  const ScpiSetup setup{.face = {.identity = "maker,model,1,2"}};
  Vxi11Server server{{{"inst0", &session, [] { return session::LineSettings{}; }, &setup, 254}}};
  std::vector<ServerEvent::Kind> events;
};

TEST(Vxi11Server, WritesUntilEndAreOneMessageAndReadsHandOutItsResponse) {
  Bench bench;
  RpcClient client(bench.server.CorePort());
  const std::int32_t link = bench.Link(client, "INST0");
  // Chunks without END are joined; the response waits for a read.
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(link, "*ID", 0)), Error::None);
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(link, "N?\n")), Error::None);
  struct Case {
    std::uint32_t size;
    std::uint32_t flags;
    Read read;
  };
  const Case cases[] = {
      {5, 0, {Error::None, vxi::kReasonRequestCount, "maker"}},
      {1024, vxi::kTermCharSet, {Error::None, vxi::kReasonTermChar, ","}},  // termChar ','
      {1024, 0, {Error::None, vxi::kReasonEnd, "model,1,2\n"}},
  };
  for (const Case& c : cases) {
    const Read read = bench.ReadFrom(client, ReadParms(link, c.size, 5000, c.flags, ','));
    EXPECT_EQ(read.error, c.read.error) << c.read.data;
    EXPECT_EQ(read.reason, c.read.reason) << c.read.data;
    EXPECT_EQ(read.data, c.read.data);
  }
  // Nothing under way: nothing can come, and it says so at once, whatever
  // the timeout asked for (qWaitFor's bound is far below it).
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(link, 1024, 3600000)).error, Error::IoTimeout);

  // A write is answered once the instrument has answered what it set: a
  // client measuring next measures what it set.
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(link, "SOUR1:FREQ 500")), Error::None);
  EXPECT_EQ(bench.Heard(), std::vector<std::string>{"XCHA:AFREQ500Hz"});

  // A set and a query go to the instrument as the keys compose them; two
  // messages in one write are two responses.
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(link, "SOUR1:FREQ 1000\nFREQ?;*OPC?\n")),
            Error::None);
  const Read read = bench.ReadFrom(client, ReadParms(link));
  EXPECT_EQ(read.data, "+1.0000000000E+03;1\n");
  EXPECT_EQ(read.reason, vxi::kReasonEnd);
  EXPECT_EQ(bench.Heard(),
            (std::vector<std::string>{"XCHA:AFREQ500Hz", "XCHA:AFREQ1000Hz", "XCHA:AFREQ?"}));
}

TEST(Vxi11Server, AReadWaitsOnlyWhileAResponseMayComeAndAnAbortEndsIt) {
  Bench bench({.silent = {"CHA:AFREQ"}});
  RpcClient client(bench.server.CorePort());
  const std::int32_t link = bench.Link(client);
  // The instrument says nothing: the write is answered at its own timeout,
  // the question still out, and so is a read.
  ASSERT_EQ(client.Call(Procedure::Write, WriteParms(link, "FREQ?", vxi::kEnd, 0, 100)),
            Error::None);
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(link, 1024, 100)).error, Error::IoTimeout);
  // The session gives the question up in the end; SCPI's "no number" follows.
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(link, 1024, 8000)).data, "9.91E+37\n");

  // A read waiting is ended by the abort channel, from another connection.
  ASSERT_EQ(client.Call(Procedure::Write, WriteParms(link, "FREQ?", vxi::kEnd, 0, 100)),
            Error::None);
  client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::Read),
              ReadParms(link, 1024, 8000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Waiting() == 1; }, 5000));
  RpcClient abort(bench.server.AbortPort());
  abort.Send(vxi::kAbortProgram, static_cast<std::uint32_t>(Procedure::Abort), LinkParm(link));
  EXPECT_EQ(RpcClient::ErrorOf(abort.Reply().second), Error::None);
  EXPECT_EQ(ReadOf(client.Reply().second).error, Error::Aborted);
  abort.Send(vxi::kAbortProgram, static_cast<std::uint32_t>(Procedure::Abort), LinkParm(link + 9));
  EXPECT_EQ(RpcClient::ErrorOf(abort.Reply().second), Error::InvalidLink);
}

TEST(Vxi11Server, ALockKeepsOtherLinksOutUntilItIsLetGo) {
  Bench bench;
  RpcClient first(bench.server.CorePort());
  RpcClient second(bench.server.CorePort());
  const std::int32_t one = bench.Link(first);
  const std::int32_t two = bench.Link(second);
  EXPECT_EQ(first.Call(Procedure::Lock, GenericParms(one)), Error::None);
  EXPECT_EQ(first.Call(Procedure::Lock, GenericParms(one)), Error::None);  // its own again
  // Without the wait-lock flag at once; with it, after its lock timeout.
  EXPECT_EQ(second.Call(Procedure::Write, WriteParms(two, "*IDN?")), Error::Locked);
  EXPECT_EQ(second.Call(Procedure::Write, WriteParms(two, "*IDN?", vxi::kEnd | vxi::kWaitLock, 50)),
            Error::Locked);
  EXPECT_EQ(second.Call(Procedure::Clear, GenericParms(two)), Error::Locked);
  EXPECT_EQ(second.Call(Procedure::Unlock, LinkParm(two)), Error::NoLockHeld);
  // A call waiting for the lock goes on once it is let go.
  second.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::Write),
              WriteParms(two, "*IDN?", vxi::kEnd | vxi::kWaitLock, 8000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Waiting() == 1; }, 5000));
  EXPECT_EQ(first.Call(Procedure::Unlock, LinkParm(one)), Error::None);
  EXPECT_EQ(RpcClient::ErrorOf(second.Reply().second), Error::None);
  EXPECT_EQ(bench.ReadFrom(second, ReadParms(two)).data, "maker,model,1,2\n");

  // A link whose connection closes lets its lock go, and is taken back.
  EXPECT_EQ(first.Call(Procedure::Lock, GenericParms(one)), Error::None);
  second.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::Lock),
              GenericParms(two, vxi::kWaitLock, 8000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Waiting() == 1; }, 5000));
  first.Close();
  EXPECT_EQ(RpcClient::ErrorOf(second.Reply().second), Error::None);
  EXPECT_EQ(bench.server.Links(), 1);
  EXPECT_EQ(second.Call(Procedure::Write, WriteParms(one, "*IDN?")), Error::InvalidLink);
}

TEST(Vxi11Server, DeviceClearDropsWhatIsUnreadAndTheStatusByteShowsIt) {
  Bench bench;
  RpcClient client(bench.server.CorePort());
  const std::int32_t link = bench.Link(client);
  auto statusByte = [&] {
    client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::ReadStatusByte),
                GenericParms(link));
    const rpc::Bytes results = client.Reply().second;
    rpc::XdrReader in(results);
    EXPECT_EQ(in.Int(), 0);
    return in.Uint().value_or(0xFFFF);
  };
  ASSERT_EQ(client.Call(Procedure::Write, WriteParms(link, "*IDN?")), Error::None);
  EXPECT_EQ(statusByte() & 0x10, 0x10u);  // a message available
  EXPECT_EQ(client.Call(Procedure::Clear, GenericParms(link)), Error::None);
  EXPECT_EQ(statusByte() & 0x10, 0u);
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(link)).error, Error::IoTimeout);
  // A write cut off by a clear is not joined with the next.
  ASSERT_EQ(client.Call(Procedure::Write, WriteParms(link, "SOUR1:FR", 0)), Error::None);
  EXPECT_EQ(client.Call(Procedure::Clear, GenericParms(link)), Error::None);
  ASSERT_EQ(client.Call(Procedure::Write, WriteParms(link, "*IDN?")), Error::None);
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(link)).data, "maker,model,1,2\n");
  for (const Procedure procedure : {Procedure::Remote, Procedure::Local}) {
    EXPECT_EQ(client.Call(procedure, GenericParms(link)), Error::None);
  }
  EXPECT_EQ(client.Call(Procedure::DestroyLink, LinkParm(link)), Error::None);
  EXPECT_EQ(client.Call(Procedure::DestroyLink, LinkParm(link)), Error::InvalidLink);
  EXPECT_TRUE(bench.Heard().empty());
}

TEST(Vxi11Server, LinksAreBoundedAndTheIdleLongestTakenBack) {
  Bench bench;
  bench.server.SetMaxLinks(2);
  RpcClient client(bench.server.CorePort());
  const std::int32_t one = bench.Link(client);
  bench.Link(client);
  client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::CreateLink),
              CreateParms("inst0"));
  EXPECT_EQ(RpcClient::ErrorOf(client.Reply().second), Error::OutOfResources);
  EXPECT_EQ(bench.events.back(), ServerEvent::Kind::TooManyLinks);
  // Past the idle limit the oldest goes for the new one.
  bench.server.SetIdleLimit(std::chrono::milliseconds(0));
  const std::int32_t three = bench.Link(client);
  EXPECT_NE(three, one);
  EXPECT_EQ(bench.server.Links(), 2);
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(one, "*IDN?")), Error::InvalidLink);
}

TEST(Vxi11Server, AScopesForgottenLinkIsTakenBackAfterItsQuiet) {
  Bench bench;
  bench.server.SetScopeQuiet(std::chrono::milliseconds(50));
  RpcClient scope(bench.server.CorePort());
  RpcClient script(bench.server.CorePort());
  const std::int32_t forgotten = bench.Link(scope);
  const std::int32_t kept = bench.Link(script);
  // The point is through when its write is: the instrument has answered it.
  EXPECT_EQ(scope.Call(Procedure::Write, WriteParms(forgotten, "C1:BSWV FRQ,1000")), Error::None);
  EXPECT_EQ(bench.Heard(), std::vector<std::string>{"XCHA:AFREQ1000Hz"});
  EXPECT_EQ(script.Call(Procedure::Write, WriteParms(kept, "*IDN?")), Error::None);
  // The scope never destroys its link: it goes; a script's quiet link stays.
  EXPECT_TRUE(QTest::qWaitFor([&] { return bench.server.Links() == 1; }, 5000));
  EXPECT_EQ(scope.Call(Procedure::Write, WriteParms(forgotten, "C1:BSWV FRQ,2000")),
            Error::InvalidLink);
  EXPECT_EQ(bench.ReadFrom(script, ReadParms(kept)).data, "maker,model,1,2\n");
}

TEST(Vxi11Server, WhatItDoesNotServe) {
  Bench bench;
  RpcClient client(bench.server.CorePort());
  struct Case {
    std::uint32_t program;
    std::uint32_t version;
    std::uint32_t procedure;
    rpc::Accept accept;
    std::optional<Error> error;  // the first result, where there is one
  };
  const Case cases[] = {
      {vxi::kCoreProgram, 1, 0, rpc::Accept::Success, std::nullopt},  // NULL
      {vxi::kAbortProgram, 1, 0, rpc::Accept::Success, std::nullopt},
      {vxi::kCoreProgram, 2, 0, rpc::Accept::ProgramMismatch, std::nullopt},
      {vxi::kAbortProgram, 3, 1, rpc::Accept::ProgramMismatch, std::nullopt},
      {100003, 1, 0, rpc::Accept::ProgramUnavailable, std::nullopt},
      {vxi::kCoreProgram, 1, 20, rpc::Accept::Success, Error::NotSupported},  // interrupt channel
      {vxi::kCoreProgram, 1, 22, rpc::Accept::Success, Error::NotSupported},  // docmd
      {vxi::kCoreProgram, 1, 99, rpc::Accept::Success, Error::NotSupported},
      {vxi::kCoreProgram, 1, 11, rpc::Accept::GarbageArguments, std::nullopt},  // no parameters
  };
  for (const Case& c : cases) {
    client.Send(c.program, c.procedure, {}, c.version);
    const auto [accept, results] = client.Reply();
    EXPECT_EQ(accept, c.accept) << c.program << " " << c.version << " " << c.procedure;
    if (c.error) {
      EXPECT_EQ(RpcClient::ErrorOf(results), *c.error) << c.procedure;
    }
    if (c.accept == rpc::Accept::ProgramMismatch) {
      EXPECT_EQ(results, (rpc::Bytes{0, 0, 0, 1, 0, 0, 0, 1})) << "versions 1 to 1";
    }
  }
  // A device it does not have; a link it never made.
  client.Send(vxi::kCoreProgram, static_cast<std::uint32_t>(Procedure::CreateLink),
              CreateParms("inst1"));
  EXPECT_EQ(RpcClient::ErrorOf(client.Reply().second), Error::NotAccessible);
  EXPECT_EQ(bench.events.back(), ServerEvent::Kind::NoDevice);
  EXPECT_EQ(client.Call(Procedure::Write, WriteParms(5, "*IDN?")), Error::InvalidLink);
  EXPECT_EQ(bench.ReadFrom(client, ReadParms(5)).error, Error::InvalidLink);
  EXPECT_EQ(client.Call(Procedure::Trigger, GenericParms(5)), Error::InvalidLink);
  EXPECT_EQ(bench.server.Links(), 0);
}

}  // namespace
}  // namespace zrt::serve
