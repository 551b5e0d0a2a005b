// The socket loop over Winsock non-blocking sockets and select(). select() and
// not WSAPoll: older Windows never reports a refused connect through WSAPoll.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <vector>

#include "platform/net/socket_loop.h"

namespace quillon::platform::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kCloseFlushLimit(2000);

std::string ErrorText(int error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length ? std::string(text, length) : "Winsock error " + std::to_string(error);
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

// Winsock needs starting once per process; the count keeps it started while
// any loop lives.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) ::WSACleanup();
  }
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

struct Candidate {
  sockaddr_storage address{};
  int length = 0;
  int family = 0;
};

class WinsockSocketLoop : public SocketLoop {
 public:
  WinsockSocketLoop(SocketEvents& events, std::chrono::milliseconds tick)
      : events_(events), tick_(tick), nextTick_(Clock::now() + tick) {}
  ~WinsockSocketLoop() override { CloseSocket(); }

  void Connect(const std::string& host, const std::string& port) override {
    CloseSocket();
    candidates_.clear();
    nextCandidate_ = 0;
    if (!session_.started()) {
      Fail(static_cast<std::uint32_t>(::WSAGetLastError()), "Winsock could not be started.");
      return;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
      Fail(static_cast<std::uint32_t>(resolved),
           ErrorText(resolved) + " (" + host + ":" + port + ")");
      return;
    }
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
      Candidate candidate;
      std::memcpy(&candidate.address, entry->ai_addr, entry->ai_addrlen);
      candidate.length = static_cast<int>(entry->ai_addrlen);
      candidate.family = entry->ai_family;
      candidates_.push_back(candidate);
    }
    ::freeaddrinfo(found);
    TryNextCandidate(WSAECONNREFUSED);
  }

  void SendData(std::string_view data) override {
    if (state_ != State::Open) return;
    outgoing_.append(data);
    Flush();
  }

  void Close() override {
    if (state_ == State::Open) {
      const auto limit = Clock::now() + kCloseFlushLimit;
      while (!outgoing_.empty() && socket_ != INVALID_SOCKET && Clock::now() < limit) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(socket_, &writable);
        timeval wait{0, 50000};
        ::select(0, nullptr, &writable, nullptr, &wait);
        if (!Flush()) break;
      }
    }
    CloseSocket();
  }

  bool IsOpen() const override { return state_ != State::Closed; }

  std::string LocalHostName() override {
    char name[256] = {};
    if (!session_.started() || ::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
  }

  void SetTimerEnabled(bool enabled) override {
    if (enabled && !timerEnabled_) nextTick_ = Clock::now() + tick_;
    timerEnabled_ = enabled;
  }

  // One event per call, as on POSIX: handlers may run nested loops.
  void ProcessEvents() override {
    if (pendingError_) {
      pendingError_ = false;
      const std::string text = std::move(pendingErrorText_);
      events_.OnError(pendingErrorNumber_, text);
      return;
    }
    const auto now = Clock::now();
    if (timerEnabled_ && now >= nextTick_) {
      nextTick_ += tick_;
      if (nextTick_ < now) nextTick_ = now + tick_;
      events_.OnTick();
      return;
    }
    const auto wait = timerEnabled_ ? nextTick_ - now : std::chrono::nanoseconds(tick_);
    const long long waitUs =
        std::chrono::duration_cast<std::chrono::microseconds>(wait).count() + 1000;
    timeval timeout{static_cast<long>(waitUs / 1000000), static_cast<long>(waitUs % 1000000)};
    if (socket_ == INVALID_SOCKET) {
      ::Sleep(static_cast<DWORD>(waitUs / 1000));
      return;
    }
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (state_ == State::Connecting) {
      FD_SET(socket_, &writable);
      FD_SET(socket_, &failed);
    } else {
      FD_SET(socket_, &readable);
      if (!outgoing_.empty()) FD_SET(socket_, &writable);
    }
    if (::select(0, &readable, &writable, &failed, &timeout) <= 0) return;

    if (state_ == State::Connecting) {
      if (FD_ISSET(socket_, &failed)) {
        int error = 0;
        int length = sizeof error;
        ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        TryNextCandidate(error != 0 ? error : WSAECONNREFUSED);
        return;
      }
      state_ = State::Open;
      events_.OnConnect();
      return;
    }
    if (FD_ISSET(socket_, &writable)) Flush();
    if (state_ == State::Open && FD_ISSET(socket_, &readable)) Receive();
  }

 private:
  enum class State { Closed, Connecting, Open };

  void TryNextCandidate(int lastError) {
    CloseSocket();
    while (nextCandidate_ < candidates_.size()) {
      const Candidate& candidate = candidates_[nextCandidate_++];
      socket_ = ::socket(candidate.family, SOCK_STREAM, IPPROTO_TCP);
      if (socket_ == INVALID_SOCKET) {
        lastError = ::WSAGetLastError();
        continue;
      }
      u_long nonBlocking = 1;
      ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
      if (::connect(socket_, reinterpret_cast<const sockaddr*>(&candidate.address),
                    candidate.length) == 0 ||
          ::WSAGetLastError() == WSAEWOULDBLOCK) {
        state_ = State::Connecting;
        return;
      }
      lastError = ::WSAGetLastError();
      CloseSocket();
    }
    Fail(static_cast<std::uint32_t>(lastError), ErrorText(lastError));
  }

  bool Flush() {
    while (!outgoing_.empty() && socket_ != INVALID_SOCKET) {
      const int sent = ::send(socket_, outgoing_.data(), static_cast<int>(outgoing_.size()), 0);
      if (sent > 0) {
        outgoing_.erase(0, static_cast<std::size_t>(sent));
        continue;
      }
      const int error = ::WSAGetLastError();
      if (sent < 0 && error == WSAEWOULDBLOCK) return true;
      Fail(static_cast<std::uint32_t>(error), ErrorText(error));
      return false;
    }
    return true;
  }

  void Receive() {
    std::string data;
    char buffer[16384];
    for (;;) {
      const int got = ::recv(socket_, buffer, sizeof buffer, 0);
      if (got > 0) {
        data.append(buffer, static_cast<std::size_t>(got));
        continue;
      }
      const int error = ::WSAGetLastError();
      if (got < 0 && error == WSAEWOULDBLOCK) break;
      if (got < 0) {
        CloseSocket();
        if (!data.empty()) events_.OnDataArrival(data);
        Fail(static_cast<std::uint32_t>(error), ErrorText(error));
        return;
      }
      CloseSocket();
      break;
    }
    if (!data.empty()) events_.OnDataArrival(data);
  }

  void Fail(std::uint32_t number, std::string text) {
    CloseSocket();
    pendingError_ = true;
    pendingErrorNumber_ = number;
    pendingErrorText_ = std::move(text);
  }

  void CloseSocket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
    state_ = State::Closed;
    outgoing_.clear();
  }

  WinsockSession session_;
  SocketEvents& events_;
  const std::chrono::milliseconds tick_;
  Clock::time_point nextTick_;
  bool timerEnabled_ = true;
  SOCKET socket_ = INVALID_SOCKET;
  State state_ = State::Closed;
  std::vector<Candidate> candidates_;
  std::size_t nextCandidate_ = 0;
  std::string outgoing_;
  bool pendingError_ = false;
  std::uint32_t pendingErrorNumber_ = 0;
  std::string pendingErrorText_;
};

class WinsockNetwork : public Network {
 public:
  explicit WinsockNetwork(std::chrono::milliseconds tick) : tick_(tick) {}
  std::unique_ptr<SocketLoop> CreateSocketLoop(SocketEvents& events) override {
    return std::make_unique<WinsockSocketLoop>(events, tick_);
  }

 private:
  std::chrono::milliseconds tick_;
};

}  // namespace

std::unique_ptr<Network> CreateHostNetwork(std::chrono::milliseconds tickInterval) {
  return std::make_unique<WinsockNetwork>(tickInterval);
}

}  // namespace quillon::platform::net
