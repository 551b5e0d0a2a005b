// The host socket loop without a server: ticks, refused connections and
// unknown hosts arrive as events, on Linux and under Wine alike.
#include "platform/net/socket_loop.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillon::platform::net
