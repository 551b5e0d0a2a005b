// The socket loop over POSIX non-blocking sockets and poll(2). Connection
// attempts walk the resolver's addresses in order, IPv6 and IPv4 alike.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/net/socket_loop.h"

namespace quillon::platform::net {
namespace {

using Clock = std::chrono::steady_clock;

// How long Close waits for queued bytes to leave.
constexpr std::chrono::milliseconds kCloseFlushLimit(2000);

std::uint32_t WinsockNumber(int error) {
  switch (error) {
    case ECONNREFUSED: return kErrorConnectionRefused;
    case ETIMEDOUT: return kErrorTimedOut;
    case EHOSTUNREACH: return kErrorHostUnreachable;
    case ENETUNREACH: return kErrorNetworkUnreachable;
    case ECONNRESET:
    case EPIPE: return kErrorConnectionReset;
    case EINVAL: return kErrorInvalidArgument;
    default: return static_cast<std::uint32_t>(error);
  }
}

struct Candidate {
  sockaddr_storage address{};
  socklen_t length = 0;
  int family = 0;
};

class PosixSocketLoop : public SocketLoop {
 public:
  PosixSocketLoop(SocketEvents& events, std::chrono::milliseconds tick)
      : events_(events), tick_(tick), nextTick_(Clock::now() + tick) {}
  ~PosixSocketLoop() override { CloseDescriptor(); }

  void Connect(const std::string& host, const std::string& port) override {
    CloseDescriptor();
    candidates_.clear();
    nextCandidate_ = 0;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
      const bool hostUnknown = resolved == EAI_NONAME || resolved == EAI_FAIL ||
                               resolved == EAI_AGAIN || resolved == EAI_NODATA;
      Fail(hostUnknown ? kErrorHostNotFound : kErrorInvalidArgument,
           std::string(::gai_strerror(resolved)) + " (" + host + ":" + port + ")");
      return;
    }
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
      Candidate candidate;
      std::memcpy(&candidate.address, entry->ai_addr, entry->ai_addrlen);
      candidate.length = static_cast<socklen_t>(entry->ai_addrlen);
      candidate.family = entry->ai_family;
      candidates_.push_back(candidate);
    }
    ::freeaddrinfo(found);
    TryNextCandidate(ECONNREFUSED);
  }

  void SendData(std::string_view data) override {
    if (state_ != State::Open) return;
    outgoing_.append(data);
    Flush();
  }

  void Close() override {
    if (state_ == State::Open) {
      const auto limit = Clock::now() + kCloseFlushLimit;
      while (!outgoing_.empty() && fd_ >= 0 && Clock::now() < limit) {
        pollfd entry{fd_, POLLOUT, 0};
        ::poll(&entry, 1, 50);
        if (!Flush()) break;
      }
    }
    CloseDescriptor();
  }

  bool IsOpen() const override { return state_ != State::Closed; }

  std::string LocalHostName() override {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
  }

  void SetTimerEnabled(bool enabled) override {
    if (enabled && !timerEnabled_) nextTick_ = Clock::now() + tick_;
    timerEnabled_ = enabled;
  }

  // At most one event is delivered per call: a handler may run nested loops
  // and change the connection, so nothing read before it is trusted after it.
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
    const int waitMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()) + 1;
    if (fd_ < 0) {
      ::poll(nullptr, 0, waitMs);
      return;
    }
    pollfd entry{fd_, 0, 0};
    if (state_ == State::Connecting || !outgoing_.empty()) entry.events |= POLLOUT;
    if (state_ == State::Open) entry.events |= POLLIN;
    if (::poll(&entry, 1, waitMs) <= 0) return;

    if (state_ == State::Connecting) {
      int error = 0;
      socklen_t length = sizeof error;
      ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
      if (error != 0 || (entry.revents & (POLLERR | POLLHUP))) {
        TryNextCandidate(error != 0 ? error : ECONNREFUSED);
        return;
      }
      state_ = State::Open;
      events_.OnConnect();
      return;
    }
    if (entry.revents & POLLOUT) Flush();
    if (state_ == State::Open && (entry.revents & (POLLIN | POLLHUP | POLLERR))) Receive();
  }

 private:
  enum class State { Closed, Connecting, Open };

  void TryNextCandidate(int lastError) {
    CloseDescriptor();
    while (nextCandidate_ < candidates_.size()) {
      const Candidate& candidate = candidates_[nextCandidate_++];
      fd_ = ::socket(candidate.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      if (fd_ < 0) {
        lastError = errno;
        continue;
      }
      if (::connect(fd_, reinterpret_cast<const sockaddr*>(&candidate.address),
                    candidate.length) == 0 ||
          errno == EINPROGRESS) {
        state_ = State::Connecting;
        return;
      }
      lastError = errno;
      CloseDescriptor();
    }
    Fail(WinsockNumber(lastError), std::strerror(lastError));
  }

  // False once the connection has failed.
  bool Flush() {
    while (!outgoing_.empty() && fd_ >= 0) {
      const ssize_t sent = ::send(fd_, outgoing_.data(), outgoing_.size(), MSG_NOSIGNAL);
      if (sent > 0) {
        outgoing_.erase(0, static_cast<std::size_t>(sent));
        continue;
      }
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
      const int error = errno;
      CloseDescriptor();
      Fail(WinsockNumber(error), std::strerror(error));
      return false;
    }
    return true;
  }

  void Receive() {
    std::string data;
    char buffer[16384];
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got > 0) {
        data.append(buffer, static_cast<std::size_t>(got));
        continue;
      }
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
      if (got < 0) {
        const int error = errno;
        CloseDescriptor();
        if (!data.empty()) events_.OnDataArrival(data);
        Fail(WinsockNumber(error), std::strerror(error));
        return;
      }
      // The peer closed: what came before still arrives, then the state reads closed.
      CloseDescriptor();
      break;
    }
    if (!data.empty()) events_.OnDataArrival(data);
  }

  // Errors are delivered by the next ProcessEvents, never from inside the call
  // that met them, as the handlers expect.
  void Fail(std::uint32_t number, std::string text) {
    CloseDescriptor();
    pendingError_ = true;
    pendingErrorNumber_ = number;
    pendingErrorText_ = std::move(text);
  }

  void CloseDescriptor() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    state_ = State::Closed;
    outgoing_.clear();
  }

  SocketEvents& events_;
  const std::chrono::milliseconds tick_;
  Clock::time_point nextTick_;
  bool timerEnabled_ = true;
  int fd_ = -1;
  State state_ = State::Closed;
  std::vector<Candidate> candidates_;
  std::size_t nextCandidate_ = 0;
  std::string outgoing_;
  bool pendingError_ = false;
  std::uint32_t pendingErrorNumber_ = 0;
  std::string pendingErrorText_;
};

class PosixNetwork : public Network {
 public:
  explicit PosixNetwork(std::chrono::milliseconds tick) : tick_(tick) {}
  std::unique_ptr<SocketLoop> CreateSocketLoop(SocketEvents& events) override {
    return std::make_unique<PosixSocketLoop>(events, tick_);
  }

 private:
  std::chrono::milliseconds tick_;
};

}  // namespace

std::unique_ptr<Network> CreateHostNetwork(std::chrono::milliseconds tickInterval) {
  return std::make_unique<PosixNetwork>(tickInterval);
}

}  // namespace quillon::platform::net
