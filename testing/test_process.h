// Child processes for tests that start their own servers (slapd, cupsd,
// aiosmtpd): start, wait with a limit, see whether a port takes connections;
// free ports, a server that never answers, environment variables for a while.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quillon::platform::test_process {

// Starts `argv` (argv[0] a full path) with its output appended to `logPath`
// and no input; the child is killed when the thread that started it ends, so
// a crashed test leaves no server behind. The process id, or -1.
int Spawn(const std::vector<std::string>& argv, const std::string& logPath);
// The child's exit status, or -1 when it had to be killed after `limit`.
int WaitFor(int pid, std::chrono::milliseconds limit);
// Whether something on 127.0.0.1:`port` accepts a TCP connection now.
bool AcceptsOnLoopback(int port);

enum class StartOutcome { kListening, kExited, kSilent };
// Waits until the child `pid` takes connections on 127.0.0.1:`port`; a child
// still silent after `limit` is killed.
StartOutcome WaitUntilListening(int pid, int port, std::chrono::milliseconds limit);

// A loopback port on which nothing listens at the moment of the call.
int UnusedLoopbackPort();

// Takes TCP connections on a loopback port and never answers: a hung server.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  bool listening() const { return socket_ >= 0; }
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// Sets (or, with `value` null, removes) an environment variable for the
// object's lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string previous_;
};

}  // namespace quillon::platform::test_process
