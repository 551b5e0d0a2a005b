// LdapSession over Windows' own wldap32, whose result codes are already the
// ones the seam uses. The user's logon credentials bind through Negotiate;
// every request that waits on the server is bounded by the session's time-out.
#include "platform/host/windows_api.h"

#include <rpc.h>  // the identity record of a Negotiate bind
#include <windns.h>
#include <winldap.h>

#include "platform/ldap/ldap_directory.h"
#include "platform/ldap/ldap_session.h"

namespace quillon::platform {
namespace {

LDAP* Handle(void* handle) { return static_cast<LDAP*>(handle); }

constexpr ULONG kFailedRequest = static_cast<ULONG>(-1);

std::string ServerMessage(LDAP* ld) {
  wchar_t* message = nullptr;
  std::string text;
  if (ldap_get_optionW(ld, LDAP_OPT_SERVER_ERROR, &message) == LDAP_SUCCESS && message) {
    text = win32::Utf8(message);
    ldap_memfreeW(message);
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
  PLDAPControlW* controls = nullptr;
  ~ControlsGuard() {
    if (controls) ldap_controls_freeW(controls);
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
  const std::wstring name = win32::Wide("_ldap._tcp.dc._msdcs." + host);
  PDNS_RECORD records = nullptr;
  const DNS_STATUS status = DnsQuery_W(name.c_str(), DNS_TYPE_SRV,
                                       DNS_QUERY_STANDARD, nullptr, &records, nullptr);
  if (records) DnsRecordListFree(records, DnsFreeRecordList);
  if (status == ERROR_SUCCESS) return true;
  if (status == DNS_ERROR_RCODE_NAME_ERROR || status == DNS_INFO_NO_RECORDS) return false;
  return std::nullopt;
}

bool RunningOnWine() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
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
  std::wstring name = win32::Wide(ipv6 ? "[" + host + "]" : host);
  LDAP* ld = ldap_initW(name.data(), static_cast<ULONG>(port));
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
  LdapStatus status = Await(ld, ldap_simple_bindW(ld, nullptr, nullptr), timeoutSeconds_, result);
  if (!status.ok()) return status;
  return Outcome(ld, ldap_result2error(ld, result.message, FALSE));
}

// Negotiate picks Kerberos or NTLM with the logged-on user's credentials.
// Its bind waits without a limit, so the server is first asked for its root
// entry, which it answers to anyone, within the time-out.
LdapStatus LdapSession::BindKerberos() {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);
  wchar_t filter[] = L"(objectClass=*)";
  wchar_t noAttributes[] = L"1.1";
  wchar_t* attributes[] = {noAttributes, nullptr};
  wchar_t root[] = L"";
  ULONG id = kFailedRequest;
  const ULONG sent = ldap_search_extW(ld, root, LDAP_SCOPE_BASE, filter,
                                      attributes, 0, nullptr, nullptr,
                                      static_cast<ULONG>(timeoutSeconds_), 0, &id);
  if (sent != LDAP_SUCCESS) return Outcome(ld, sent);
  MessageGuard probe;
  LdapStatus status = Await(ld, id, timeoutSeconds_, probe);
  if (!status.ok()) return status;
  // Windows takes no credential as the logged-on user's. Wine 8 reads through
  // that null pointer and crashes; an identity that names no one is the same
  // request there.
  SEC_WINNT_AUTH_IDENTITY_W nobody{};
  nobody.Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
  wchar_t* credential = RunningOnWine() ? reinterpret_cast<wchar_t*>(&nobody) : nullptr;
  return Outcome(ld, ldap_bind_sW(ld, nullptr, credential, LDAP_AUTH_NEGOTIATE));
}

LdapStatus LdapSession::Search(const std::string& base, LdapScope scope,
                               const std::string& filter,
                               const std::vector<std::string>& attributes, int pageSize,
                               std::string& cookie, std::vector<LdapEntryValues>& entries,
                               std::vector<std::string>* dns) {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);

  std::vector<std::wstring> wideNames;
  for (const std::string& attribute : attributes) wideNames.push_back(win32::Wide(attribute));
  std::vector<wchar_t*> names;
  for (std::wstring& name : wideNames) names.push_back(name.data());
  names.push_back(nullptr);
  std::wstring wideBase = win32::Wide(base), wideFilter = win32::Wide(filter);

  PLDAPControlW page = nullptr;
  if (pageSize > 0) {
    berval previous{static_cast<ULONG>(cookie.size()), cookie.empty() ? nullptr : cookie.data()};
    // Not critical: a server without paging answers the whole search at once.
    const ULONG rc = ldap_create_page_controlW(ld, static_cast<ULONG>(pageSize),
                                               cookie.empty() ? nullptr : &previous, FALSE, &page);
    if (rc != LDAP_SUCCESS) return Outcome(ld, rc);
  }
  PLDAPControlW serverControls[] = {page, nullptr};

  l_timeval timeout{timeoutSeconds_, 0};
  MessageGuard result;
  const ULONG rc = ldap_search_ext_sW(
      ld, wideBase.data(), scope == LdapScope::kBase ? LDAP_SCOPE_BASE : LDAP_SCOPE_SUBTREE,
      wideFilter.data(), names.data(), 0, page ? serverControls : nullptr, nullptr, &timeout, 0,
      &result.message);
  if (page) ldap_control_freeW(page);
  if (!result.message) return Outcome(ld, rc);

  for (LDAPMessage* entry = ldap_first_entry(ld, result.message); entry;
       entry = ldap_next_entry(ld, entry)) {
    LdapEntryValues values(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      // The values' bytes as the server sent them: UTF-8 for strings.
      berval** found = ldap_get_values_lenW(ld, entry, wideNames[i].data());
      if (!found) continue;
      for (berval** value = found; *value; ++value) {
        values[i].emplace_back((*value)->bv_val, (*value)->bv_len);
      }
      ldap_value_free_len(found);
    }
    entries.push_back(std::move(values));
    if (dns) {
      wchar_t* dn = ldap_get_dnW(ld, entry);
      dns->push_back(win32::Utf8(dn));
      if (dn) ldap_memfreeW(dn);
    }
  }

  ULONG code = LDAP_SUCCESS;
  wchar_t* diagnostic = nullptr;
  ControlsGuard returned;
  const ULONG parsed = ldap_parse_resultW(ld, result.message, &code, nullptr, &diagnostic,
                                          nullptr, &returned.controls, FALSE);
  const std::string message = win32::Utf8(diagnostic);
  if (diagnostic) ldap_memfreeW(diagnostic);
  if (parsed != LDAP_SUCCESS) return Outcome(ld, parsed);
  if (code != LDAP_SUCCESS) return Failure(code, message);

  if (pageSize > 0) {
    cookie.clear();
    ULONG estimate = 0;
    berval* next = nullptr;
    // No paging answer at all means the server sent everything at once.
    if (returned.controls &&
        ldap_parse_page_controlW(ld, returned.controls, &estimate, &next) == LDAP_SUCCESS &&
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
  const wchar_t* text = ldap_err2stringW(static_cast<ULONG>(code));
  return text ? win32::Utf8(text) : "LDAP error " + std::to_string(code);
}

}  // namespace quillon::platform
