// UDP on the loopback: a datagram and its sender, one longer than the
// reader's buffer, addresses as numbers, and a port already taken.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/datagram_socket.h"

namespace zrt::net {
namespace {

// The next datagram, waited for a while: its bytes, empty when none came.
std::string Next(const DatagramSocket& socket, Endpoint& from, std::size_t room = 64) {
  std::string bytes(room, '\0');
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::ptrdiff_t got = socket.ReceiveFrom(bytes.data(), bytes.size(), from);
    if (got >= 0) return bytes.substr(0, static_cast<std::size_t>(got));
    if (got == DatagramSocket::kFailed) return {};
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return {};
}

TEST(DatagramSocket, ADatagramAndItsSender) {
  const DatagramSocket a = DatagramSocket::Bind("127.0.0.1", 0);
  const DatagramSocket b = DatagramSocket::Bind("127.0.0.1", 0, true);
  ASSERT_NE(a.LocalPort(), 0);
  const auto toB = Endpoint::Of("127.0.0.1", b.LocalPort());
  ASSERT_TRUE(toB);
  EXPECT_EQ(a.SendTo("hello", 5, *toB), 5);
  Endpoint from;
  EXPECT_EQ(Next(b, from), "hello");
  EXPECT_EQ(from.Name(), "127.0.0.1:" + std::to_string(a.LocalPort()));
  EXPECT_TRUE(from.IsLoopback());
  // Answered where it came from.
  EXPECT_EQ(b.SendTo("back", 4, from), 4);
  Endpoint back;
  EXPECT_EQ(Next(a, back), "back");
  // Longer than the room for it: its start is kept, the rest dropped.
  EXPECT_EQ(a.SendTo("0123456789", 10, *toB), 10);
  EXPECT_EQ(Next(b, from, 4), "0123");
  Endpoint none;
  char byte = 0;
  EXPECT_EQ(b.ReceiveFrom(&byte, 1, none), DatagramSocket::kWouldBlock);
}

TEST(DatagramSocket, AddressesAndPorts) {
  EXPECT_FALSE(Endpoint::Of("localhost", 1)) << "numbers only";
  EXPECT_TRUE(Endpoint::Of("::1", 1)->IsLoopback());
  EXPECT_FALSE(Endpoint::Of("192.0.2.1", 1)->IsLoopback());
  EXPECT_EQ(Endpoint::Of("192.0.2.1", 111)->Name(), "192.0.2.1:111");
  const DatagramSocket taken = DatagramSocket::Bind("127.0.0.1", 0);
  try {
    DatagramSocket::Bind("127.0.0.1", taken.LocalPort());
    ADD_FAILURE() << "a port taken was bound again";
  } catch (const NetError& error) {
    EXPECT_NE(std::string(error.what()).find(std::to_string(taken.LocalPort())), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace zrt::net
