// The host socket loop without a server: ticks, refused connections and
// unknown hosts arrive as events, on Linux and under Wine alike.
#include "platform/net/socket_loop.h"

#include <gtest/gtest.h>

#include <tuple>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quillon::platform::net {
namespace {

struct RecordingEvents : SocketEvents {
  void OnConnect() override { ++connects; }
  void OnDataArrival(const std::string& data) override { received += data; }
  void OnError(std::uint32_t number, const std::string& description) override {
    errors.push_back(number);
    lastDescription = description;
  }
  void OnTick() override { ++ticks; }
  int connects = 0, ticks = 0;
  std::string received, lastDescription;
  std::vector<std::uint32_t> errors;
};

// Processes events until `done` or `limit` calls.
template <typename Done>
void RunUntil(SocketLoop& loop, Done done, int limit = 2000) {
  for (int i = 0; i < limit && !done(); ++i) loop.ProcessEvents();
}

TEST(SocketLoopTest, TicksComeAtTheIntervalAndStopWithTheTimer) {
  auto network = CreateHostNetwork(std::chrono::milliseconds(2));
  RecordingEvents events;
  auto loop = network->CreateSocketLoop(events);
  const auto start = std::chrono::steady_clock::now();
  RunUntil(*loop, [&] { return events.ticks >= 10; });
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(events.ticks, 10);
  // Ten ticks of 2 ms cannot come sooner than 20 ms.
  EXPECT_GE(elapsed, std::chrono::milliseconds(18));

  loop->SetTimerEnabled(false);
  for (int i = 0; i < 5; ++i) loop->ProcessEvents();
  EXPECT_EQ(events.ticks, 10);
  EXPECT_FALSE(loop->IsOpen());
  EXPECT_FALSE(loop->LocalHostName().empty());
}

TEST(SocketLoopTest, ConnectionFailuresArriveAsErrorEventsWithWinsockNumbers) {
  struct Case {
    std::string host, port;
    std::uint32_t error;
  };
  // Port 1 (tcpmux) is served nowhere on a test machine.
  const std::vector<Case> cases = {{"127.0.0.1", "1", kErrorConnectionRefused},
                                   {"no-such-host.invalid", "25", kErrorHostNotFound}};
  auto network = CreateHostNetwork(std::chrono::milliseconds(5));
  for (const Case& c : cases) {
    RecordingEvents events;
    auto loop = network->CreateSocketLoop(events);
    loop->Connect(c.host, c.port);
    // Never from inside Connect itself.
    EXPECT_TRUE(events.errors.empty());
    RunUntil(*loop, [&] { return !events.errors.empty(); });
    ASSERT_EQ(events.errors.size(), 1u) << c.host;
    EXPECT_EQ(events.errors[0], c.error) << c.host << ": " << events.lastDescription;
    EXPECT_FALSE(events.lastDescription.empty());
    EXPECT_EQ(events.connects, 0);
    EXPECT_FALSE(loop->IsOpen());
    // Sending on a failed connection is harmless.
    loop->SendData("QUIT\r\n");
    loop->Close();
  }
}

// What the port reader says of a port is what the loop's Connect does with
// it: the same failure for a port the host cannot use, a number otherwise.
TEST(SocketLoopTest, PortsAreReadAsConnectReadsThem) {
  auto network = CreateHostNetwork(std::chrono::milliseconds(5));
  for (const std::string port : {"99999999999999999999999", "0", "no-such-service", "1"}) {
    SCOPED_TRACE(port);
    const PortReading reading = ReadPortAsHost("127.0.0.1", port);
    RecordingEvents events;
    auto loop = network->CreateSocketLoop(events);
    loop->Connect("127.0.0.1", port);
    RunUntil(*loop, [&] { return !events.errors.empty() || events.connects > 0; });
    if (port == "1") {
      // Usable, and refused only by the peer, which the reader never asks.
      EXPECT_EQ(reading.error, 0u) << reading.description;
      EXPECT_EQ(reading.number, 1);
      continue;
    }
    EXPECT_NE(reading.error, 0u);
    ASSERT_EQ(events.errors.size(), 1u);
#ifdef _WIN32
    // Port 0 is refused by Windows itself, by Wine's host only at the connect.
    if (port == "0") continue;
#endif
    EXPECT_EQ(events.errors[0], reading.error);
    EXPECT_EQ(events.lastDescription, reading.description);
  }
  EXPECT_EQ(ReadPortAsHost("mail.example", "25").number, 25);
  EXPECT_EQ(ReadPortAsHost("mail.example", "025").number, 25);
  // The host is named, never looked up.
  EXPECT_NE(ReadPortAsHost("mail.example", "99999999999999999999999")
                .description.find("mail.example:99999999999999999999999"),
            std::string::npos);
}

#ifndef _WIN32
// A listener on the loopback address of `family`; the port, or 0 when the host
// has no such loopback (a machine without IPv6).
int Listen(int family, int* fd) {
  *fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (family == AF_INET) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *v4;
  } else {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_addr = in6addr_loopback;
    length = sizeof *v6;
  }
  if (*fd < 0 || ::bind(*fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(*fd, 1) != 0 ||
      ::getsockname(*fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                 : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
}

TEST(SocketLoopTest, TheLocalAddressOfAConnectionOverIpv4AndIpv6) {
  auto network = CreateHostNetwork(std::chrono::milliseconds(5));
  const std::vector<std::tuple<int, std::string, std::string>> cases = {
      {AF_INET, "127.0.0.1", "[127.0.0.1]"}, {AF_INET6, "::1", "[IPv6:::1]"}};
  for (const auto& [family, host, literal] : cases) {
    int listener = -1;
    const int port = Listen(family, &listener);
    if (port == 0) {
      if (listener >= 0) ::close(listener);
      ASSERT_EQ(family, AF_INET6) << "no IPv4 loopback";
      continue;  // no IPv6 here
    }
    RecordingEvents events;
    auto loop = network->CreateSocketLoop(events);
    EXPECT_EQ(loop->LocalAddress(), "");
    loop->Connect(host, std::to_string(port));
    RunUntil(*loop, [&] { return events.connects > 0 || !events.errors.empty(); });
    ASSERT_EQ(events.connects, 1) << host << ": " << events.lastDescription;
    EXPECT_EQ(loop->LocalAddress(), literal);
    loop->Close();
    EXPECT_EQ(loop->LocalAddress(), "");
    ::close(listener);
  }
}
#endif

}  // namespace
}  // namespace quillon::platform::net
