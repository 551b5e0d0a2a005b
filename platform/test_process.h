// Child processes for tests that start their own servers (slapd, cupsd,
// aiosmtpd): start, wait with a limit, and see whether a port takes connections.
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

}  // namespace quillon::platform::test_process
