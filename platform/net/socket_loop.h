// One TCP connection and a periodic tick, delivered as events on the calling
// thread: the contract the mail conversation is written against.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::platform::net {

// Socket error numbers as Winsock gives them, on every platform, so that the
// debug log reads the same on the real and the simulated client.
inline constexpr std::uint32_t kErrorConnectionReset = 10054;
inline constexpr std::uint32_t kErrorTimedOut = 10060;
inline constexpr std::uint32_t kErrorConnectionRefused = 10061;
inline constexpr std::uint32_t kErrorHostUnreachable = 10065;
inline constexpr std::uint32_t kErrorNetworkUnreachable = 10051;
inline constexpr std::uint32_t kErrorHostNotFound = 11001;
inline constexpr std::uint32_t kErrorInvalidArgument = 10022;

// Receives the loop's events; handlers may call back into the loop, and may run
// nested event processing themselves (the conversation waits inside OnConnect).
class SocketEvents {
 public:
  virtual ~SocketEvents() = default;
  virtual void OnConnect() = 0;
  virtual void OnDataArrival(const std::string& data) = 0;
  // The connection could not be made or broke; it is closed afterwards.
  virtual void OnError(std::uint32_t number, const std::string& description) = 0;
  virtual void OnTick() = 0;
};

class SocketLoop {
 public:
  virtual ~SocketLoop() = default;
  // Resolves `host` through the system resolver (IPv4 and IPv6) and starts
  // connecting; the outcome arrives as OnConnect or OnError.
  virtual void Connect(const std::string& host, const std::string& port) = 0;
  // Queues the bytes; they leave as the socket accepts them. Failures arrive as OnError.
  virtual void SendData(std::string_view data) = 0;
  // Sends what is still queued (for a short while at most), then closes.
  virtual void Close() = 0;
  // False once the connection is closed by either side or has failed.
  virtual bool IsOpen() const = 0;
  virtual std::string LocalHostName() = 0;
  // The local end of the open connection as an SMTP address literal
  // ("[192.0.2.7]", "[IPv6:2001:db8::7]"); empty when there is no open
  // connection or the system cannot tell.
  virtual std::string LocalAddress() = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  // Delivers the events that are ready, waiting for the first one until the
  // next tick is due at most.
  virtual void ProcessEvents() = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // A loop whose timer starts enabled (the watchdog runs from creation).
  virtual std::unique_ptr<SocketLoop> CreateSocketLoop(SocketEvents& events) = 0;
};

// What the host's Connect(host, port) makes of `port` before anything leaves
// the machine: the port number the system resolver reads from the text (a
// service name included), or the failure the loop's OnError would report for
// it: a text the resolver does not take, or port 0, on which nothing listens.
// `host` is only named in the failure, never looked up.
struct PortReading {
  std::uint16_t number = 0;
  std::uint32_t error = 0;  // 0: the connect goes ahead on `number`
  std::string description;
};
PortReading ReadPortAsHost(const std::string& host, const std::string& port);

// The host's sockets (POSIX or Winsock). The tick interval is a parameter so
// that tests can run a 30-tick watchdog in milliseconds.
std::unique_ptr<Network> CreateHostNetwork(
    std::chrono::milliseconds tickInterval = std::chrono::milliseconds(1000));

}  // namespace quillon::platform::net
