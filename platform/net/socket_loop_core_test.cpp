// The socket loop over a scripted socket layer: the address walk, data with a
// close or a reset in one read, partial sends, the drain on Close, and errors
// delivered as events after the call that met them.
#include "platform/net/socket_loop_core.h"

#include <gtest/gtest.h>

#include <deque>

namespace quillon::platform::net {
namespace {

struct Script {
  std::vector<std::uint32_t> connectErrors;  // per address; 0 connects
  std::deque<std::string> incoming;          // one chunk per Receive
  enum class End { kNone, kClose, kReset } end = End::kNone;
  bool resetOnSend = false;  // the peer resets once the first command is sent
  std::size_t sendChunk = 1 << 20;  // bytes one Send takes at most
  std::string sent;
  int attempts = 0;
  std::uint32_t sendError = 0;  // Send fails with this
};

class ScriptedSystem : public SocketSystem {
 public:
  explicit ScriptedSystem(Script& script) : script_(script) {}
  SocketFailure Resolve(const std::string&, const std::string&,
                        std::vector<SocketAddress>* addresses) override {
    addresses->resize(script_.connectErrors.size());
    return {};
  }
  SocketFailure StartConnect(const SocketAddress&) override {
    open_ = true;
    return {};
  }
  SocketFailure ConnectOutcome() override {
    const std::uint32_t error = script_.connectErrors[static_cast<std::size_t>(script_.attempts++)];
    return error ? SocketFailure{error, "refused"} : SocketFailure{};
  }
  bool HasSocket() const override { return open_; }
  Readiness Wait(bool, bool, std::chrono::milliseconds) override {
    return {!script_.incoming.empty() || script_.end != Script::End::kNone, true, false};
  }
  Transfer Send(std::string_view data) override {
    if (script_.sendError) return {0, false, false, {script_.sendError, "broken"}};
    const std::size_t count = std::min(data.size(), script_.sendChunk);
    script_.sent.append(data.substr(0, count));
    if (script_.resetOnSend) script_.end = Script::End::kReset;
    return {count, false, false, {}};
  }
  Transfer Receive(char* buffer, std::size_t size) override {
    if (!script_.incoming.empty()) {
      std::string chunk = std::move(script_.incoming.front());
      script_.incoming.pop_front();
      const std::size_t count = std::min(size, chunk.size());
      chunk.copy(buffer, count);
      return {count, false, false, {}};
    }
    if (script_.end == Script::End::kClose) return {0, false, true, {}};
    if (script_.end == Script::End::kReset) {
      return {0, false, false, {kErrorConnectionReset, "Connection reset by peer"}};
    }
    return {0, true, false, {}};
  }
  void CloseSocket() override { open_ = false; }
  std::string HostName() override { return "pc042"; }
  std::vector<unsigned char> LocalIp() override {
    if (!open_) return {};
    return {192, 0, 2, 7};
  }

 private:
  Script& script_;
  bool open_ = false;
};

struct Recorder : SocketEvents {
  void OnConnect() override { log += "connect;"; }
  void OnDataArrival(const std::string& data) override { log += "data " + data + ";"; }
  void OnError(std::uint32_t number, const std::string&) override {
    log += "error " + std::to_string(number) + ";";
  }
  void OnTick() override {}
  std::string log;
};

std::unique_ptr<SocketLoop> Loop(Script& script, Recorder& events) {
  return std::make_unique<CoreSocketLoop>(events, std::chrono::milliseconds(1000),
                                          std::make_unique<ScriptedSystem>(script));
}

TEST(CoreSocketLoopTest, ReadsEndingInACloseOrAResetAndTheAddressWalk) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> connectErrors;
    Script::End end;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"close", {0}, Script::End::kClose, "connect;data 220 hi\r\n;"},
      // The reset is still an open connection until its event has come.
      {"reset", {0}, Script::End::kReset, "connect;data 220 hi\r\n;error 10054;"},
      {"second address", {kErrorConnectionRefused, 0}, Script::End::kClose,
       "connect;data 220 hi\r\n;"},
      {"no address answers", {kErrorConnectionRefused, kErrorTimedOut}, Script::End::kNone,
       "error 10060;"},
  };
  for (const Case& c : cases) {
    Script script;
    script.connectErrors = c.connectErrors;
    script.incoming = {"220 hi\r\n"};
    script.end = c.end;
    Recorder events;
    auto loop = Loop(script, events);
    loop->Connect("mail", "25");
    // A waiter stops once the connection reads closed: every event must have come by then.
    for (int i = 0; i < 10 && loop->IsOpen(); ++i) loop->ProcessEvents();
    EXPECT_EQ(events.log, c.expected) << c.name;
    EXPECT_FALSE(loop->IsOpen()) << c.name;
  }
}

TEST(CoreSocketLoopTest, SendsLeaveInPiecesDrainOnCloseAndFailAsLaterEvents) {
  Script script;
  script.connectErrors = {0};
  script.sendChunk = 3;
  Recorder events;
  auto loop = Loop(script, events);
  loop->Connect("mail", "25");
  loop->ProcessEvents();
  ASSERT_EQ(events.log, "connect;");
  loop->SendData("HELO pc042\r\n");
  loop->SendData("QUIT\r\n");
  loop->Close();
  EXPECT_EQ(script.sent, "HELO pc042\r\nQUIT\r\n");
  EXPECT_FALSE(loop->IsOpen());

  Script broken;
  broken.connectErrors = {0};
  broken.sendError = kErrorConnectionReset;
  Recorder brokenEvents;
  auto brokenLoop = Loop(broken, brokenEvents);
  brokenLoop->Connect("mail", "25");
  brokenLoop->ProcessEvents();
  brokenLoop->SendData("HELO pc042\r\n");
  EXPECT_EQ(brokenEvents.log, "connect;");
  EXPECT_TRUE(brokenLoop->IsOpen());
  brokenLoop->ProcessEvents();
  EXPECT_EQ(brokenEvents.log, "connect;error 10054;");
  EXPECT_FALSE(brokenLoop->IsOpen());
}

TEST(CoreSocketLoopTest, TheLocalAddressIsAnAddressLiteralWhileConnected) {
  Script script;
  script.connectErrors = {0};
  Recorder events;
  auto loop = Loop(script, events);
  EXPECT_EQ(loop->LocalAddress(), "");
  loop->Connect("mail", "25");
  // Still connecting: no local end to speak of yet.
  EXPECT_EQ(loop->LocalAddress(), "");
  loop->ProcessEvents();
  ASSERT_EQ(events.log, "connect;");
  EXPECT_EQ(loop->LocalAddress(), "[192.0.2.7]");
  loop->Close();
  EXPECT_EQ(loop->LocalAddress(), "");
}

TEST(CoreSocketLoopTest, AddressLiteralsOfIpv4AndIpv6) {
  using Bytes = std::vector<unsigned char>;
  const auto v6 = [](std::initializer_list<unsigned> groups) {
    Bytes bytes;
    for (unsigned g : groups) {
      bytes.push_back(static_cast<unsigned char>(g >> 8));
      bytes.push_back(static_cast<unsigned char>(g & 0xFF));
    }
    return bytes;
  };
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {{192, 0, 2, 7}, "[192.0.2.7]"},
      {{127, 0, 0, 1}, "[127.0.0.1]"},
      {v6({0, 0, 0, 0, 0, 0, 0, 1}), "[IPv6:::1]"},
      {v6({0, 0, 0, 0, 0, 0, 0, 0}), "[IPv6:::]"},
      {v6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 7}), "[IPv6:2001:db8::7]"},
      // One zero group stays; the longer run of zeros is the one shortened.
      {v6({0x2001, 0xdb8, 0, 1, 0, 0, 0, 1}), "[IPv6:2001:db8:0:1::1]"},
      // Of two equal runs, the first.
      {v6({0x2001, 0, 0, 1, 0, 0, 1, 0xABCD}), "[IPv6:2001::1:0:0:1:abcd]"},
      {v6({0xfe80, 0, 0, 0, 0x0200, 0x5eff, 0xfe00, 0x5301}), "[IPv6:fe80::200:5eff:fe00:5301]"},
      {v6({1, 2, 3, 4, 5, 6, 7, 8}), "[IPv6:1:2:3:4:5:6:7:8]"},
      {v6({1, 0, 0, 0, 0, 0, 0, 0}), "[IPv6:1::]"},
      // An IPv4 client on an IPv6 socket.
      {v6({0, 0, 0, 0, 0, 0xffff, 0xc000, 0x0207}), "[192.0.2.7]"},
      {{}, ""},
      {{1, 2, 3}, ""},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(AddressLiteral(bytes), expected) << expected;
  }
}

}  // namespace
}  // namespace quillon::platform::net
