// The directory over LDAP: binds by an "LDAP://host[:port][/base DN]" path,
// keeps that connection, and reads the print queues under the bound object
// page by page, so that a server's cap on unpaged results does not cut the list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/directory.h"

namespace quillon::platform {

class LdapSession;

struct AdsPath {
  std::string server;  // host[:port] as written, for the bound object's path
  std::string host;    // without the brackets of an IPv6 address
  int port = 389;
  std::string baseDn;  // empty: the server's default naming context
};

// nullopt for anything that is not "LDAP://" + host[:port][/base DN].
std::optional<AdsPath> ParseAdsPath(const std::string& path);

// Whether `host` names one server rather than a domain whose controllers the
// domain controller locator finds: an address, or a dotted name for which the
// DNS has no locator records ("_ldap._tcp.dc._msdcs." + host);
// `hasLocatorRecords` asks it, nullopt when it cannot answer (then the locator
// decides, as it does for every name). A single-label name may be a NetBIOS
// domain name, which only the locator knows: never one server here.
bool NamesOneServer(
    const std::string& host,
    const std::function<std::optional<bool>(const std::string&)>& hasLocatorRecords);

// The HRESULT that Windows' directory objects report for an LDAP result code
// (client codes numbered 0x51 and up), e.g. 0x8007203A for "server down".
std::int64_t DirectoryErrorNumber(int ldapCode);

inline constexpr std::int64_t kBadPathname = -2147463168;  // 0x80005000, E_ADS_BAD_PATHNAME
inline constexpr const char* kBadPathnameText = "An invalid directory pathname was passed";
inline constexpr std::int64_t kAdminLimitExceeded = -2147016668;  // 0x80072024

class LdapDirectory : public Directory {
 public:
  struct Options {
    int timeoutSeconds = 10;  // for connecting, and for each request
    int pageSize = 500;
    // A server that never sends the last page fails the query here: a cut
    // list must never look complete (orphan pruning would act on it).
    int maxPages = 2000;
  };
  LdapDirectory();
  explicit LdapDirectory(Options options);
  ~LdapDirectory() override;

  DirectoryBinding Bind(const std::string& path) override;
  // Binds again first when `binding` is not the open connection's.
  DirectoryQuery QueryPrintQueues(const DirectoryBinding& binding,
                                  const std::string& commandText) override;

 private:
  Options options_;
  std::unique_ptr<LdapSession> session_;
  std::string boundPath_;  // adsPath of the open connection; empty when none is open
  std::string baseDn_;
};

}  // namespace quillon::platform
