#include "platform/net/socket_loop_core.h"

#include <algorithm>

namespace quillon::platform::net {
namespace {

// How long Close waits for queued bytes to leave.
constexpr std::chrono::milliseconds kCloseFlushLimit(2000);

std::string Ipv4Text(const unsigned char* bytes) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(bytes[i]);
  }
  return text;
}

// RFC 5952: lower-case hexadecimal without leading zeros, the longest run of
// two or more zero groups (the first of equal runs) written as "::".
std::string Ipv6Text(const unsigned char* bytes) {
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = (bytes[2 * i] << 8) | bytes[2 * i + 1];
  int bestStart = -1, bestLength = 0;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength && j - i >= 2) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      text += "::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = (groups[i] >> shift) & 0xF;
      if (digit == 0 && !started && shift > 0) continue;
      started = true;
      text += kHex[digit];
    }
  }
  return text;
}

}  // namespace

std::string AddressLiteral(const std::vector<unsigned char>& ip) {
  if (ip.size() == 4) return "[" + Ipv4Text(ip.data()) + "]";
  if (ip.size() != 16) return {};
  static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (std::equal(kMapped, kMapped + 12, ip.begin())) return "[" + Ipv4Text(ip.data() + 12) + "]";
  return "[IPv6:" + Ipv6Text(ip.data()) + "]";
}

CoreSocketLoop::CoreSocketLoop(SocketEvents& events, std::chrono::milliseconds tick,
                               std::unique_ptr<SocketSystem> system)
    : events_(events), tick_(tick), system_(std::move(system)), nextTick_(Clock::now() + tick) {}

CoreSocketLoop::~CoreSocketLoop() { Shut(); }

void CoreSocketLoop::Connect(const std::string& host, const std::string& port) {
  Shut();
  addresses_.clear();
  nextAddress_ = 0;
  SocketFailure resolved = system_->Resolve(host, port, &addresses_);
  if (resolved.number != 0) {
    Fail(std::move(resolved));
    return;
  }
  TryNextAddress({kErrorConnectionRefused, "No address to connect to."});
}

void CoreSocketLoop::TryNextAddress(SocketFailure last) {
  Shut();
  while (nextAddress_ < addresses_.size()) {
    SocketFailure started = system_->StartConnect(addresses_[nextAddress_++]);
    if (started.number == 0) {
      state_ = State::Connecting;
      return;
    }
    last = std::move(started);
  }
  Fail(std::move(last));
}

void CoreSocketLoop::SendData(std::string_view data) {
  if (state_ != State::Open) return;
  outgoing_.append(data);
  Flush();
}

void CoreSocketLoop::Close() {
  if (state_ == State::Open) {
    const auto limit = Clock::now() + kCloseFlushLimit;
    while (!outgoing_.empty() && system_->HasSocket() && Clock::now() < limit) {
      system_->Wait(false, true, std::chrono::milliseconds(50));
      if (!Flush()) break;
    }
  }
  Shut();
}

std::string CoreSocketLoop::LocalAddress() {
  if (state_ != State::Open || !system_->HasSocket()) return {};
  return AddressLiteral(system_->LocalIp());
}

void CoreSocketLoop::SetTimerEnabled(bool enabled) {
  if (enabled && !timerEnabled_) nextTick_ = Clock::now() + tick_;
  timerEnabled_ = enabled;
}

void CoreSocketLoop::ProcessEvents() {
  if (pendingError_) {
    pendingError_ = false;
    const SocketFailure failure = std::move(pendingFailure_);
    events_.OnError(failure.number, failure.description);
    return;
  }
  const auto now = Clock::now();
  if (timerEnabled_ && now >= nextTick_) {
    nextTick_ += tick_;
    if (nextTick_ < now) nextTick_ = now + tick_;
    events_.OnTick();
    return;
  }
  const auto wait = timerEnabled_
                        ? std::chrono::duration_cast<std::chrono::milliseconds>(nextTick_ - now) +
                              std::chrono::milliseconds(1)
                        : tick_;
  const bool connecting = state_ == State::Connecting;
  const Readiness ready = system_->Wait(state_ == State::Open, connecting || !outgoing_.empty(), wait);
  if (!system_->HasSocket()) return;

  if (connecting) {
    if (!ready.writable && !ready.failed) return;
    SocketFailure outcome = system_->ConnectOutcome();
    if (outcome.number != 0) {
      TryNextAddress(std::move(outcome));
      return;
    }
    state_ = State::Open;
    events_.OnConnect();
    return;
  }
  if (ready.writable && !Flush()) return;
  if (state_ == State::Open && (ready.readable || ready.failed)) Receive();
}

bool CoreSocketLoop::Flush() {
  while (!outgoing_.empty() && system_->HasSocket()) {
    Transfer sent = system_->Send(outgoing_);
    if (sent.failure.number != 0) {
      Fail(std::move(sent.failure));
      return false;
    }
    if (sent.wouldBlock || sent.count == 0) return true;
    outgoing_.erase(0, sent.count);
  }
  return true;
}

void CoreSocketLoop::Receive() {
  std::string data;
  char buffer[16384];
  for (;;) {
    Transfer got = system_->Receive(buffer, sizeof buffer);
    if (got.count > 0) {
      data.append(buffer, got.count);
      continue;
    }
    if (got.wouldBlock) break;
    // The peer closed or the connection broke: what came before still
    // arrives, then the state reads closed (and a break is an error too).
    Shut();
    if (!data.empty()) events_.OnDataArrival(data);
    if (got.failure.number != 0) Fail(std::move(got.failure));
    return;
  }
  if (!data.empty()) events_.OnDataArrival(data);
}

void CoreSocketLoop::Fail(SocketFailure failure) {
  Shut();
  pendingError_ = true;
  pendingFailure_ = std::move(failure);
}

void CoreSocketLoop::Shut() {
  system_->CloseSocket();
  state_ = State::Closed;
  outgoing_.clear();
}

namespace {

class SystemNetwork : public Network {
 public:
  SystemNetwork(std::chrono::milliseconds tick,
                std::function<std::unique_ptr<SocketSystem>()> make)
      : tick_(tick), make_(std::move(make)) {}
  std::unique_ptr<SocketLoop> CreateSocketLoop(SocketEvents& events) override {
    return std::make_unique<CoreSocketLoop>(events, tick_, make_());
  }

 private:
  std::chrono::milliseconds tick_;
  std::function<std::unique_ptr<SocketSystem>()> make_;
};

}  // namespace

std::unique_ptr<Network> NetworkOver(std::chrono::milliseconds tick,
                                     std::function<std::unique_ptr<SocketSystem>()> make) {
  return std::make_unique<SystemNetwork>(tick, std::move(make));
}

}  // namespace quillon::platform::net
