// The directory over LDAP: binds by an "LDAP://host[:port][/base DN]" path,
// keeps that connection, and reads the print queues under the bound object
// page by page, so that a server's cap on unpaged results does not cut the list;
// and an account's groups, nested ones included.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory.h"
#include "platform/ldap/ldap_session.h"

namespace quillon::platform {

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

// `value` as an assertion value in a search filter (RFC 4515): the bytes of
// "*", "(", ")", the backslash and NUL in hex after a backslash; with
// `binary`, every byte (a SID).
std::string LdapFilterValue(std::string_view value, bool binary = false);

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
    // Where the groups come from memberOf, read group by group: bounds on a
    // directory whose nesting never ends. Beyond either the query fails.
    int maxGroups = 1000;
    int maxGroupDepth = 32;
  };
  LdapDirectory();
  explicit LdapDirectory(Options options);
  ~LdapDirectory() override;

  DirectoryBinding Bind(const std::string& path) override;
  // Binds again first when `binding` is not the open connection's.
  DirectoryQuery QueryPrintQueues(const DirectoryBinding& binding,
                                  const std::string& commandText) override;
  // The account found by its sAMAccountName under the bound object. Its groups
  // come from tokenGroups where the directory computes them (Active Directory,
  // Samba), resolved to names in one search; elsewhere from memberOf, followed
  // upwards group by group. Names are sAMAccountName, else cn.
  DirectoryQuery QueryAccountGroups(const DirectoryBinding& binding,
                                    const std::string& accountName, bool computer) override;
  // Active Directory's and Samba's groups, and OpenLDAP's groupOfNames and
  // groupOfUniqueNames, read page by page.
  DirectoryQuery QueryGroups(const DirectoryBinding& binding) override;

 private:
  struct Found {
    std::vector<LdapEntryValues> entries;
    std::vector<std::string> dns;
  };
  // Binds again when `binding` is not the open connection's; false with the
  // failure in `failed` when that fails.
  bool Connect(const DirectoryBinding& binding, DirectoryQuery& failed);
  // A subtree search under the bound object, read page by page; `what` names
  // the entries in the failure of a list that never ends.
  DirectoryQuery SearchAllPages(const std::string& filter,
                                const std::vector<std::string>& attributes, const char* what,
                                Found& found);
  DirectoryQuery GroupsBySid(const std::vector<std::string>& sids);
  DirectoryQuery GroupsByMemberOf(const std::string& account,
                                  const std::vector<std::string>& direct);

  Options options_;
  std::unique_ptr<LdapSession> session_;
  std::string boundPath_;  // adsPath of the open connection; empty when none is open
  std::string baseDn_;
};

}  // namespace quillon::platform
