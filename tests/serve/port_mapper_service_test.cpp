// The server's own port mapper on sockets: asked over UDP and over TCP,
// several records in one write, and a client that sends too much.
#include "serve/port_mapper_service.h"

#include <gtest/gtest.h>

#include <QTest>

#include "serve/port_mapper_registration.h"

namespace zrt::serve {
namespace {

constexpr std::uint32_t kCore = 0x0607AF;

TEST(PortMapperService, AnswersOverUdpAndTcp) {
  rpc::PortMapper mapper;
  mapper.Set({kCore, 1, rpc::kTcp, 1024});
  PortMapperService service(mapper, "127.0.0.1", 0);

  // A datagram is answered where it came from.
  const net::DatagramSocket asker = net::DatagramSocket::Bind("127.0.0.1", 0);
  const rpc::Bytes getport =
      rpc::MapperCall(1, rpc::MapperProcedure::GetPort, {kCore, 1, rpc::kTcp});
  asker.SendTo(reinterpret_cast<const char*>(getport.data()), getport.size(),
               *net::Endpoint::Of("127.0.0.1", service.Port()));
  std::array<std::uint8_t, 256> datagram{};
  std::ptrdiff_t got = -1;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        net::Endpoint from;
        got = asker.ReceiveFrom(reinterpret_cast<char*>(datagram.data()), datagram.size(), from);
        return got > 0;
      },
      5000));
  EXPECT_EQ(rpc::MapperResult(std::span(datagram).first(static_cast<std::size_t>(got)), 1), 1024u);

  // Two records in one write, answered in order; a SET from here counts.
  const net::StreamSocket client = net::StreamSocket::Connect("127.0.0.1", service.Port());
  rpc::Bytes both = rpc::MarkRecord(
      rpc::MapperCall(2, rpc::MapperProcedure::Set, {kCore + 1, 1, rpc::kTcp, 1025}));
  const rpc::Bytes again =
      rpc::MarkRecord(rpc::MapperCall(3, rpc::MapperProcedure::GetPort, {kCore + 1, 1, rpc::kTcp}));
  both.insert(both.end(), again.begin(), again.end());
  ASSERT_EQ(client.Write(reinterpret_cast<const char*>(both.data()), both.size()),
            static_cast<std::ptrdiff_t>(both.size()));
  rpc::RecordReader replies(1024);
  std::vector<rpc::Bytes> records;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        char bytes[256];
        const std::ptrdiff_t n = client.Read(bytes, sizeof bytes);
        if (n > 0) {
          for (rpc::Bytes& record :
               replies.Push({reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(n)})) {
            records.push_back(std::move(record));
          }
        }
        return records.size() == 2;
      },
      5000));
  EXPECT_EQ(rpc::MapperResult(records[0], 2), 1u);
  EXPECT_EQ(rpc::MapperResult(records[1], 3), 1025u);

  // A record beyond any a port mapper takes: the connection goes.
  const net::StreamSocket flooder = net::StreamSocket::Connect("127.0.0.1", service.Port());
  const char huge[] = {0x7f, 0x00, 0x00, 0x00};
  flooder.Write(huge, sizeof huge);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        char byte;
        return flooder.Read(&byte, 1) == 0;
      },
      5000));
}

// Registering with another port mapper: taken, taken back when the
// registration goes; refused where the program is taken; given up, said,
// where none answers.
TEST(PortMapperRegistration, TakenRefusedOrGivenUp) {
  rpc::PortMapper system;
  PortMapperService service(system, "127.0.0.1", 0);
  const net::Endpoint at = *net::Endpoint::Of("127.0.0.1", service.Port());
  std::optional<std::pair<bool, QString>> done;
  auto watch = [&done](PortMapperRegistration& registration) {
    done.reset();
    QObject::connect(&registration, &PortMapperRegistration::Done,
                     [&done](bool registered, const QString& why) {
                       done = {registered, why};
                     });
    registration.Start();
    return QTest::qWaitFor([&] { return done.has_value(); }, 5000);
  };
  {
    PortMapperRegistration ours({{kCore, 1, rpc::kTcp, 1024}, {kCore + 1, 1, rpc::kTcp, 1025}}, at);
    ASSERT_TRUE(watch(ours));
    EXPECT_TRUE(done->first) << done->second.toStdString();
    EXPECT_EQ(system.Mappings().size(), 2u);

    PortMapperRegistration second({{kCore, 1, rpc::kTcp, 2048}}, at);
    ASSERT_TRUE(watch(second));
    EXPECT_FALSE(done->first);
    EXPECT_TRUE(done->second.contains("refused program 395183 version 1"))
        << done->second.toStdString();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return system.Mappings().empty(); }, 5000))
      << "taken back when it went";

  const net::DatagramSocket deaf = net::DatagramSocket::Bind("127.0.0.1", 0);
  PortMapperRegistration unheard({{kCore, 1, rpc::kTcp, 1024}},
                                 *net::Endpoint::Of("127.0.0.1", deaf.LocalPort()));
  ASSERT_TRUE(watch(unheard));
  EXPECT_FALSE(done->first);
  EXPECT_TRUE(done->second.startsWith("no port mapper answered at 127.0.0.1:"))
      << done->second.toStdString();
}

}  // namespace
}  // namespace zrt::serve
