// The IP address bytes of a socket address, shared by the POSIX and the
// Winsock socket layers: include it after the system's socket headers.
#pragma once

#include <vector>

namespace quillon::platform::net {

// 4 bytes for IPv4, 16 for IPv6, none for any other family.
inline std::vector<unsigned char> AddressBytes(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(
        &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr);
    return {bytes, bytes + 4};
  }
  if (address.ss_family == AF_INET6) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(
        &reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr);
    return {bytes, bytes + 16};
  }
  return {};
}

}  // namespace quillon::platform::net
