// The socket loop's system calls over POSIX non-blocking sockets and poll(2).
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/net/address_bytes.h"
#include "platform/net/socket_loop_core.h"

namespace quillon::platform::net {
namespace {

SocketFailure Failure(int error) {
  std::uint32_t number = static_cast<std::uint32_t>(error);
  switch (error) {
    case ECONNREFUSED: number = kErrorConnectionRefused; break;
    case ETIMEDOUT: number = kErrorTimedOut; break;
    case EHOSTUNREACH: number = kErrorHostUnreachable; break;
    case ENETUNREACH: number = kErrorNetworkUnreachable; break;
    case ECONNRESET:
    case EPIPE: number = kErrorConnectionReset; break;
    case EINVAL: number = kErrorInvalidArgument; break;
    default: break;
  }
  return {number, std::strerror(error)};
}

SocketFailure ResolveFailure(int resolved, const std::string& host, const std::string& port) {
  const bool hostUnknown = resolved == EAI_NONAME || resolved == EAI_FAIL ||
                           resolved == EAI_AGAIN || resolved == EAI_NODATA;
  return {hostUnknown ? kErrorHostNotFound : kErrorInvalidArgument,
          std::string(::gai_strerror(resolved)) + " (" + host + ":" + port + ")"};
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

class PosixSocketSystem : public SocketSystem {
 public:
  ~PosixSocketSystem() override { CloseSocket(); }

  SocketFailure Resolve(const std::string& host, const std::string& port,
                        std::vector<SocketAddress>* addresses) override {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) return ResolveFailure(resolved, host, port);
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(entry->ai_addr);
      addresses->push_back({{bytes, bytes + entry->ai_addrlen}, entry->ai_family});
    }
    ::freeaddrinfo(found);
    return {};
  }

  SocketFailure StartConnect(const SocketAddress& address) override {
    CloseSocket();
    fd_ = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return Failure(errno);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                  static_cast<socklen_t>(address.bytes.size())) == 0 ||
        errno == EINPROGRESS) {
      return {};
    }
    const int error = errno;
    CloseSocket();
    return Failure(error);
  }

  SocketFailure ConnectOutcome() override {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) return Failure(error);
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
      return Failure(ECONNREFUSED);
    }
    return {};
  }

  bool HasSocket() const override { return fd_ >= 0; }

  Readiness Wait(bool read, bool write, std::chrono::milliseconds timeout) override {
    const int waitMs = static_cast<int>(timeout.count());
    if (fd_ < 0) {
      ::poll(nullptr, 0, waitMs);
      return {};
    }
    pollfd entry{fd_, static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    if (::poll(&entry, 1, waitMs) <= 0) return {};
    return {(entry.revents & (POLLIN | POLLHUP)) != 0, (entry.revents & POLLOUT) != 0,
            (entry.revents & (POLLERR | POLLHUP)) != 0};
  }

  Transfer Send(std::string_view data) override {
    const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent >= 0) return {static_cast<std::size_t>(sent), false, false, {}};
    if (WouldBlock(errno)) return {0, true, false, {}};
    return {0, false, false, Failure(errno)};
  }

  Transfer Receive(char* buffer, std::size_t size) override {
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    if (got > 0) return {static_cast<std::size_t>(got), false, false, {}};
    if (got == 0) return {0, false, true, {}};
    if (WouldBlock(errno)) return {0, true, false, {}};
    return {0, false, false, Failure(errno)};
  }

  void CloseSocket() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  std::vector<unsigned char> LocalIp() override {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
      return {};
    }
    return AddressBytes(local);
  }

  std::string HostName() override {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
  }

 private:
  int fd_ = -1;
};

}  // namespace

PortReading ReadPortAsHost(const std::string& host, const std::string& port) {
  // The same resolver call as Connect's, on a numeric host so that nothing is
  // looked up: the port text is read the same way.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo("127.0.0.1", port.c_str(), &hints, &found);
  if (resolved != 0) {
    SocketFailure failure = ResolveFailure(resolved, host, port);
    return {0, failure.number, std::move(failure.description)};
  }
  std::uint16_t number = 0;
  if (found && found->ai_family == AF_INET) {
    number = ntohs(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_port);
  }
  ::freeaddrinfo(found);
  // Nothing can listen on port 0: the connect is refused.
  if (number == 0) {
    SocketFailure failure = Failure(ECONNREFUSED);
    return {0, failure.number, std::move(failure.description)};
  }
  return {number, 0, {}};
}

std::unique_ptr<Network> CreateHostNetwork(std::chrono::milliseconds tickInterval) {
  return NetworkOver(tickInterval, [] { return std::make_unique<PosixSocketSystem>(); });
}

}  // namespace quillon::platform::net
