// The realms of every configuration file Kerberos reads (KRB5_CONFIG, a colon
// separated list, or /etc/krb5.conf), then the DNS domain of the resolver.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/network_domains.h"

namespace quillon::platform {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

}  // namespace

std::vector<std::string> ListNetworkDomains() {
  std::vector<std::string> names;
  const char* configured = std::getenv("KRB5_CONFIG");
  std::string files = configured && *configured ? configured : "/etc/krb5.conf";
  std::size_t start = 0;
  while (start <= files.size()) {
    const auto end = files.find(':', start);
    const std::string path = files.substr(start, end - start);
    if (!path.empty()) {
      for (std::string& realm : KerberosRealmsOf(ReadText(path))) {
        AddDomainOnce(names, std::move(realm));
      }
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  AddDomainOnce(names, DnsDomainOf(ReadText("/etc/resolv.conf")));
  return names;
}

}  // namespace quillon::platform
