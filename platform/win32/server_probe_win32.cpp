// A connect waits in select; Windows' fd_set is a counted array, so a larger
// size holds every socket of one probe in one set.
#define FD_SETSIZE 1024
// Before <windows.h>, whose macros would rename the spooler's members.
#include "platform/win32/server_probe_win32.h"
#include "platform/win32/spooler_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/host/windows_api.h"

namespace quillon::platform::win32 {
namespace {

using Steady = std::chrono::steady_clock;

// One name's look-up, shared with its thread: a look-up that outlives the
// probe finishes into this and is dropped with it.
struct Lookup {
  std::mutex mutex;
  bool finished = false;
  std::vector<sockaddr_storage> addresses;
  std::vector<int> lengths;
};

void Resolve(Lookup& lookup, const std::wstring& name) {
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* found = nullptr;
  std::vector<sockaddr_storage> addresses;
  std::vector<int> lengths;
  if (GetAddrInfoW(name.c_str(), nullptr, &hints, &found) == 0) {
    for (ADDRINFOW* at = found; at; at = at->ai_next) {
      if (at->ai_addrlen > sizeof(sockaddr_storage)) continue;
      sockaddr_storage address{};
      std::memcpy(&address, at->ai_addr, at->ai_addrlen);
      addresses.push_back(address);
      lengths.push_back(static_cast<int>(at->ai_addrlen));
    }
    FreeAddrInfoW(found);
  }
  std::lock_guard<std::mutex> lock(lookup.mutex);
  lookup.addresses = std::move(addresses);
  lookup.lengths = std::move(lengths);
  lookup.finished = true;
}

// A look-up thread's own share of its look-up.
struct ResolveJob {
  std::shared_ptr<Lookup> lookup;
  std::wstring name;
};

// A native thread rather than a detached std::thread: the threads library's
// detach can hand one thread's start to two threads, which then share one
// look-up's moved-from arguments.
DWORD WINAPI ResolveThread(void* context) {
  std::unique_ptr<ResolveJob> job(static_cast<ResolveJob*>(context));
  try {
    Resolve(*job->lookup, job->name);
  } catch (const std::bad_alloc&) {
    std::lock_guard<std::mutex> lock(job->lookup->mutex);
    job->lookup->finished = true;  // no addresses: judged like a name not found
  }
  return 0;
}

struct Attempt {
  SOCKET socket = INVALID_SOCKET;
  std::size_t server = 0;
};

std::uint32_t MillisecondsSince(Steady::time_point start) {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

}  // namespace

std::vector<ServerProbe> ProbePrintServers(const std::vector<std::string>& servers,
                                           const std::vector<std::uint16_t>& ports,
                                           int timeoutMs) {
  const Steady::time_point start = Steady::now();
  const Steady::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  // Without sockets nothing can be probed: every server is left out, and so
  // asked as before, not judged dead.
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
  std::vector<ServerProbe> answers;
  for (const std::string& server : servers) answers.push_back({server, false, 0});
  std::vector<bool> decided(servers.size(), false);

  std::vector<std::shared_ptr<Lookup>> lookups;
  for (const std::string& server : servers) {
    auto lookup = std::make_shared<Lookup>();
    lookups.push_back(lookup);
    auto job = std::make_unique<ResolveJob>(ResolveJob{lookup, Wide(server)});
    if (HANDLE thread = CreateThread(nullptr, 0, ResolveThread, job.get(), 0, nullptr)) {
      job.release();  // the thread's own now
      CloseHandle(thread);
    } else {
      // No thread: the name is looked up here, the probe's time-out aside.
      Resolve(*lookup, job->name);
    }
  }

  std::vector<Attempt> attempts;
  std::vector<std::size_t> open(servers.size(), 0);  // attempts still pending per server
  std::vector<bool> connecting(servers.size(), false);
  auto finish = [&](std::size_t server, bool answered) {
    if (decided[server]) return;
    decided[server] = true;
    answers[server].answers = answered;
    answers[server].milliseconds = MillisecondsSince(start);
  };
  auto startConnects = [&](std::size_t index) {
    connecting[index] = true;
    const Lookup& lookup = *lookups[index];
    for (std::size_t a = 0; a < lookup.addresses.size(); ++a) {
      for (std::uint16_t port : ports) {
        sockaddr_storage address = lookup.addresses[a];
        if (address.ss_family == AF_INET) {
          reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
        } else if (address.ss_family == AF_INET6) {
          reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
        } else {
          continue;
        }
        SOCKET s = socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        if (connect(s, reinterpret_cast<const sockaddr*>(&address), lookup.lengths[a]) == 0) {
          closesocket(s);
          finish(index, true);
          return;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
          closesocket(s);
          continue;
        }
        attempts.push_back({s, index});
        ++open[index];
      }
    }
    if (open[index] == 0) finish(index, false);  // nothing to connect to, or all refused at once
  };

  std::size_t turn = 0;  // where in the attempts the next set starts
  while (true) {
    // Start the connects of every name resolved meanwhile.
    bool waitingForNames = false;
    for (std::size_t i = 0; i < servers.size(); ++i) {
      if (connecting[i]) continue;
      bool finished;
      {
        std::lock_guard<std::mutex> lock(lookups[i]->mutex);
        finished = lookups[i]->finished;
      }
      if (finished) startConnects(i);
      else waitingForNames = true;
    }
    std::erase_if(attempts, [&](const Attempt& attempt) {
      if (!decided[attempt.server]) return false;
      closesocket(attempt.socket);
      return true;
    });
    if (attempts.empty() && !waitingForNames) break;
    const Steady::time_point now = Steady::now();
    if (now >= deadline) break;

    // Wait for connects, in short slices while names are still being looked up.
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
    if (waitingForNames) left = std::min(left, std::chrono::microseconds(20000));
    timeval wait{static_cast<long>(left.count() / 1000000),
                 static_cast<long>(left.count() % 1000000)};
    if (attempts.empty()) {
      std::this_thread::sleep_for(left);
      continue;
    }
    // A set holds FD_SETSIZE sockets: more connects are waited on in turns,
    // in short slices, so that each is looked at before the deadline.
    const std::size_t inSet = std::min<std::size_t>(attempts.size(), FD_SETSIZE);
    if (inSet < attempts.size()) {
      wait = {0, std::min<long>(20000, static_cast<long>(left.count()))};
      turn %= attempts.size();
    } else {
      turn = 0;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    for (std::size_t i = 0; i < inSet; ++i) {
      const Attempt& attempt = attempts[(turn + i) % attempts.size()];
      FD_SET(attempt.socket, &writable);
      FD_SET(attempt.socket, &failed);
    }
    turn += inSet;
    if (select(0, nullptr, &writable, &failed, &wait) == SOCKET_ERROR) break;
    std::erase_if(attempts, [&](const Attempt& attempt) {
      if (FD_ISSET(attempt.socket, &writable)) {
        finish(attempt.server, true);
      } else if (FD_ISSET(attempt.socket, &failed)) {
        if (--open[attempt.server] == 0) finish(attempt.server, false);  // every port refused
      } else {
        return false;
      }
      closesocket(attempt.socket);
      return true;
    });
  }

  for (const Attempt& attempt : attempts) closesocket(attempt.socket);
  for (std::size_t i = 0; i < servers.size(); ++i) finish(i, false);  // silent till the end
  WSACleanup();
  return answers;
}

}  // namespace quillon::platform::win32

namespace quillon::platform::win32 {

std::vector<ServerProbe> Win32Spooler::ProbeServers(const std::vector<std::string>& servers) {
  return ProbePrintServers(servers, kPrintServerPorts, kServerProbeTimeoutMs);
}

}  // namespace quillon::platform::win32
