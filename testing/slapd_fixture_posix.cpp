// SlapdFixture: writes slapd.conf, the test schema and one LDIF per database,
// loads them offline with slapadd (fast for many thousands of entries), then
// runs slapd in the foreground as a child that dies with the test process.
#include <ldap.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/slapd_fixture.h"
#include "testing/test_process.h"

namespace quillon::platform::ldap_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr const char* kSlapadd = "/usr/sbin/slapadd";
constexpr const char* kCoreSchema = "/etc/ldap/schema/core.schema";
constexpr const char* kModuleFolder = "/usr/lib/ldap";

// What the directory code reads, under a private arc. "name" and "cn" come from
// core.schema; "name" is their common super-type there, so a request for
// "name" also returns "cn" values, as directory servers do.
constexpr const char* kTestSchema = R"(# Print queues as the directory tests need them.
attributetype ( 1.3.6.1.4.1.99999.1.1.1 NAME 'printShareName'
  EQUALITY caseIgnoreMatch SUBSTR caseIgnoreSubstringsMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )
attributetype ( 1.3.6.1.4.1.99999.1.1.2 NAME 'objectCategory'
  EQUALITY caseIgnoreMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.99999.1.1.3 NAME 'defaultNamingContext'
  EQUALITY distinguishedNameMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 SINGLE-VALUE )
objectclass ( 1.3.6.1.4.1.99999.1.2.1 NAME 'printQueue' SUP top STRUCTURAL
  MUST ( cn $ objectCategory )
  MAY ( name $ printShareName ) )
# Accounts and groups as Active Directory names them; tokenGroups is stored
# here, where a domain controller computes it.
attributetype ( 1.3.6.1.4.1.99999.1.1.4 NAME 'sAMAccountName'
  EQUALITY caseIgnoreMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.99999.1.1.5 NAME 'objectSid'
  EQUALITY octetStringMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 SINGLE-VALUE )
attributetype ( 1.3.6.1.4.1.99999.1.1.6 NAME 'tokenGroups'
  EQUALITY octetStringMatch
  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )
objectclass ( 1.3.6.1.4.1.99999.1.2.2 NAME 'user' SUP top STRUCTURAL
  MUST cn
  MAY ( sAMAccountName $ objectSid $ tokenGroups ) )
objectclass ( 1.3.6.1.4.1.99999.1.2.3 NAME 'computer' SUP user STRUCTURAL )
objectclass ( 1.3.6.1.4.1.99999.1.2.4 NAME 'group' SUP top STRUCTURAL
  MUST cn
  MAY ( member $ sAMAccountName $ objectSid ) )
)";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i]))) {
      return false;
    }
  }
  return true;
}

std::string EscapeRdnValue(const std::string& value) {
  std::string escaped;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool edge = (i == 0 && (c == ' ' || c == '#')) || (i + 1 == value.size() && c == ' ');
    if (edge || c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' || c == ';' ||
        c == '=') {
      escaped += '\\';
    }
    escaped += c;
  }
  return escaped;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// An LDIF line, in base64 when the value could not be written plainly.
std::string LdifLine(const std::string& attribute, const std::string& value) {
  bool safe = value.empty() || (value.front() != ' ' && value.front() != ':' &&
                                value.front() != '<' && value.back() != ' ');
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0 || byte == '\n' || byte == '\r' || byte > 0x7F) safe = false;
  }
  return safe ? attribute + ": " + value + "\n" : attribute + ":: " + Base64(value) + "\n";
}

void AppendEntry(std::string& ldif, const SlapdEntry& entry) {
  ldif += LdifLine("dn", entry.dn);
  for (const auto& [attribute, value] : entry.attributes) ldif += LdifLine(attribute, value);
  ldif += "\n";
}

// The entry a suffix needs for itself: a domain component or an organization.
bool SuffixEntry(const std::string& suffix, SlapdEntry& entry) {
  const std::string rdn = suffix.substr(0, suffix.find(','));
  const std::size_t equals = rdn.find('=');
  if (equals == std::string::npos) return false;
  std::string type = rdn.substr(0, equals);
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string value = rdn.substr(equals + 1);
  entry.dn = suffix;
  if (type == "dc") {
    entry.attributes = {{"objectClass", "dcObject"}, {"objectClass", "organization"},
                        {"dc", value}, {"o", value}};
  } else if (type == "o") {
    entry.attributes = {{"objectClass", "organization"}, {"o", value}};
  } else {
    return false;
  }
  return true;
}

bool WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

std::string LogTail(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string all = text.str();
  constexpr std::size_t kKeep = 1500;
  if (all.size() > kKeep) all = "..." + all.substr(all.size() - kKeep);
  while (!all.empty() && (all.back() == '\n' || all.back() == '\r')) all.pop_back();
  return all;
}

}  // namespace

SlapdEntry PrintQueueEntry(const std::string& parentDn, const std::string& name,
                           const std::vector<std::string>& shareNames, bool withName) {
  SlapdEntry entry{"cn=" + EscapeRdnValue(name) + "," + parentDn,
                   {{"objectClass", "printQueue"}, {"objectCategory", "printQueue"}, {"cn", name}}};
  if (withName) entry.attributes.emplace_back("name", name);
  for (const std::string& share : shareNames) entry.attributes.emplace_back("printShareName", share);
  return entry;
}

SlapdEntry OrganizationalUnitEntry(const std::string& parentDn, const std::string& ou) {
  return {"ou=" + EscapeRdnValue(ou) + "," + parentDn,
          {{"objectClass", "organizationalUnit"}, {"ou", ou}}};
}

SlapdEntry AccountEntry(const std::string& parentDn, const std::string& name, bool computer) {
  return {"cn=" + EscapeRdnValue(name) + "," + parentDn,
          {{"objectClass", computer ? "computer" : "user"},
           {"cn", name},
           {"sAMAccountName", computer ? name + "$" : name}}};
}

SlapdEntry GroupEntry(const std::string& parentDn, const std::string& name,
                      const std::vector<std::string>& members) {
  SlapdEntry entry{"cn=" + EscapeRdnValue(name) + "," + parentDn,
                   {{"objectClass", "group"}, {"cn", name}, {"sAMAccountName", name}}};
  for (const std::string& member : members) entry.attributes.emplace_back("member", member);
  return entry;
}

bool SlapdFixture::Installed() { return access(kSlapd, X_OK) == 0 && access(kSlapadd, X_OK) == 0; }

SlapdFixture::SlapdFixture(SlapdOptions options) : suffixes_(options.suffixes) {
  if (!Installed()) {
    failure_ = std::string(kSlapd) + " is not installed (scripts/setup installs slapd)";
    return;
  }
  if (Prepare(options) && Load(options)) Launch();
}

SlapdFixture::~SlapdFixture() {
  Stop();
  if (!folder_.empty()) {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
}

bool SlapdFixture::Prepare(const SlapdOptions& options) {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "quillon-slapd-XXXXXX").string();
  if (error || !mkdtemp(pattern.data())) {
    failure_ = "cannot create a temporary folder for slapd";
    return false;
  }
  folder_ = pattern;
  const fs::path folder(folder_);

  std::string conf = "include " + Quoted(kCoreSchema) + "\n";
  conf += "include " + Quoted((folder / "quillon-test.schema").string()) + "\n";
  conf += "pidfile " + Quoted((folder / "slapd.pid").string()) + "\n";
  conf += "argsfile " + Quoted((folder / "slapd.args").string()) + "\n";
  std::string modules;
  if (fs::exists(fs::path(kModuleFolder) / "back_mdb.so", error)) modules += "moduleload back_mdb\n";
  if (options.memberOf && fs::exists(fs::path(kModuleFolder) / "memberof.so", error)) {
    modules += "moduleload memberof\n";
  }
  if (!modules.empty()) conf += std::string("modulepath ") + kModuleFolder + "\n" + modules;
  if (!options.defaultNamingContext.empty()) {
    const fs::path rootDse = folder / "root-dse.ldif";
    if (!WriteFile(rootDse, "dn:\n" + LdifLine("defaultNamingContext", options.defaultNamingContext))) {
      failure_ = "cannot write " + rootDse.string();
      return false;
    }
    conf += "rootDSE " + Quoted(rootDse.string()) + "\n";
  }
  // Like a directory server's cap on unpaged results; paged searches may read everything.
  const std::string limit = std::to_string(options.sizeLimit);
  conf += "sizelimit size.soft=" + limit + " size.hard=" + limit + " size.prtotal=unlimited\n";
  conf += "access to * by * read\n";
  for (std::size_t i = 0; i < options.suffixes.size(); ++i) {
    const fs::path database = folder / ("db" + std::to_string(i));
    fs::create_directory(database, error);
    conf += "\ndatabase mdb\n";
    conf += "suffix " + Quoted(options.suffixes[i]) + "\n";
    conf += "rootdn " + Quoted("cn=admin," + options.suffixes[i]) + "\n";
    conf += "rootpw secret\n";
    conf += "directory " + Quoted(database.string()) + "\n";
    conf += "maxsize 268435456\n";
    conf += "index objectClass,objectCategory eq\n";
    if (options.memberOf) conf += "overlay memberof\nmemberof-group-oc group\nmemberof-member-ad member\n";
  }
  if (!WriteFile(folder / "quillon-test.schema", kTestSchema) ||
      !WriteFile(folder / "slapd.conf", conf)) {
    failure_ = "cannot write the slapd configuration in " + folder_;
    return false;
  }
  return true;
}

bool SlapdFixture::Load(const SlapdOptions& options) {
  const fs::path folder(folder_);
  std::vector<std::string> ldif(options.suffixes.size());
  for (std::size_t i = 0; i < options.suffixes.size(); ++i) {
    SlapdEntry own;
    if (!SuffixEntry(options.suffixes[i], own)) {
      failure_ = "suffix " + options.suffixes[i] + " does not start with dc= or o=";
      return false;
    }
    AppendEntry(ldif[i], own);
  }
  for (const SlapdEntry& entry : options.entries) {
    std::size_t database = 0;
    while (database < options.suffixes.size() &&
           !EndsWithIgnoringCase(entry.dn, "," + options.suffixes[database])) {
      ++database;
    }
    if (database == options.suffixes.size()) {
      failure_ = "entry " + entry.dn + " lies under none of the suffixes";
      return false;
    }
    AppendEntry(ldif[database], entry);
  }
  const fs::path log = folder / "slapadd.log";
  for (std::size_t i = 0; i < options.suffixes.size(); ++i) {
    const fs::path file = folder / ("db" + std::to_string(i) + ".ldif");
    if (!WriteFile(file, ldif[i])) {
      failure_ = "cannot write " + file.string();
      return false;
    }
    const pid_t pid = test_process::Spawn({kSlapadd, "-q", "-f", (folder / "slapd.conf").string(),
                                           "-b", options.suffixes[i], "-l", file.string()},
                                          log.string());
    if (pid < 0 || test_process::WaitFor(pid, std::chrono::seconds(60)) != 0) {
      failure_ = "slapadd failed to load " + options.suffixes[i] + ": " + LogTail(log);
      return false;
    }
  }
  return true;
}

bool SlapdFixture::Launch() {
  const fs::path folder(folder_);
  const fs::path log = folder / "slapd.log";
  // The free port may be taken between choosing and listening: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int port = UnusedLoopbackPort();
    if (port <= 0) {
      failure_ = "no free loopback port";
      return false;
    }
    const pid_t pid = test_process::Spawn(
        {kSlapd, "-h", "ldap://127.0.0.1:" + std::to_string(port) + "/", "-f",
         (folder / "slapd.conf").string(), "-d", "0"},
        log.string());
    if (pid < 0) {
      failure_ = "cannot start slapd";
      return false;
    }
    const auto started =
        test_process::WaitUntilListening(pid, port, std::chrono::seconds(10));
    if (started == test_process::StartOutcome::kListening) {
      pid_ = pid;
      port_ = port;
      failure_.clear();
      return true;
    }
    if (started == test_process::StartOutcome::kSilent) {
      failure_ = "slapd did not answer within 10 s: " + LogTail(log);
      return false;
    }
    failure_ = "slapd stopped at start: " + LogTail(log);
  }
  return false;
}

std::string SlapdFixture::Add(const SlapdEntry& entry) { return Change(entry, true); }

std::string SlapdFixture::AddValues(const SlapdEntry& change) { return Change(change, false); }

std::string SlapdFixture::Change(const SlapdEntry& entry, bool add) {
  if (!running()) return "slapd is not running";
  std::string suffix;
  for (const std::string& candidate : suffixes_) {
    if (EndsWithIgnoringCase(entry.dn, "," + candidate)) suffix = candidate;
  }
  if (suffix.empty()) return "entry " + entry.dn + " lies under none of the suffixes";

  // One modification per attribute, its values in the order written.
  std::vector<std::string> names;
  std::vector<std::vector<berval>> values;
  for (const auto& [attribute, value] : entry.attributes) {
    std::size_t at = 0;
    while (at < names.size() && names[at] != attribute) ++at;
    if (at == names.size()) {
      names.push_back(attribute);
      values.emplace_back();
    }
    values[at].push_back({static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())});
  }
  std::vector<LDAPMod> mods(names.size());
  std::vector<std::vector<berval*>> pointers(names.size());
  std::vector<LDAPMod*> list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (berval& value : values[i]) pointers[i].push_back(&value);
    pointers[i].push_back(nullptr);
    mods[i].mod_op = LDAP_MOD_ADD | LDAP_MOD_BVALUES;
    mods[i].mod_type = names[i].data();
    mods[i].mod_bvalues = pointers[i].data();
    list.push_back(&mods[i]);
  }
  list.push_back(nullptr);

  LDAP* ld = nullptr;
  if (ldap_initialize(&ld, Url().c_str()) != LDAP_SUCCESS) return "cannot reach slapd";
  const int version = LDAP_VERSION3;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  const std::string admin = "cn=admin," + suffix;
  std::string password = "secret";
  berval credentials = {static_cast<ber_len_t>(password.size()), password.data()};
  int rc = ldap_sasl_bind_s(ld, admin.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr,
                            nullptr);
  if (rc == LDAP_SUCCESS) {
    rc = add ? ldap_add_ext_s(ld, entry.dn.c_str(), list.data(), nullptr, nullptr)
             : ldap_modify_ext_s(ld, entry.dn.c_str(), list.data(), nullptr, nullptr);
  }
  ldap_unbind_ext_s(ld, nullptr, nullptr);
  if (rc != LDAP_SUCCESS) return entry.dn + ": " + ldap_err2string(rc);
  return {};
}

void SlapdFixture::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  test_process::WaitFor(pid_, std::chrono::seconds(5));  // kills it outright after that
  pid_ = 0;
}

}  // namespace quillon::platform::ldap_test
