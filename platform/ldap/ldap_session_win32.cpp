// LdapSession over Windows' own wldap32, whose result codes are already the
// ones the seam uses. The user's logon credentials bind through Negotiate;
// every request that waits on the server is bounded by the session's time-out.
#include "platform/host/windows_api.h"

#include <rpc.h>  // the identity record of a Negotiate bind
#include <windns.h>
#include <winldap.h>

#include "platform/ldap/ldap_directory.h"
#include "platform/ldap/ldap_session.h"
#include "platform/text.h"

namespace quillon::platform {
namespace {

LDAP* Handle(void* handle) { return static_cast<LDAP*>(handle); }

constexpr ULONG kFailedRequest = static_cast<ULONG>(-1);

std::string ServerMessage(LDAP* ld) {
  char* message = nullptr;
  std::string text;
  if (ldap_get_option(ld, LDAP_OPT_SERVER_ERROR, &message) == LDAP_SUCCESS && message) {
    text = message;
    ldap_memfreeA(message);
  }
  return text;
}

LdapStatus Failure(ULONG code, const std::string& diagnostic) {
  LdapStatus status{static_cast<int>(code), LdapSession::ErrorText(static_cast<int>(code))};
  if (!diagnostic.empty()) status.text += " (" + diagnostic + ")";
  return status;
}

LdapStatus Outcome(LDAP* ld, ULONG code) {
  if (code == LDAP_SUCCESS) return {};
  return Failure(code, ServerMessage(ld));
}

struct MessageGuard {
  LDAPMessage* message = nullptr;
  ~MessageGuard() {
    if (message) ldap_msgfree(message);
  }
};

struct ControlsGuard {
  PLDAPControlA* controls = nullptr;
  ~ControlsGuard() {
    if (controls) ldap_controls_freeA(controls);
  }
};

// Waits for the whole answer to request `id`; a server that stays silent
// past the time-out has the request abandoned and is reported as timed out.
LdapStatus Await(LDAP* ld, ULONG id, int timeoutSeconds, MessageGuard& result) {
  if (id == kFailedRequest) return Outcome(ld, LdapGetLastError());
  l_timeval timeout{timeoutSeconds, 0};
  const ULONG kind = ldap_result(ld, id, LDAP_MSG_ALL, &timeout, &result.message);
  if (kind == 0) {
    ldap_abandon(ld, id);
    return Failure(LDAP_TIMEOUT, {});
  }
  if (kind == kFailedRequest || !result.message) return Outcome(ld, LdapGetLastError());
  return {};
}

// Whether the DNS has the domain controller locator's records for `host`,
// that is whether it is a domain; nullopt when the DNS cannot say.
std::optional<bool> HasLocatorRecords(const std::string& host) {
  const std::u16string name = NarrowToUtf16("_ldap._tcp.dc._msdcs." + host);
  PDNS_RECORD records = nullptr;
  const DNS_STATUS status = DnsQuery_W(reinterpret_cast<PCWSTR>(name.c_str()), DNS_TYPE_SRV,
                                       DNS_QUERY_STANDARD, nullptr, &records, nullptr);
  if (records) DnsRecordListFree(records, DnsFreeRecordList);
  if (status == ERROR_SUCCESS) return true;
  if (status == DNS_ERROR_RCODE_NAME_ERROR || status == DNS_INFO_NO_RECORDS) return false;
  return std::nullopt;
}

bool RunningOnWine() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

}  // namespace

LdapSession::~LdapSession() { Close(); }

// wldap32 connects here, within the time-out, so that the binds that follow
// (Negotiate has no time-out of its own) meet a server that is there.
LdapStatus LdapSession::Open(const std::string& host, int port, int timeoutSeconds) {
  Close();
  timeoutSeconds_ = timeoutSeconds;
  const bool ipv6 = host.find(':') != std::string::npos;
  std::string name = ipv6 ? "[" + host + "]" : host;
  LDAP* ld = ldap_initA(name.data(), static_cast<ULONG>(port));
  if (!ld) return Failure(LdapGetLastError(), {});
  handle_ = ld;
  const ULONG version = LDAP_VERSION3;
  const ULONG noLimit = 0;  // the server's limits decide; paging reads past them
  if (ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF) != LDAP_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_SIZELIMIT, &noLimit) != LDAP_SUCCESS) {
    Close();
    return Failure(LDAP_LOCAL_ERROR, "setting the connection options failed");
  }
  // One server's name is looked up as a host at once, not first as a domain
  // through the locator's DNS queries, which for a host only fail; an option
  // wldap32 does not take changes nothing but that.
  if (NamesOneServer(host, HasLocatorRecords)) {
    ldap_set_option(ld, LDAP_OPT_AREC_EXCLUSIVE, LDAP_OPT_ON);
  }
  l_timeval timeout{timeoutSeconds, 0};
  const ULONG connected = ldap_connect(ld, &timeout);
  if (connected != LDAP_SUCCESS) {
    LdapStatus status = Outcome(ld, connected);
    Close();
    return status;
  }
  return {};
}

LdapStatus LdapSession::BindAnonymous() {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);
  MessageGuard result;
  LdapStatus status = Await(ld, ldap_simple_bindA(ld, nullptr, nullptr), timeoutSeconds_, result);
  if (!status.ok()) return status;
  return Outcome(ld, ldap_result2error(ld, result.message, FALSE));
}

// Negotiate picks Kerberos or NTLM with the logged-on user's credentials.
// Its bind waits without a limit, so the server is first asked for its root
// entry, which it answers to anyone, within the time-out.
LdapStatus LdapSession::BindKerberos() {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);
  char filter[] = "(objectClass=*)";
  char noAttributes[] = "1.1";
  char* attributes[] = {noAttributes, nullptr};
  ULONG id = kFailedRequest;
  const ULONG sent = ldap_search_extA(ld, const_cast<char*>(""), LDAP_SCOPE_BASE, filter,
                                      attributes, 0, nullptr, nullptr,
                                      static_cast<ULONG>(timeoutSeconds_), 0, &id);
  if (sent != LDAP_SUCCESS) return Outcome(ld, sent);
  MessageGuard probe;
  LdapStatus status = Await(ld, id, timeoutSeconds_, probe);
  if (!status.ok()) return status;
  // Windows takes no credential as the logged-on user's. Wine 8 reads through
  // that null pointer and crashes; an identity that names no one is the same
  // request there.
  SEC_WINNT_AUTH_IDENTITY_A nobody{};
  nobody.Flags = SEC_WINNT_AUTH_IDENTITY_ANSI;
  char* credential = RunningOnWine() ? reinterpret_cast<char*>(&nobody) : nullptr;
  return Outcome(ld, ldap_bind_sA(ld, nullptr, credential, LDAP_AUTH_NEGOTIATE));
}

LdapStatus LdapSession::Search(const std::string& base, LdapScope scope,
                               const std::string& filter,
                               const std::vector<std::string>& attributes, int pageSize,
                               std::string& cookie, std::vector<LdapEntryValues>& entries) {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);

  std::vector<char*> names;
  for (const std::string& attribute : attributes) {
    names.push_back(const_cast<char*>(attribute.c_str()));
  }
  names.push_back(nullptr);

  PLDAPControlA page = nullptr;
  if (pageSize > 0) {
    berval previous{static_cast<ULONG>(cookie.size()), cookie.empty() ? nullptr : cookie.data()};
    // Not critical: a server without paging answers the whole search at once.
    const ULONG rc = ldap_create_page_controlA(ld, static_cast<ULONG>(pageSize),
                                               cookie.empty() ? nullptr : &previous, FALSE, &page);
    if (rc != LDAP_SUCCESS) return Outcome(ld, rc);
  }
  PLDAPControlA serverControls[] = {page, nullptr};

  l_timeval timeout{timeoutSeconds_, 0};
  MessageGuard result;
  const ULONG rc = ldap_search_ext_sA(
      ld, const_cast<char*>(base.c_str()),
      scope == LdapScope::kBase ? LDAP_SCOPE_BASE : LDAP_SCOPE_SUBTREE,
      const_cast<char*>(filter.c_str()), names.data(), 0, page ? serverControls : nullptr, nullptr,
      &timeout, 0, &result.message);
  if (page) ldap_control_freeA(page);
  if (!result.message) return Outcome(ld, rc);

  for (LDAPMessage* entry = ldap_first_entry(ld, result.message); entry;
       entry = ldap_next_entry(ld, entry)) {
    LdapEntryValues values(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      berval** found = ldap_get_values_lenA(ld, entry, const_cast<char*>(attributes[i].c_str()));
      if (!found) continue;
      for (berval** value = found; *value; ++value) {
        values[i].emplace_back((*value)->bv_val, (*value)->bv_len);
      }
      ldap_value_free_len(found);
    }
    entries.push_back(std::move(values));
  }

  ULONG code = LDAP_SUCCESS;
  char* diagnostic = nullptr;
  ControlsGuard returned;
  const ULONG parsed = ldap_parse_resultA(ld, result.message, &code, nullptr, &diagnostic,
                                          nullptr, &returned.controls, FALSE);
  const std::string message = diagnostic ? diagnostic : "";
  if (diagnostic) ldap_memfreeA(diagnostic);
  if (parsed != LDAP_SUCCESS) return Outcome(ld, parsed);
  if (code != LDAP_SUCCESS) return Failure(code, message);

  if (pageSize > 0) {
    cookie.clear();
    ULONG estimate = 0;
    berval* next = nullptr;
    // No paging answer at all means the server sent everything at once.
    if (returned.controls &&
        ldap_parse_page_controlA(ld, returned.controls, &estimate, &next) == LDAP_SUCCESS &&
        next) {
      if (next->bv_val) cookie.assign(next->bv_val, next->bv_len);
      ber_bvfree(next);
    }
  }
  return {};
}

void LdapSession::Close() {
  if (handle_) ldap_unbind(Handle(handle_));
  handle_ = nullptr;
}

std::string LdapSession::ErrorText(int code) {
  const char* text = ldap_err2stringA(static_cast<ULONG>(code));
  return text ? text : "LDAP error " + std::to_string(code);
}

}  // namespace quillon::platform
