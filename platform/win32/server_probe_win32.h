// Whether print servers answer, told by a TCP connect to their SMB and RPC
// ports: all servers at once, each within one time-out, so that a switched-off
// server costs a logon seconds rather than the spooler's RPC time-outs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/spooler.h"

namespace quillon::platform::win32 {

// The SMB and RPC endpoint mapper ports, the ones a print server listens on.
inline const std::vector<std::uint16_t> kPrintServerPorts{445, 135};

// A server answers when a connect to any of its addresses on any of `ports`
// succeeds before `timeoutMs` has passed since the call began. A name that
// does not resolve in that time, and a server that refuses or stays silent on
// every port, does not answer. Names are resolved in threads of their own, so
// that no slow lookup holds the others.
std::vector<ServerProbe> ProbePrintServers(const std::vector<std::string>& servers,
                                           const std::vector<std::uint16_t>& ports,
                                           int timeoutMs);

}  // namespace quillon::platform::win32
