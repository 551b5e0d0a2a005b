// The few LDAP library calls that LdapDirectory makes. The directory's logic is
// written once against these; each LDAP library (OpenLDAP's libldap here,
// wldap32 on Windows) supplies only this file's functions.
#pragma once

#include <string>
#include <vector>

namespace quillon::platform {

// Result codes are the protocol's, with the client-side codes numbered as
// Windows numbers them (0x51 server down ... 0x61 referral limit exceeded);
// a library with other client codes translates them.
inline constexpr int kLdapSuccess = 0;
inline constexpr int kLdapNoSuchObject = 0x20;
inline constexpr int kLdapServerDown = 0x51;
inline constexpr int kLdapTimeout = 0x55;
inline constexpr int kLdapConnectError = 0x5b;

struct LdapStatus {
  int code = kLdapSuccess;
  std::string text;  // the library's text for the code, and the server's message if any
  bool ok() const { return code == kLdapSuccess; }
};

enum class LdapScope { kBase, kSubtree };

// One entry found by a search: for each requested attribute, in the order of
// the request, its values (none when the entry lacks it).
using LdapEntryValues = std::vector<std::vector<std::string>>;

// One connection to one server.
class LdapSession {
 public:
  LdapSession() = default;
  ~LdapSession();
  LdapSession(const LdapSession&) = delete;
  LdapSession& operator=(const LdapSession&) = delete;

  // Prepares the connection (protocol version 3, no referral chasing, the
  // connect and per-operation time-outs); the server is reached by the bind.
  LdapStatus Open(const std::string& host, int port, int timeoutSeconds);
  LdapStatus BindAnonymous();
  LdapStatus BindKerberos();
  // One search request. With `pageSize` > 0 it asks for one page, continuing
  // after `cookie`, and leaves the server's cookie there (empty after the last
  // page). Found entries are appended to `entries`, and their DNs to `dns`
  // when given.
  LdapStatus Search(const std::string& base, LdapScope scope, const std::string& filter,
                    const std::vector<std::string>& attributes, int pageSize,
                    std::string& cookie, std::vector<LdapEntryValues>& entries,
                    std::vector<std::string>* dns = nullptr);
  void Close();
  bool open() const { return handle_ != nullptr; }

  // The library's text for a result code.
  static std::string ErrorText(int code);

 private:
  void* handle_ = nullptr;
  int timeoutSeconds_ = 0;
};

}  // namespace quillon::platform
