// What the socket loop is on every system: the order of events, the tick, the
// walk over the resolved addresses and the send queue. The system's part is a
// handful of calls on one non-blocking socket (`SocketSystem`).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net/socket_loop.h"

namespace quillon::platform::net {

// One resolved address in the system's own form.
struct SocketAddress {
  std::vector<unsigned char> bytes;
  int family = 0;
};

struct SocketFailure {
  std::uint32_t number = 0;  // Winsock's number; 0: no failure
  std::string description;
};

struct Readiness {
  bool readable = false, writable = false, failed = false;
};

// A transfer on the socket: `count` bytes moved, or it would block, or the
// peer closed (receive only), or `failure`.
struct Transfer {
  std::size_t count = 0;
  bool wouldBlock = false;
  bool closed = false;
  SocketFailure failure;
};

// The system's calls, on at most one socket at a time.
class SocketSystem {
 public:
  virtual ~SocketSystem() = default;
  virtual SocketFailure Resolve(const std::string& host, const std::string& port,
                                std::vector<SocketAddress>* addresses) = 0;
  // Opens a socket and starts connecting; a failure leaves no socket.
  virtual SocketFailure StartConnect(const SocketAddress& address) = 0;
  // Once the socket is ready while connecting: the connection's outcome.
  virtual SocketFailure ConnectOutcome() = 0;
  virtual bool HasSocket() const = 0;
  // Waits at most `timeout` for the socket (or, with none, just waits).
  virtual Readiness Wait(bool read, bool write, std::chrono::milliseconds timeout) = 0;
  virtual Transfer Send(std::string_view data) = 0;
  virtual Transfer Receive(char* buffer, std::size_t size) = 0;
  virtual void CloseSocket() = 0;
  virtual std::string HostName() = 0;
  // The socket's local IP address in network byte order: 4 bytes (IPv4) or 16
  // (IPv6); empty when there is no socket or the system cannot tell.
  virtual std::vector<unsigned char> LocalIp() = 0;
};

// RFC 5321's address literal of a 4- or 16-byte address: "[192.0.2.7]",
// "[IPv6:2001:db8::7]" (RFC 5952 text); an IPv4-mapped IPv6 address is given as
// its IPv4 address. Empty for any other length.
std::string AddressLiteral(const std::vector<unsigned char>& ip);

class CoreSocketLoop : public SocketLoop {
 public:
  CoreSocketLoop(SocketEvents& events, std::chrono::milliseconds tick,
                 std::unique_ptr<SocketSystem> system);
  ~CoreSocketLoop() override;

  void Connect(const std::string& host, const std::string& port) override;
  void SendData(std::string_view data) override;
  void Close() override;
  // An error not yet delivered keeps the connection open until its event, so
  // a waiter learns why it broke rather than only that it closed.
  bool IsOpen() const override { return state_ != State::Closed || pendingError_; }
  std::string LocalHostName() override { return system_->HostName(); }
  std::string LocalAddress() override;
  void SetTimerEnabled(bool enabled) override;
  // At most one event is delivered per call: a handler may run nested loops
  // and change the connection, so nothing read before it is trusted after it.
  void ProcessEvents() override;

 private:
  enum class State { Closed, Connecting, Open };
  using Clock = std::chrono::steady_clock;

  void TryNextAddress(SocketFailure last);
  bool Flush();
  void Receive();
  // Errors are delivered by the next ProcessEvents, never from inside the
  // call that met them, as the handlers expect.
  void Fail(SocketFailure failure);
  void Shut();

  SocketEvents& events_;
  const std::chrono::milliseconds tick_;
  std::unique_ptr<SocketSystem> system_;
  Clock::time_point nextTick_;
  bool timerEnabled_ = true;
  State state_ = State::Closed;
  std::vector<SocketAddress> addresses_;
  std::size_t nextAddress_ = 0;
  std::string outgoing_;
  bool pendingError_ = false;
  SocketFailure pendingFailure_;
};

// A network whose every loop runs over a fresh socket layer from `make`.
std::unique_ptr<Network> NetworkOver(std::chrono::milliseconds tick,
                                     std::function<std::unique_ptr<SocketSystem>()> make);

}  // namespace quillon::platform::net
