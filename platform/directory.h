// The directory that publishes print queues, addressed the way Windows'
// directory objects are: bind by an "LDAP://" path, then query the bound
// object for its print queues. Failures carry a number (an HRESULT, as the
// Windows directory components report them) and a description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::platform {

struct DirectoryBinding {
  bool ok = false;
  std::string adsPath;  // the bound object's path, as queries name it
  std::int64_t errorNumber = 0;
  std::string errorDescription;
  // Why the bind with the user's own credentials failed before an anonymous
  // one was tried; empty when it was not tried or succeeded.
  std::string credentialFailure;
};

// One published print queue: its "name" and the first "printShareName" value,
// in the 8-bit text printer names have on this system.
struct DirectoryRow {
  std::string name;
  std::string printShareName;
  // False when either text had characters that 8-bit text cannot hold here
  // (they read "?"): such a row names no printer exactly.
  bool exact = true;
  bool operator==(const DirectoryRow&) const = default;
};

struct DirectoryQuery {
  bool ok = false;
  std::vector<DirectoryRow> rows;  // in the order the directory returned them
  std::int64_t errorNumber = 0;
  std::string errorDescription;
};

class Directory {
 public:
  virtual ~Directory() = default;
  // `path` is "LDAP://" followed by host[:port][/base DN].
  virtual DirectoryBinding Bind(const std::string& path) = 0;
  // Every print queue under the bound object (the whole subtree), with the
  // command text the engine logs; implementations need not parse it.
  virtual DirectoryQuery QueryPrintQueues(const DirectoryBinding& binding,
                                          const std::string& commandText) = 0;
  // The security groups of the account `accountName` (a user's logon name or
  // a computer's name; its directory object's sAMAccountName, "$" added for a
  // computer) under the bound object, nested membership included, by name:
  // ok with `rows` holding one row per group (`name`), or the failure.
  virtual DirectoryQuery QueryAccountGroups(const DirectoryBinding& binding,
                                            const std::string& accountName, bool computer) {
    (void)binding;
    (void)accountName;
    (void)computer;
    return {false, {}, kNotImplemented, "This directory cannot list an account's groups."};
  }
  // Every group under the bound object, by the name the account's groups
  // carry (sAMAccountName, else cn), each name once, in letter-case-blind
  // order: what an administrator picks a targeted group from.
  virtual DirectoryQuery QueryGroups(const DirectoryBinding& binding) {
    (void)binding;
    return {false, {}, kNotImplemented, "This directory cannot list its groups."};
  }
  static constexpr std::int64_t kNotImplemented = -2147467263;  // 0x80004001, E_NOTIMPL
};

}  // namespace quillon::platform
