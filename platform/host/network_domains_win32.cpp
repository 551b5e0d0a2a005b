// The domains the computer browser service announces (NetServerEnum with the
// domain flag), as the network neighbourhood lists them.
#include "platform/host/windows_api.h"

#include <lm.h>

#include "platform/network_domains.h"
#include "platform/text.h"

namespace quillon::platform {

std::vector<std::string> ListNetworkDomains() {
  std::vector<std::string> names;
  SERVER_INFO_100* servers = nullptr;
  DWORD read = 0, total = 0;
  const NET_API_STATUS status =
      NetServerEnum(nullptr, 100, reinterpret_cast<LPBYTE*>(&servers), MAX_PREFERRED_LENGTH, &read,
                    &total, SV_TYPE_DOMAIN_ENUM, nullptr, nullptr);
  if ((status == NERR_Success || status == ERROR_MORE_DATA) && servers) {
    for (DWORD i = 0; i < read; ++i) {
      if (!servers[i].sv100_name) continue;
      const std::u16string name(reinterpret_cast<const char16_t*>(servers[i].sv100_name));
      AddDomainOnce(names, Utf16ToNarrow(name));
    }
  }
  if (servers) NetApiBufferFree(servers);
  return names;
}

}  // namespace quillon::platform
