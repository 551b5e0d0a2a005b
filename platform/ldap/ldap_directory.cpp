// Binding and the print queue query over LdapSession; nothing here depends on
// which LDAP library answers.
#include "platform/ldap/ldap_directory.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string_view>
#include <utility>

#include "platform/ldap/ldap_session.h"
#include "platform/text.h"

namespace quillon::platform {
namespace {

constexpr std::string_view kScheme = "LDAP://";
constexpr int kLdapConstraintViolation = 0x13;

bool IsHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// Win32 codes for the LDAP result codes, as the directory objects map them.
std::uint32_t Win32Code(int ldapCode) {
  switch (ldapCode) {
    case 0x01: return 8224;   // ERROR_DS_OPERATIONS_ERROR
    case 0x02: return 8225;   // ERROR_DS_PROTOCOL_ERROR
    case 0x03: return 8226;   // ERROR_DS_TIMELIMIT_EXCEEDED
    case 0x04: return 8227;   // ERROR_DS_SIZELIMIT_EXCEEDED
    case 0x05: return 8229;   // ERROR_DS_COMPARE_FALSE
    case 0x06: return 8230;   // ERROR_DS_COMPARE_TRUE
    case 0x07: return 8231;   // ERROR_DS_AUTH_METHOD_NOT_SUPPORTED
    case 0x08: return 8232;   // ERROR_DS_STRONG_AUTH_REQUIRED
    case 0x09: return 234;    // ERROR_MORE_DATA (partial results)
    case 0x0a: return 8235;   // ERROR_DS_REFERRAL
    case 0x0b: return 8228;   // ERROR_DS_ADMIN_LIMIT_EXCEEDED
    case 0x0c: return 8236;   // ERROR_DS_UNAVAILABLE_CRIT_EXTENSION
    case 0x0d: return 8237;   // ERROR_DS_CONFIDENTIALITY_REQUIRED
    case 0x10: return 8202;   // ERROR_DS_NO_ATTRIBUTE_OR_VALUE
    case 0x11: return 8204;   // ERROR_DS_ATTRIBUTE_TYPE_UNDEFINED
    case 0x12: return 8238;   // ERROR_DS_INAPPROPRIATE_MATCHING
    case 0x13: return 8239;   // ERROR_DS_CONSTRAINT_VIOLATION
    case 0x14: return 8205;   // ERROR_DS_ATTRIBUTE_OR_VALUE_EXISTS
    case 0x15: return 8203;   // ERROR_DS_INVALID_ATTRIBUTE_SYNTAX
    case 0x20: return 8240;   // ERROR_DS_NO_SUCH_OBJECT
    case 0x21: return 8241;   // ERROR_DS_ALIAS_PROBLEM
    case 0x22: return 8242;   // ERROR_DS_INVALID_DN_SYNTAX
    case 0x23: return 8243;   // ERROR_DS_IS_LEAF
    case 0x24: return 8244;   // ERROR_DS_ALIAS_DEREF_PROBLEM
    case 0x30: return 8233;   // ERROR_DS_INAPPROPRIATE_AUTH
    case 0x31: return 1326;   // ERROR_LOGON_FAILURE
    case 0x32: return 8344;   // ERROR_DS_INSUFF_ACCESS_RIGHTS
    case 0x33: return 8206;   // ERROR_DS_BUSY
    case 0x34: return 8207;   // ERROR_DS_UNAVAILABLE
    case 0x35: return 8245;   // ERROR_DS_UNWILLING_TO_PERFORM
    case 0x36: return 8246;   // ERROR_DS_LOOP_DETECT
    case 0x40: return 8247;   // ERROR_DS_NAMING_VIOLATION
    case 0x41: return 8212;   // ERROR_DS_OBJ_CLASS_VIOLATION
    case 0x42: return 8213;   // ERROR_DS_CANT_ON_NON_LEAF
    case 0x43: return 8214;   // ERROR_DS_CANT_ON_RDN
    case 0x44: return 5010;   // ERROR_OBJECT_ALREADY_EXISTS
    case 0x45: return 8215;   // ERROR_DS_CANT_MOD_OBJ_CLASS
    case 0x46: return 8248;   // ERROR_DS_OBJECT_RESULTS_TOO_LARGE
    case 0x47: return 8249;   // ERROR_DS_AFFECTS_MULTIPLE_DSAS
    case 0x51: return 8250;   // ERROR_DS_SERVER_DOWN
    case 0x52: return 8251;   // ERROR_DS_LOCAL_ERROR
    case 0x53: return 8252;   // ERROR_DS_ENCODING_ERROR
    case 0x54: return 8253;   // ERROR_DS_DECODING_ERROR
    case 0x55: return 1460;   // ERROR_TIMEOUT
    case 0x56: return 8234;   // ERROR_DS_AUTH_UNKNOWN
    case 0x57: return 8254;   // ERROR_DS_FILTER_UNKNOWN
    case 0x58: return 1223;   // ERROR_CANCELLED
    case 0x59: return 8255;   // ERROR_DS_PARAM_ERROR
    case 0x5a: return 14;     // ERROR_OUTOFMEMORY
    case 0x5b: return 8250;   // a refused connection: the server is not operational
    case 0x5c: return 8256;   // ERROR_DS_NOT_SUPPORTED
    case 0x5d: return 8258;   // ERROR_DS_CONTROL_NOT_FOUND
    case 0x5e: return 8257;   // ERROR_DS_NO_RESULTS_RETURNED
    case 0x5f: return 234;    // ERROR_MORE_DATA
    case 0x60: return 8259;   // ERROR_DS_CLIENT_LOOP
    case 0x61: return 8260;   // ERROR_DS_REFERRAL_LIMIT_EXCEEDED
    default: return 8341;     // ERROR_DS_GENERIC_ERROR
  }
}

// The user's own credentials first, whenever the system may hold some (the
// Kerberos library finds its default cache itself); anonymous after any
// failure of that bind unless the server itself is out of reach (the
// fallback would only wait for the same time-out again). Why the first bind
// failed is kept for the debug log: "no ticket", "no reverse DNS for the
// controller" and "wrong realm" look alike otherwise.
LdapStatus BindSession(LdapSession& session, std::string& credentialFailure) {
  LdapStatus own = session.BindKerberos();
  if (own.ok() || own.code == kLdapServerDown || own.code == kLdapTimeout ||
      own.code == kLdapConnectError) {
    return own;
  }
  credentialFailure = own.text;
  return session.BindAnonymous();
}

// The root DSE's defaultNamingContext, else its first namingContexts value.
LdapStatus ReadDefaultBase(LdapSession& session, std::string& base) {
  std::string noCookie;
  std::vector<LdapEntryValues> found;
  LdapStatus status = session.Search("", LdapScope::kBase, "(objectClass=*)",
                                     {"defaultNamingContext", "namingContexts"}, 0, noCookie, found);
  if (!status.ok()) return status;
  if (!found.empty()) {
    for (const auto& values : found.front()) {
      if (!values.empty() && !values.front().empty()) {
        base = values.front();
        return {};
      }
    }
  }
  return {kLdapNoSuchObject,
          LdapSession::ErrorText(kLdapNoSuchObject) + " (the server names no naming context)"};
}

// A base-scope search of the object itself: it fails when the object is missing.
LdapStatus CheckObject(LdapSession& session, const std::string& base) {
  std::string noCookie;
  std::vector<LdapEntryValues> found;
  return session.Search(base, LdapScope::kBase, "(objectClass=*)", {"1.1"}, 0, noCookie, found);
}

// A group's name: its sAMAccountName, else its cn (values in that order).
void AddGroupRow(const LdapEntryValues& values, DirectoryQuery& query) {
  const std::vector<std::string>& name = values[0].empty() ? values[1] : values[0];
  if (name.empty()) return;
  NarrowText narrow = Utf8ToNarrow(name.front());
  query.rows.push_back({std::move(narrow.text), {}, narrow.exact});
}

}  // namespace

std::optional<AdsPath> ParseAdsPath(const std::string& path) {
  std::string_view rest(path);
  if (!StartsWithIgnoringCase(rest, kScheme)) return std::nullopt;
  rest.remove_prefix(kScheme.size());

  AdsPath parsed;
  const std::size_t slash = rest.find('/');
  std::string_view server = rest.substr(0, slash);
  if (slash != std::string_view::npos) parsed.baseDn = std::string(rest.substr(slash + 1));
  parsed.server = std::string(server);

  std::string_view host;
  std::string_view port;
  bool hasPort = false;
  if (server.starts_with('[')) {
    const std::size_t close = server.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = server.substr(1, close - 1);
    std::string_view after = server.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      hasPort = true;
      port = after.substr(1);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
      if (!IsIpv6Character(c)) return std::nullopt;
    }
  } else {
    const std::size_t colon = server.find(':');
    host = server.substr(0, colon);
    if (colon != std::string_view::npos) {
      hasPort = true;
      port = server.substr(colon + 1);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
      if (!IsHostCharacter(c)) return std::nullopt;
    }
  }
  if (hasPort) {
    std::optional<int> number = ParsePort(port);
    if (!number) return std::nullopt;
    parsed.port = *number;
  }
  parsed.host = std::string(host);
  return parsed;
}

bool NamesOneServer(
    const std::string& host,
    const std::function<std::optional<bool>(const std::string&)>& hasLocatorRecords) {
  if (host.empty()) return false;
  if (host.find(':') != std::string::npos) return true;  // an IPv6 address
  int parts = 0;
  bool numeric = true;
  for (std::size_t from = 0;; ++parts) {
    const std::size_t dot = host.find('.', from);
    const std::string_view part =
        std::string_view(host).substr(from, dot == std::string::npos ? host.npos : dot - from);
    numeric = numeric && !part.empty() && part.size() <= 3 &&
              part.find_first_not_of("0123456789") == std::string_view::npos;
    if (dot == std::string::npos) break;
    from = dot + 1;
  }
  ++parts;
  if (numeric && parts == 4) return true;  // an IPv4 address
  if (parts == 1) return false;
  const std::optional<bool> records = hasLocatorRecords(host);
  return records.has_value() && !*records;
}

std::int64_t DirectoryErrorNumber(int ldapCode) {
  if (ldapCode == kLdapSuccess) return 0;
  return static_cast<std::int32_t>(0x80070000u | Win32Code(ldapCode));
}

std::string LdapFilterValue(std::string_view value, bool binary) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (char c : value) {
    if (binary || c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
      const auto byte = static_cast<unsigned char>(c);
      escaped += '\\';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

LdapDirectory::LdapDirectory() : LdapDirectory(Options{}) {}

LdapDirectory::LdapDirectory(Options options)
    : options_(options), session_(std::make_unique<LdapSession>()) {}

LdapDirectory::~LdapDirectory() = default;

DirectoryBinding LdapDirectory::Bind(const std::string& path) {
  session_->Close();
  boundPath_.clear();
  baseDn_.clear();

  std::optional<AdsPath> parsed = ParseAdsPath(path);
  if (!parsed) return {false, {}, kBadPathname, kBadPathnameText, {}};

  std::string base = parsed->baseDn;
  std::string credentialFailure;
  LdapStatus status = session_->Open(parsed->host, parsed->port, options_.timeoutSeconds);
  if (status.ok()) status = BindSession(*session_, credentialFailure);
  if (status.ok()) status = base.empty() ? ReadDefaultBase(*session_, base) : CheckObject(*session_, base);
  if (!status.ok()) {
    session_->Close();
    return {false, {}, DirectoryErrorNumber(status.code), std::move(status.text),
            std::move(credentialFailure)};
  }
  boundPath_ = "LDAP://" + parsed->server + "/" + base;
  baseDn_ = std::move(base);
  return {true, boundPath_, 0, {}, std::move(credentialFailure)};
}

bool LdapDirectory::Connect(const DirectoryBinding& binding, DirectoryQuery& failed) {
  if (session_->open() && binding.adsPath == boundPath_) return true;
  DirectoryBinding again = Bind(binding.adsPath);
  if (again.ok) return true;
  failed = {false, {}, again.errorNumber, std::move(again.errorDescription)};
  return false;
}

DirectoryQuery LdapDirectory::SearchAllPages(const std::string& filter,
                                             const std::vector<std::string>& attributes,
                                             const char* what, Found& found) {
  // Paging ends only with an empty cookie (RFC 2696): some servers send the
  // same cookie on every page, so a repeated one says nothing about the end.
  std::string cookie;
  int pages = 0;
  do {
    if (pages == options_.maxPages) {
      return {false, {}, kAdminLimitExceeded,
              "The directory was still sending " + std::string(what) + " after " +
                  std::to_string(pages) + " pages of " + std::to_string(options_.pageSize) +
                  "; the list is incomplete and was not used."};
    }
    ++pages;
    LdapStatus status = session_->Search(baseDn_, LdapScope::kSubtree, filter, attributes,
                                         options_.pageSize, cookie, found.entries, &found.dns);
    if (!status.ok()) return {false, {}, DirectoryErrorNumber(status.code), std::move(status.text)};
  } while (!cookie.empty());
  return {true, {}, 0, {}};
}

DirectoryQuery LdapDirectory::QueryPrintQueues(const DirectoryBinding& binding,
                                               const std::string& /*commandText*/) {
  DirectoryQuery query;
  if (!Connect(binding, query)) return query;
  Found found;
  query = SearchAllPages("(objectCategory=printQueue)", {"name", "printShareName"},
                         "print queues", found);
  if (!query.ok) return query;
  for (LdapEntryValues& values : found.entries) {
    // The directory's strings are UTF-8; printer names are compared in the
    // system's 8-bit text.
    DirectoryRow row;
    for (auto [value, text] : {std::pair{&values[0], &row.name},
                               std::pair{&values[1], &row.printShareName}}) {
      if (value->empty()) continue;
      NarrowText narrow = Utf8ToNarrow(value->front());
      *text = std::move(narrow.text);
      row.exact = row.exact && narrow.exact;
    }
    query.rows.push_back(std::move(row));
  }
  return query;
}

DirectoryQuery LdapDirectory::QueryAccountGroups(const DirectoryBinding& binding,
                                                 const std::string& accountName, bool computer) {
  DirectoryQuery query;
  if (!Connect(binding, query)) return query;
  const std::string account = computer ? accountName + "$" : accountName;
  Found found;
  query = SearchAllPages("(&(objectClass=user)(sAMAccountName=" + LdapFilterValue(account) + "))",
                         {"memberOf"}, "accounts", found);
  if (!query.ok) return query;
  if (found.entries.empty()) {
    return {false, {}, DirectoryErrorNumber(kLdapNoSuchObject),
            "no account " + account + " in the directory"};
  }
  if (found.entries.size() > 1) {
    return {false, {}, DirectoryErrorNumber(kLdapConstraintViolation),
            "more than one account " + account + " in the directory"};
  }

  // tokenGroups is computed only for a base-scope read of the object itself.
  std::string noCookie;
  std::vector<LdapEntryValues> self;
  LdapStatus status = session_->Search(found.dns.front(), LdapScope::kBase, "(objectClass=*)",
                                       {"tokenGroups"}, 0, noCookie, self);
  if (!status.ok()) return {false, {}, DirectoryErrorNumber(status.code), std::move(status.text)};
  if (!self.empty() && !self.front()[0].empty()) return GroupsBySid(self.front()[0]);
  return GroupsByMemberOf(account, found.entries.front()[0]);
}

DirectoryQuery LdapDirectory::GroupsBySid(const std::vector<std::string>& sids) {
  // A SID that names nothing under the bound object (a well-known one, or a
  // group of another domain) gives no row.
  std::string filter = "(|";
  for (const std::string& sid : sids) filter += "(objectSid=" + LdapFilterValue(sid, true) + ")";
  filter += ")";
  Found found;
  DirectoryQuery query = SearchAllPages(filter, {"sAMAccountName", "cn"}, "groups", found);
  if (!query.ok) return query;
  for (const LdapEntryValues& values : found.entries) AddGroupRow(values, query);
  return query;
}

DirectoryQuery LdapDirectory::QueryGroups(const DirectoryBinding& binding) {
  DirectoryQuery query;
  if (!Connect(binding, query)) return query;
  Found found;
  query = SearchAllPages(
      "(|(objectClass=group)(objectClass=groupOfNames)(objectClass=groupOfUniqueNames))",
      {"sAMAccountName", "cn"}, "groups", found);
  if (!query.ok) return query;
  for (const LdapEntryValues& values : found.entries) AddGroupRow(values, query);
  // Iterator forms: the fuzz build's clang cannot take libstdc++'s ranges.
  std::sort(query.rows.begin(), query.rows.end(), [](const DirectoryRow& a, const DirectoryRow& b) {
    return LessIgnoringCase(a.name, b.name);
  });
  query.rows.erase(std::unique(query.rows.begin(), query.rows.end(),
                               [](const DirectoryRow& a, const DirectoryRow& b) {
                                 return EqualsIgnoringCase(a.name, b.name);
                               }),
                   query.rows.end());
  return query;
}

// Breadth first, each group read once: membership cycles end, and a group
// reached by two paths is one row.
DirectoryQuery LdapDirectory::GroupsByMemberOf(const std::string& account,
                                               const std::vector<std::string>& direct) {
  DirectoryQuery query;
  std::set<std::string> seen;
  // False once more groups are known than the bound allows.
  auto enqueue = [&](const std::vector<std::string>& dns, std::vector<std::string>& into) {
    for (const std::string& dn : dns) {
      if (seen.insert(LowerAscii(dn)).second) into.push_back(dn);
    }
    return seen.size() <= static_cast<std::size_t>(options_.maxGroups);
  };
  auto cut = [&account](std::string why) {
    return DirectoryQuery{false, {}, kAdminLimitExceeded,
                          "the groups of " + account + " " + why +
                              "; the list is incomplete and was not used"};
  };
  const std::string tooMany = "are more than " + std::to_string(options_.maxGroups);
  std::vector<std::string> level;
  if (!enqueue(direct, level)) return cut(tooMany);
  for (int depth = 1; !level.empty(); ++depth) {
    if (depth > options_.maxGroupDepth) {
      return cut("nest deeper than " + std::to_string(options_.maxGroupDepth) + " levels");
    }
    std::vector<std::string> next;
    for (const std::string& dn : level) {
      std::string noCookie;
      std::vector<LdapEntryValues> group;
      LdapStatus status = session_->Search(dn, LdapScope::kBase, "(objectClass=*)",
                                           {"sAMAccountName", "cn", "memberOf"}, 0, noCookie,
                                           group);
      // A group deleted since, or one this bind may not see, names nothing.
      if (status.code == kLdapNoSuchObject) continue;
      if (!status.ok()) return {false, {}, DirectoryErrorNumber(status.code), std::move(status.text)};
      if (group.empty()) continue;
      AddGroupRow(group.front(), query);
      if (!enqueue(group.front()[2], next)) return cut(tooMany);
    }
    level = std::move(next);
  }
  query.ok = true;
  return query;
}

}  // namespace quillon::platform
