// The socket loop's system calls over Winsock non-blocking sockets and
// select(): unlike WSAPoll, select reports a refused connect on every Windows.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "platform/host/system_error_win32.h"
#include "platform/net/address_bytes.h"
#include "platform/net/socket_loop_core.h"

namespace quillon::platform::net {
namespace {

SocketFailure Failure(int error) {
  const auto number = static_cast<std::uint32_t>(error);
  return {number, win32::SystemErrorText(number)};
}

SocketFailure ResolveFailure(int resolved, const std::string& host, const std::string& port) {
  SocketFailure failure = Failure(resolved);
  failure.description += " (" + host + ":" + port + ")";
  return failure;
}

class WinsockSocketSystem : public SocketSystem {
 public:
  WinsockSocketSystem() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSocketSystem() override {
    CloseSocket();
    if (started_) ::WSACleanup();
  }

  SocketFailure Resolve(const std::string& host, const std::string& port,
                        std::vector<SocketAddress>* addresses) override {
    if (!started_) return {kErrorNetworkUnreachable, "Winsock could not be started."};
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
    socket_ = ::socket(address.family, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return Failure(::WSAGetLastError());
    u_long nonBlocking = 1;
    ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                  static_cast<int>(address.bytes.size())) == 0 ||
        ::WSAGetLastError() == WSAEWOULDBLOCK) {
      return {};
    }
    const int error = ::WSAGetLastError();
    CloseSocket();
    return Failure(error);
  }

  SocketFailure ConnectOutcome() override {
    int error = 0;
    int length = sizeof error;
    ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    if (error != 0) return Failure(error);
    if (connectFailed_) return Failure(WSAECONNREFUSED);
    return {};
  }

  bool HasSocket() const override { return socket_ != INVALID_SOCKET; }

  // Waits in slices, handling the thread's window messages between them: the
  // progress window stays responsive through a 30-second wait for a server.
  Readiness Wait(bool read, bool write, std::chrono::milliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      PumpMessages();
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      const auto slice = std::min(std::max(left, std::chrono::milliseconds(0)), kSlice);
      if (socket_ == INVALID_SOCKET) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(slice.count()),
                                    QS_ALLINPUT);
      } else if (Readiness ready = Select(read, write, slice);
                 ready.readable || ready.writable || ready.failed) {
        return ready;
      }
      if (left <= std::chrono::milliseconds(0)) return {};
    }
  }

  Transfer Send(std::string_view data) override {
    const int sent = ::send(socket_, data.data(), static_cast<int>(data.size()), 0);
    if (sent >= 0) return {static_cast<std::size_t>(sent), false, false, {}};
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {0, true, false, {}};
    return {0, false, false, Failure(error)};
  }

  Transfer Receive(char* buffer, std::size_t size) override {
    const int got = ::recv(socket_, buffer, static_cast<int>(size), 0);
    if (got > 0) return {static_cast<std::size_t>(got), false, false, {}};
    if (got == 0) return {0, false, true, {}};
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {0, true, false, {}};
    return {0, false, false, Failure(error)};
  }

  void CloseSocket() override {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
    connectFailed_ = false;
  }

  std::vector<unsigned char> LocalIp() override {
    sockaddr_storage local{};
    int length = sizeof local;
    if (socket_ == INVALID_SOCKET ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
      return {};
    }
    return AddressBytes(local);
  }

  std::string HostName() override {
    char name[256] = {};
    if (!started_ || ::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
  }

 private:
  static constexpr std::chrono::milliseconds kSlice{50};

  static void PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }

  Readiness Select(bool read, bool write, std::chrono::milliseconds timeout) {
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (read) FD_SET(socket_, &readable);
    if (write) FD_SET(socket_, &writable);
    // A connect that fails is reported in the exception set only.
    FD_SET(socket_, &failed);
    const long long us = static_cast<long long>(timeout.count()) * 1000;
    timeval wait{static_cast<long>(us / 1000000), static_cast<long>(us % 1000000)};
    if (::select(0, &readable, &writable, &failed, &wait) <= 0) return {};
    const Readiness ready{FD_ISSET(socket_, &readable) != 0, FD_ISSET(socket_, &writable) != 0,
                          FD_ISSET(socket_, &failed) != 0};
    connectFailed_ = ready.failed && !ready.writable;
    return ready;
  }

  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  bool connectFailed_ = false;
};

}  // namespace

PortReading ReadPortAsHost(const std::string& host, const std::string& port) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return {0, kErrorNetworkUnreachable, "Winsock could not be started."};
  }
  // The same resolver call as Connect's, on a numeric host so that nothing is
  // looked up: the port text is read the same way.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo("127.0.0.1", port.c_str(), &hints, &found);
  PortReading reading;
  if (resolved != 0) {
    SocketFailure failure = ResolveFailure(resolved, host, port);
    reading = {0, failure.number, std::move(failure.description)};
  } else {
    if (found && found->ai_family == AF_INET) {
      reading.number = ntohs(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_port);
    }
    ::freeaddrinfo(found);
    // Windows refuses a connect to port 0 at once: no such remote address.
    if (reading.number == 0) {
      SocketFailure failure = Failure(WSAEADDRNOTAVAIL);
      reading = {0, failure.number, std::move(failure.description)};
    }
  }
  ::WSACleanup();
  return reading;
}

std::unique_ptr<Network> CreateHostNetwork(std::chrono::milliseconds tickInterval) {
  return NetworkOver(tickInterval, [] { return std::make_unique<WinsockSocketSystem>(); });
}

}  // namespace quillon::platform::net
