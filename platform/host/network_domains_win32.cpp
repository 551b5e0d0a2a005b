// The computer's domain and the domains it trusts, from the domain controller
// locator; outside a domain (or when the locator cannot answer) the domains
// the computer browser service announces (NetServerEnum with the domain
// flag), which Windows 10 1709 and later no longer run.
#include "platform/host/windows_api.h"

#include <dsgetdc.h>
#include <dsrole.h>
#include <lm.h>

#include "platform/network_domains.h"
#include "platform/text.h"

namespace quillon::platform {
namespace {

std::string Narrow(const wchar_t* text) {
  return text ? Utf16ToNarrow(reinterpret_cast<const char16_t*>(text)) : std::string();
}

std::vector<std::string> LocatorDomains() {
  std::vector<LocatedDomain> domains;
  DSROLE_PRIMARY_DOMAIN_INFO_BASIC* own = nullptr;
  if (DsRoleGetPrimaryDomainInformation(nullptr, DsRolePrimaryDomainInfoBasic,
                                        reinterpret_cast<PBYTE*>(&own)) == ERROR_SUCCESS &&
      own) {
    // A stand-alone computer's "domain" is its workgroup.
    if (own->MachineRole != DsRole_RoleStandaloneWorkstation &&
        own->MachineRole != DsRole_RoleStandaloneServer) {
      domains.push_back({Narrow(own->DomainNameDns), Narrow(own->DomainNameFlat)});
    }
    DsRoleFreeMemory(own);
  }
  if (domains.empty()) return {};
  DS_DOMAIN_TRUSTSW* trusts = nullptr;
  ULONG count = 0;
  if (DsEnumerateDomainTrustsW(nullptr, DS_DOMAIN_IN_FOREST | DS_DOMAIN_DIRECT_OUTBOUND, &trusts,
                               &count) == ERROR_SUCCESS &&
      trusts) {
    for (ULONG i = 0; i < count; ++i) {
      domains.push_back({Narrow(trusts[i].DnsDomainName), Narrow(trusts[i].NetbiosDomainName)});
    }
    NetApiBufferFree(trusts);
  }
  return LocatedDomainNames(domains);
}

std::vector<std::string> BrowsedDomains() {
  std::vector<std::string> names;
  SERVER_INFO_100* servers = nullptr;
  DWORD read = 0, total = 0;
  const NET_API_STATUS status =
      NetServerEnum(nullptr, 100, reinterpret_cast<LPBYTE*>(&servers), MAX_PREFERRED_LENGTH, &read,
                    &total, SV_TYPE_DOMAIN_ENUM, nullptr, nullptr);
  if ((status == NERR_Success || status == ERROR_MORE_DATA) && servers) {
    for (DWORD i = 0; i < read; ++i) AddDomainOnce(names, Narrow(servers[i].sv100_name));
  }
  if (servers) NetApiBufferFree(servers);
  return names;
}

}  // namespace

std::vector<std::string> ListNetworkDomains() {
  std::vector<std::string> names = LocatorDomains();
  if (names.empty()) names = BrowsedDomains();
  return names;
}

}  // namespace quillon::platform
