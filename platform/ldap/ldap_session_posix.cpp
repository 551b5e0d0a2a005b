// LdapSession over OpenLDAP's libldap: synchronous calls, each bounded by the
// session's time-out, with libldap's negative client codes renumbered the way
// Windows numbers them.
#include <ldap.h>
#include <sys/time.h>


#include "platform/ldap/ldap_session.h"

namespace quillon::platform {
namespace {

LDAP* Handle(void* handle) { return static_cast<LDAP*>(handle); }

// libldap numbers its client-side codes -1 (server down) to -17; Windows
// numbers the same codes 0x51 to 0x61.
int ProtocolCode(int libraryCode) { return libraryCode < 0 ? 0x50 - libraryCode : libraryCode; }
int LibraryCode(int protocolCode) {
  return protocolCode > 0x50 && protocolCode <= 0x61 ? 0x50 - protocolCode : protocolCode;
}

std::string DiagnosticMessage(LDAP* ld) {
  char* message = nullptr;
  std::string text;
  if (ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &message) == LDAP_OPT_SUCCESS && message) {
    text = message;
  }
  ldap_memfree(message);
  return text;
}

LdapStatus Failure(int libraryCode, const std::string& diagnostic) {
  LdapStatus status{ProtocolCode(libraryCode), ldap_err2string(libraryCode)};
  if (!diagnostic.empty()) status.text += " (" + diagnostic + ")";
  return status;
}

LdapStatus Outcome(LDAP* ld, int libraryCode) {
  if (libraryCode == LDAP_SUCCESS) return {};
  return Failure(libraryCode, DiagnosticMessage(ld));
}

// GSSAPI needs no answers from the user; the callback only has to exist.
int NoInteraction(LDAP*, unsigned, void*, void*) { return LDAP_SUCCESS; }

struct MessageGuard {
  LDAPMessage* message = nullptr;
  ~MessageGuard() {
    if (message) ldap_msgfree(message);
  }
};

struct ControlsGuard {
  LDAPControl** controls = nullptr;
  ~ControlsGuard() {
    if (controls) ldap_controls_free(controls);
  }
};

}  // namespace

LdapSession::~LdapSession() { Close(); }

LdapStatus LdapSession::Open(const std::string& host, int port, int timeoutSeconds) {
  Close();
  timeoutSeconds_ = timeoutSeconds;
  const bool ipv6 = host.find(':') != std::string::npos;
  const std::string url =
      "ldap://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
  LDAP* ld = nullptr;
  int rc = ldap_initialize(&ld, url.c_str());
  if (rc != LDAP_SUCCESS) return Failure(rc, {});
  handle_ = ld;
  const int version = LDAP_VERSION3;
  struct timeval timeout = {timeoutSeconds, 0};
  const int limit = 0;  // the server's limits decide; paging reads past them
  if ((rc = ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version)) != LDAP_OPT_SUCCESS ||
      (rc = ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF)) != LDAP_OPT_SUCCESS ||
      (rc = ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout)) != LDAP_OPT_SUCCESS ||
      (rc = ldap_set_option(ld, LDAP_OPT_TIMEOUT, &timeout)) != LDAP_OPT_SUCCESS ||
      (rc = ldap_set_option(ld, LDAP_OPT_SIZELIMIT, &limit)) != LDAP_OPT_SUCCESS) {
    Close();
    return Failure(LDAP_LOCAL_ERROR, "setting the connection options failed");
  }
  return {};
}

LdapStatus LdapSession::BindAnonymous() {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  struct berval empty = {0, nullptr};
  return Outcome(Handle(handle_), ldap_sasl_bind_s(Handle(handle_), "", LDAP_SASL_SIMPLE, &empty,
                                                   nullptr, nullptr, nullptr));
}

LdapStatus LdapSession::BindKerberos() {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  return Outcome(Handle(handle_),
                 ldap_sasl_interactive_bind_s(Handle(handle_), nullptr, "GSSAPI", nullptr, nullptr,
                                              LDAP_SASL_QUIET, NoInteraction, nullptr));
}

LdapStatus LdapSession::Search(const std::string& base, LdapScope scope,
                               const std::string& filter,
                               const std::vector<std::string>& attributes, int pageSize,
                               std::string& cookie, std::vector<LdapEntryValues>& entries,
                               std::vector<std::string>* dns) {
  if (!handle_) return Failure(LDAP_SERVER_DOWN, {});
  LDAP* ld = Handle(handle_);

  std::vector<char*> names;
  for (const std::string& attribute : attributes) names.push_back(const_cast<char*>(attribute.c_str()));
  names.push_back(nullptr);

  LDAPControl* page = nullptr;
  if (pageSize > 0) {
    struct berval previous = {static_cast<ber_len_t>(cookie.size()),
                              cookie.empty() ? nullptr : cookie.data()};
    // Not critical: a server without paging answers the whole search at once.
    int rc = ldap_create_page_control(ld, static_cast<ber_int_t>(pageSize), &previous, 0, &page);
    if (rc != LDAP_SUCCESS) return Outcome(ld, rc);
  }
  LDAPControl* serverControls[] = {page, nullptr};

  struct timeval timeout = {timeoutSeconds_, 0};
  MessageGuard result;
  int rc = ldap_search_ext_s(ld, base.c_str(),
                             scope == LdapScope::kBase ? LDAP_SCOPE_BASE : LDAP_SCOPE_SUBTREE,
                             filter.c_str(), names.data(), 0, page ? serverControls : nullptr,
                             nullptr, &timeout, 0, &result.message);
  if (page) ldap_control_free(page);
  if (!result.message) return Outcome(ld, rc);

  for (LDAPMessage* entry = ldap_first_entry(ld, result.message); entry;
       entry = ldap_next_entry(ld, entry)) {
    LdapEntryValues values(attributes.size());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
      struct berval** found = ldap_get_values_len(ld, entry, attributes[i].c_str());
      if (!found) continue;
      for (struct berval** value = found; *value; ++value) {
        values[i].emplace_back((*value)->bv_val, (*value)->bv_len);
      }
      ldap_value_free_len(found);
    }
    entries.push_back(std::move(values));
    if (dns) {
      char* dn = ldap_get_dn(ld, entry);
      dns->push_back(dn ? dn : "");
      ldap_memfree(dn);
    }
  }

  int code = LDAP_SUCCESS;
  char* diagnostic = nullptr;
  ControlsGuard returned;
  rc = ldap_parse_result(ld, result.message, &code, nullptr, &diagnostic, nullptr,
                         &returned.controls, 0);
  const std::string message = diagnostic ? diagnostic : "";
  ldap_memfree(diagnostic);
  if (rc != LDAP_SUCCESS) return Outcome(ld, rc);
  if (code != LDAP_SUCCESS) return Failure(code, message);

  if (pageSize > 0) {
    cookie.clear();
    LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned.controls, nullptr);
    if (response) {
      ber_int_t estimate = 0;
      struct berval next = {0, nullptr};
      rc = ldap_parse_pageresponse_control(ld, response, &estimate, &next);
      if (rc != LDAP_SUCCESS) return Outcome(ld, rc);
      if (next.bv_val) cookie.assign(next.bv_val, next.bv_len);
      ber_memfree(next.bv_val);
    }
  }
  return {};
}

void LdapSession::Close() {
  if (handle_) ldap_unbind_ext_s(Handle(handle_), nullptr, nullptr);
  handle_ = nullptr;
}

std::string LdapSession::ErrorText(int code) { return ldap_err2string(LibraryCode(code)); }

}  // namespace quillon::platform
