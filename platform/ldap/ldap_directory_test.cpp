// LdapDirectory against a real slapd on loopback: every path form, rows as the
// server returns them, paging past the server's cap on unpaged results, and
// the failures with the numbers the engine reports.
#include "platform/ldap/ldap_directory.h"

#include <gtest/gtest.h>
#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <filesystem>
#include <fstream>

#include "platform/ldap/ldap_session.h"
#include "testing/ldap_responder.h"
#include "testing/slapd_fixture.h"

namespace quillon::platform {
namespace {

using ldap_test::AccountEntry;
using ldap_test::GroupEntry;
using ldap_test::OrganizationalUnitEntry;
using ldap_test::PrintQueueEntry;
using ldap_test::ScopedEnvironment;
using ldap_test::SlapdFixture;
using ldap_test::SlapdOptions;

constexpr std::int64_t kServerNotOperational = -2147016646;                    // 0x8007203A
constexpr std::int64_t kNoSuchObject = static_cast<std::int32_t>(0x80072030u);
constexpr std::int64_t kInvalidDnSyntax = static_cast<std::int32_t>(0x80072032u);
constexpr std::int64_t kTimedOut = static_cast<std::int32_t>(0x800705B4u);
constexpr const char* kCorp = "dc=corp,dc=example";
constexpr const char* kPrinters = "ou=Printers,dc=corp,dc=example";


std::string PathTo(const SlapdFixture& server, const std::string& base) {
  return "LDAP://" + server.HostPort() + (base.empty() ? "" : "/" + base);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(AdsPath, SplitsHostPortAndBaseDn) {
  struct Case {
    std::string path, server, host;
    int port;
    std::string baseDn;
  };
  const Case cases[] = {
      {"LDAP://corp.example.com", "corp.example.com", "corp.example.com", 389, ""},
      {"LDAP://dc1.corp.example.com:3268/OU=Printers,DC=corp,DC=example,DC=com",
       "dc1.corp.example.com:3268", "dc1.corp.example.com", 3268,
       "OU=Printers,DC=corp,DC=example,DC=com"},
      {"ldap://127.0.0.1:3890/", "127.0.0.1:3890", "127.0.0.1", 3890, ""},
      {"LDAP://[::1]:636/dc=x", "[::1]:636", "::1", 636, "dc=x"},
      {"LDAP://PRT_SRV-2/cn=a\\/b,dc=x", "PRT_SRV-2", "PRT_SRV-2", 389, "cn=a\\/b,dc=x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<AdsPath> parsed = ParseAdsPath(c.path);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->server, c.server);
    EXPECT_EQ(parsed->host, c.host);
    EXPECT_EQ(parsed->port, c.port);
    EXPECT_EQ(parsed->baseDn, c.baseDn);
  }
}

TEST(AdsPath, OneServerIsAnAddressOrANameWithoutLocatorRecords) {
  std::vector<std::string> asked;
  const auto dns = [&asked](std::optional<bool> answer) {
    return [&asked, answer](const std::string& name) {
      asked.push_back(name);
      return answer;
    };
  };
  // Addresses: no question to the DNS.
  EXPECT_TRUE(NamesOneServer("192.0.2.17", dns(true)));
  EXPECT_TRUE(NamesOneServer("2001:db8::5", dns(true)));
  EXPECT_TRUE(asked.empty());
  // A NetBIOS domain name and a single-label server look alike: the locator decides.
  EXPECT_FALSE(NamesOneServer("CORP", dns(false)));
  EXPECT_FALSE(NamesOneServer("", dns(false)));
  EXPECT_TRUE(asked.empty());
  // A domain has the locator's records; a server's name has none.
  EXPECT_FALSE(NamesOneServer("corp.example.com", dns(true)));
  EXPECT_TRUE(NamesOneServer("dc1.corp.example.com", dns(false)));
  EXPECT_EQ(asked, (std::vector<std::string>{"corp.example.com", "dc1.corp.example.com"}));
  // Numbers that are no address, and a DNS that cannot answer.
  EXPECT_FALSE(NamesOneServer("10.1.2", dns(true)));
  EXPECT_FALSE(NamesOneServer("1000.1.2.3", dns(true)));
  EXPECT_FALSE(NamesOneServer("dc1.corp.example.com", dns(std::nullopt)));
}

TEST(LdapDirectory, MalformedPathsFailWithoutTouchingTheNetwork) {
  const char* paths[] = {"",
                         "corp.example.com",
                         "GC://corp.example.com",
                         "LDAP:/corp.example.com",
                         "LDAP://",
                         "LDAP:///dc=corp,dc=example",
                         "LDAP://:389",
                         "LDAP://host:",
                         "LDAP://host:0",
                         "LDAP://host:65536",
                         "LDAP://host:38a9",
                         "LDAP://host:1:2",
                         "LDAP://corp example",
                         "LDAP://[::1",
                         "LDAP://[]:389",
                         "LDAP://[::1]x"};
  LdapDirectory directory;
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    DirectoryBinding binding = directory.Bind(path);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.errorNumber, -2147463168);  // 0x80005000
    EXPECT_EQ(binding.errorDescription, "An invalid directory pathname was passed");
    EXPECT_EQ(binding.adsPath, "");
    DirectoryQuery query = directory.QueryPrintQueues(binding, "");
    EXPECT_FALSE(query.ok);
    EXPECT_EQ(query.errorNumber, kBadPathname);
  }
}

TEST(LdapDirectory, ErrorNumbersAreTheDirectoryObjectsHresults) {
  const std::pair<int, std::int64_t> cases[] = {
      {0, 0},
      {0x51, kServerNotOperational},
      {0x20, kNoSuchObject},
      {0x04, static_cast<std::int32_t>(0x80072023u)},  // size limit exceeded
      {0x22, kInvalidDnSyntax},
      {0x31, static_cast<std::int32_t>(0x8007052Eu)},  // invalid credentials: logon failure
      {0x55, kTimedOut},
      {0x7B, static_cast<std::int32_t>(0x80072095u)},  // unknown: generic directory error
  };
  for (const auto& [code, number] : cases) {
    EXPECT_EQ(DirectoryErrorNumber(code), number) << "LDAP code " << code;
  }
}

TEST(LdapDirectory, BindWithoutBaseDnTakesTheRootDsesNamingContext) {
  struct Case {
    std::string published;  // defaultNamingContext; empty: not published
    std::string path;       // after the host and port
    std::string expectedBase;
    DirectoryRow expectedQueue;
  };
  const Case cases[] = {
      {"dc=branch,dc=example", "", "dc=branch,dc=example", {"BRANCH-B", "B"}},
      {"", "/", "dc=corp,dc=example", {"CORP-A", "A"}},  // the first namingContexts value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.published);
    SlapdOptions options;
    options.suffixes = {kCorp, "dc=branch,dc=example"};
    options.defaultNamingContext = c.published;
    options.entries = {PrintQueueEntry(kCorp, "CORP-A", {"A"}),
                       PrintQueueEntry("dc=branch,dc=example", "BRANCH-B", {"B"})};
    SlapdFixture server(options);
    REQUIRE_SERVER(server);

    LdapDirectory directory;
    DirectoryBinding binding = directory.Bind("LDAP://" + server.HostPort() + c.path);
    ASSERT_TRUE(binding.ok) << binding.errorDescription;
    EXPECT_EQ(binding.adsPath, "LDAP://" + server.HostPort() + "/" + c.expectedBase);
    DirectoryQuery query = directory.QueryPrintQueues(binding, "");
    ASSERT_TRUE(query.ok) << query.errorDescription;
    EXPECT_EQ(query.rows, std::vector<DirectoryRow>{c.expectedQueue});
  }
}

TEST(LdapDirectory, BindWithBaseDnQueriesThatSubtreeOnly) {
  const std::string floor2 = std::string("ou=Floor2,") + kPrinters;
  const std::string other = std::string("ou=Other,") + kCorp;
  SlapdOptions options;
  options.entries = {OrganizationalUnitEntry(kCorp, "Printers"),
                     PrintQueueEntry(kPrinters, "PRTSRV2-HP4", {"HP4"}),
                     OrganizationalUnitEntry(kPrinters, "Floor2"),
                     PrintQueueEntry(floor2, "PRTSRV3-F2", {"F2"}),
                     OrganizationalUnitEntry(kCorp, "Other"),
                     PrintQueueEntry(other, "PRTSRV9-ELSEWHERE", {"X"}),
                     PrintQueueEntry(kPrinters, "PRTSRV1-LATE", {"LATE"})};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);

  LdapDirectory directory;
  DirectoryBinding printers = directory.Bind(PathTo(server, kPrinters));
  ASSERT_TRUE(printers.ok) << printers.errorDescription;
  EXPECT_EQ(printers.adsPath, PathTo(server, kPrinters));
  const std::vector<DirectoryRow> underPrinters = {
      {"PRTSRV2-HP4", "HP4"}, {"PRTSRV3-F2", "F2"}, {"PRTSRV1-LATE", "LATE"}};
  DirectoryQuery query = directory.QueryPrintQueues(printers, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  EXPECT_EQ(query.rows, underPrinters);

  // A second bind replaces the connection; a query for the first binding binds it again.
  DirectoryBinding elsewhere = directory.Bind(PathTo(server, other));
  ASSERT_TRUE(elsewhere.ok) << elsewhere.errorDescription;
  query = directory.QueryPrintQueues(elsewhere, "");
  EXPECT_EQ(query.rows, (std::vector<DirectoryRow>{{"PRTSRV9-ELSEWHERE", "X"}}));
  EXPECT_FALSE(directory.Bind(PathTo(server, "ou=Missing,dc=corp,dc=example")).ok);
  query = directory.QueryPrintQueues(printers, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  EXPECT_EQ(query.rows, underPrinters);
}

TEST(LdapDirectory, RowsKeepTheServersOrderAndTheFirstShareName) {
  SlapdOptions options;
  options.entries = {
      OrganizationalUnitEntry(kCorp, "Printers"),
      PrintQueueEntry(kPrinters, "PRTSRV2-HP4", {"HP4"}),
      PrintQueueEntry(kPrinters, "PRT-SRV-LASER", {"Laser 1", "Laser 2", "Laser 3"}),
      PrintQueueEntry(kPrinters, "PRTSRV1-NOSHARE", {}),
      PrintQueueEntry(kPrinters, "NONAME", {"X"}, /*withName=*/false),
      PrintQueueEntry(kPrinters, "AAA-FIRST, ALPHABETICALLY", {"A,1"}),
      PrintQueueEntry(kPrinters, "PRTSRV2-Büro", {"Büro"}),
  };
  SlapdFixture server(options);
  REQUIRE_SERVER(server);

  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  DirectoryQuery query = directory.QueryPrintQueues(binding, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  // The queue without a name attribute still has a cn, which the server also
  // returns for "name"; only "name" itself counts.
  const std::vector<DirectoryRow> expected = {{"PRTSRV2-HP4", "HP4"},
                                              {"PRT-SRV-LASER", "Laser 1"},
                                              {"PRTSRV1-NOSHARE", ""},
                                              {"", "X"},
                                              {"AAA-FIRST, ALPHABETICALLY", "A,1"},
                                              {"PRTSRV2-Büro", "Büro"}};
  EXPECT_EQ(query.rows, expected);
}

TEST(LdapDirectory, PagingReadsPastTheServersSizeLimit) {
  constexpr int kQueues = 2500;
  SlapdOptions options;
  options.entries.push_back(OrganizationalUnitEntry(kCorp, "Printers"));
  std::vector<DirectoryRow> expected;
  for (int i = 0; i < kQueues; ++i) {
    // Descending numbers: the server's order, not a sorted one.
    const std::string share = "Q" + std::to_string(kQueues - i);
    const std::string name = "PRTSRV" + std::to_string(i % 7) + "-" + share;
    options.entries.push_back(PrintQueueEntry(kPrinters, name, {share, "alias"}));
    expected.push_back({name, share});
  }
  SlapdFixture server(options);
  REQUIRE_SERVER(server);

  // Without the paged control the server stops at its limit.
  LDAP* ld = nullptr;
  ASSERT_EQ(ldap_initialize(&ld, server.Url().c_str()), LDAP_SUCCESS);
  const int version = LDAP_VERSION3;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  char name[] = "name";
  char* attributes[] = {name, nullptr};
  LDAPMessage* result = nullptr;
  const int rc = ldap_search_ext_s(ld, kCorp, LDAP_SCOPE_SUBTREE, "(objectCategory=printQueue)",
                                   attributes, 0, nullptr, nullptr, nullptr, 0, &result);
  EXPECT_EQ(rc, LDAP_SIZELIMIT_EXCEEDED);
  EXPECT_EQ(ldap_count_entries(ld, result), 1000);
  ldap_msgfree(result);
  ldap_unbind_ext_s(ld, nullptr, nullptr);

  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  DirectoryQuery query = directory.QueryPrintQueues(binding, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  ASSERT_EQ(query.rows.size(), expected.size());
  EXPECT_EQ(query.rows, expected);
}

TEST(LdapDirectory, EmptyResultIsASuccess) {
  SlapdOptions options;
  options.entries = {OrganizationalUnitEntry(kCorp, "Printers"),
                     OrganizationalUnitEntry(kPrinters, "Empty")};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);

  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  DirectoryQuery query = directory.QueryPrintQueues(binding, "");
  EXPECT_TRUE(query.ok) << query.errorDescription;
  EXPECT_TRUE(query.rows.empty());
}

TEST(LdapDirectory, FailedBindsCarryTheDirectoryErrorNumbers) {
  SlapdOptions options;
  options.entries = {OrganizationalUnitEntry(kCorp, "Printers")};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);
  const int closedPort = ldap_test::UnusedLoopbackPort();
  ASSERT_GT(closedPort, 0);

  struct Case {
    std::string path;
    std::int64_t number;
    std::string description;
  };
  const Case cases[] = {
      {"LDAP://127.0.0.1:" + std::to_string(closedPort), kServerNotOperational,
       "Can't contact LDAP server"},
      {"LDAP://127.0.0.1:" + std::to_string(closedPort) + "/" + kCorp, kServerNotOperational,
       "Can't contact LDAP server"},
      {PathTo(server, "ou=Missing,dc=corp,dc=example"), kNoSuchObject, "No such object"},
      {PathTo(server, "ou=Printers,dc=elsewhere"), kNoSuchObject, "No such object"},
      {PathTo(server, "not a dn"), kInvalidDnSyntax, "Invalid DN syntax"},
  };
  LdapDirectory directory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto start = std::chrono::steady_clock::now();
    DirectoryBinding binding = directory.Bind(c.path);
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_FALSE(binding.ok);
    EXPECT_EQ(binding.adsPath, "");
    EXPECT_EQ(binding.errorNumber, c.number);
    EXPECT_EQ(binding.errorDescription.substr(0, c.description.size()), c.description)
        << binding.errorDescription;
  }
}

TEST(LdapDirectory, ServerThatNeverAnswersTimesOut) {
  ldap_test::SilentServer silent;
  ASSERT_TRUE(silent.listening());
  LdapDirectory directory(LdapDirectory::Options{.timeoutSeconds = 1});
  const auto start = std::chrono::steady_clock::now();
  DirectoryBinding binding =
      directory.Bind("LDAP://127.0.0.1:" + std::to_string(silent.port()) + "/" + kCorp);
  const double seconds = SecondsSince(start);
  EXPECT_FALSE(binding.ok);
  EXPECT_EQ(binding.errorNumber, kTimedOut) << binding.errorDescription;
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 4.0);
}

// The Kerberos bind is tried whatever KRB5CCNAME says (the library finds its
// default cache); when it fails, the anonymous bind answers and the reason is
// kept for the debug log.
TEST(LdapDirectory, KerberosIsTriedWithoutKrb5ccnameAndItsFailureIsKept) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("quillon-krb5-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path cache = folder / "krb5cc_test";
  std::ofstream(cache) << "not a ticket cache";
  std::ofstream(folder / "krb5.conf") << "";
  ScopedEnvironment config("KRB5_CONFIG", (folder / "krb5.conf").c_str());

  SlapdOptions options;
  options.entries = {PrintQueueEntry(kCorp, "PRTSRV2-HP4", {"HP4"})};
  SlapdFixture server(options);
  if (server.running()) {
    const std::string filePrefixed = "FILE:" + cache.string();
    const std::string missing = "FILE:" + (folder / "none").string();
    for (const char* value : {static_cast<const char*>(nullptr), missing.c_str(),
                              filePrefixed.c_str()}) {
      SCOPED_TRACE(value ? value : "KRB5CCNAME unset");
      ScopedEnvironment ticket("KRB5CCNAME", value);
      LdapDirectory directory;
      DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
      ASSERT_TRUE(binding.ok) << binding.errorDescription;
      // The SASL layer's own words, not just a result code.
      EXPECT_NE(binding.credentialFailure.find("SASL"), std::string::npos)
          << binding.credentialFailure;
      DirectoryQuery query = directory.QueryPrintQueues(binding, "");
      EXPECT_EQ(query.rows, (std::vector<DirectoryRow>{{"PRTSRV2-HP4", "HP4"}}));
    }
  }
  std::filesystem::remove_all(folder);
  REQUIRE_SERVER(server);
}

// A server that sends what is not UTF-8 (here Latin-1 bytes): the row says
// that its text was not read whole, so that no printer is taken for it.
TEST(LdapDirectory, TextThatIsNotUtf8MarksItsRow) {
  ldap_test::ResponderOptions options;
  options.queueNames = {"NEWSRV-B\xFCro", "NEWSRV-Büro"};
  ldap_test::LdapResponder server(options);
  ASSERT_TRUE(server.listening());
  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind("LDAP://" + server.HostPort());
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  DirectoryQuery query = directory.QueryPrintQueues(binding, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  EXPECT_EQ(query.rows, (std::vector<DirectoryRow>{{"NEWSRV-B\uFFFDro", "S0", false},
                                                   {"NEWSRV-Büro", "S1", true}}));
}

std::vector<std::string> QueueNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("NEWSRV-Q" + std::to_string(i));
  return names;
}

// Some directory servers send the same paging cookie on every page; only an
// empty one ends the list. A server that never ends it fails the query rather
// than handing back a cut list.
TEST(LdapDirectory, PagingEndsOnlyWithAnEmptyCookie) {
  ldap_test::ResponderOptions options;
  options.queueNames = QueueNames(1251);
  options.emptyPagesBefore = {1};  // an empty page in the middle does not end it either
  ldap_test::LdapResponder server(options);
  ASSERT_TRUE(server.listening());
  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind("LDAP://" + server.HostPort());
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  EXPECT_EQ(binding.adsPath, "LDAP://" + server.HostPort() + "/dc=corp,dc=example");
  DirectoryQuery query = directory.QueryPrintQueues(binding, "");
  ASSERT_TRUE(query.ok) << query.errorDescription;
  ASSERT_EQ(query.rows.size(), 1251u);
  EXPECT_EQ(query.rows[1250], (DirectoryRow{"NEWSRV-Q1250", "S1250"}));
  EXPECT_EQ(server.pagesServed(), 4);

  ldap_test::ResponderOptions endlessOptions;
  endlessOptions.queueNames = QueueNames(3);
  endlessOptions.endless = true;
  ldap_test::LdapResponder endless(endlessOptions);
  ASSERT_TRUE(endless.listening());
  LdapDirectory bounded(LdapDirectory::Options{.pageSize = 2, .maxPages = 50});
  DirectoryBinding endlessBinding = bounded.Bind("LDAP://" + endless.HostPort());
  ASSERT_TRUE(endlessBinding.ok) << endlessBinding.errorDescription;
  DirectoryQuery cut = bounded.QueryPrintQueues(endlessBinding, "");
  EXPECT_FALSE(cut.ok);
  EXPECT_TRUE(cut.rows.empty());
  EXPECT_EQ(cut.errorNumber, kAdminLimitExceeded);
  EXPECT_EQ(cut.errorDescription,
            "The directory was still sending print queues after 50 pages of 2; the list is "
            "incomplete and was not used.");
  EXPECT_EQ(endless.pagesServed(), 50);
}

constexpr const char* kPeople = "ou=People,dc=corp,dc=example";
constexpr const char* kGroups = "ou=Groups,dc=corp,dc=example";

std::string Dn(const char* name, const char* parent) { return std::string("cn=") + name + "," + parent; }

// The sorted group names of one account, or the failure's description.
std::string GroupsOf(LdapDirectory& directory, const DirectoryBinding& binding,
                     const std::string& account, bool computer = false) {
  DirectoryQuery query = directory.QueryAccountGroups(binding, account, computer);
  if (!query.ok) return "failed: " + query.errorDescription;
  std::vector<std::string> names;
  for (const DirectoryRow& row : query.rows) names.push_back(row.name);
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// OpenLDAP has no tokenGroups: the memberOf overlay's direct memberships are
// followed upwards, each group once, within the bounds; the account's name
// never acts as a filter.
TEST(LdapDirectory, GroupsFollowMemberOfThroughNestingAndCycles) {
  SlapdOptions options;
  options.memberOf = true;
  options.entries = {OrganizationalUnitEntry(kCorp, "People"),
                     OrganizationalUnitEntry(kCorp, "Groups"),
                     AccountEntry(kPeople, "jdoe"),
                     AccountEntry(kPeople, "PC042", /*computer=*/true),
                     AccountEntry(kPeople, "x*(y)\\z"),
                     AccountEntry(kPeople, "twin"),
                     AccountEntry(kGroups, "twin")};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);
  const std::string jdoe = options.entries[2].dn, pc042 = options.entries[3].dn;
  const std::string odd = options.entries[4].dn;
  ldap_test::SlapdEntry legacy{Dn("Legacy Readers", kGroups),
                               {{"objectClass", "group"}, {"cn", "Legacy Readers"}, {"member", jdoe}}};
  // Groups added through the server, so that the overlay writes memberOf.
  for (const ldap_test::SlapdEntry& group :
       {GroupEntry(kGroups, "Floor2-Pilot", {jdoe}), legacy,
        GroupEntry(kGroups, "IT-All", {Dn("Floor2-Pilot", kGroups)}),
        GroupEntry(kGroups, "Pilot-Computers", {pc042}), GroupEntry(kGroups, "Loop-A", {odd}),
        GroupEntry(kGroups, "Loop-B", {Dn("Loop-A", kGroups)})}) {
    ASSERT_EQ(server.Add(group), "");
  }
  ASSERT_EQ(server.AddValues({Dn("Loop-A", kGroups), {{"member", Dn("Loop-B", kGroups)}}}), "");

  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  EXPECT_EQ(GroupsOf(directory, binding, "jdoe"), "Floor2-Pilot, IT-All, Legacy Readers");
  EXPECT_EQ(GroupsOf(directory, binding, "JDOE"), "Floor2-Pilot, IT-All, Legacy Readers");
  EXPECT_EQ(GroupsOf(directory, binding, "PC042", /*computer=*/true), "Pilot-Computers");
  EXPECT_EQ(GroupsOf(directory, binding, "x*(y)\\z"), "Loop-A, Loop-B");
  EXPECT_EQ(GroupsOf(directory, binding, "PC042"), "failed: no account PC042 in the directory");
  EXPECT_EQ(GroupsOf(directory, binding, "jd*"), "failed: no account jd* in the directory");
  EXPECT_EQ(GroupsOf(directory, binding, "x*"), "failed: no account x* in the directory");
  EXPECT_EQ(GroupsOf(directory, binding, "twin"), "failed: more than one account twin in the directory");
  DirectoryQuery missing = directory.QueryAccountGroups(binding, "nobody", false);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.errorNumber, kNoSuchObject);
  // Under a base that does not hold the account, it is not found.
  DirectoryBinding groupsOnly = directory.Bind(PathTo(server, kGroups));
  ASSERT_TRUE(groupsOnly.ok) << groupsOnly.errorDescription;
  EXPECT_EQ(GroupsOf(directory, groupsOnly, "jdoe"), "failed: no account jdoe in the directory");
  // The first binding is bound again for its query.
  EXPECT_EQ(GroupsOf(directory, binding, "PC042", true), "Pilot-Computers");

  LdapDirectory fewGroups(LdapDirectory::Options{.maxGroups = 2});
  DirectoryQuery cut = fewGroups.QueryAccountGroups(binding, "jdoe", false);
  EXPECT_FALSE(cut.ok);
  EXPECT_TRUE(cut.rows.empty());
  EXPECT_EQ(cut.errorNumber, kAdminLimitExceeded);
  EXPECT_EQ(cut.errorDescription,
            "the groups of jdoe are more than 2; the list is incomplete and was not used");
  EXPECT_EQ(GroupsOf(fewGroups, binding, "x*(y)\\z"), "Loop-A, Loop-B");
  LdapDirectory shallow(LdapDirectory::Options{.maxGroupDepth = 1});
  EXPECT_EQ(GroupsOf(shallow, binding, "jdoe"),
            "failed: the groups of jdoe nest deeper than 1 levels; the list is incomplete and was "
            "not used");
  EXPECT_EQ(GroupsOf(shallow, binding, "PC042", true), "Pilot-Computers");

  // The toolkit's group picker: every group under the base, both kinds, in
  // letter order whatever case; accounts are not groups.
  DirectoryQuery all = directory.QueryGroups(binding);
  ASSERT_TRUE(all.ok) << all.errorDescription;
  std::string listed;
  for (const DirectoryRow& row : all.rows) listed += (listed.empty() ? "" : ", ") + row.name;
  EXPECT_EQ(listed, "Floor2-Pilot, IT-All, Legacy Readers, Loop-A, Loop-B, Pilot-Computers");
  LdapDirectory paged(LdapDirectory::Options{.pageSize = 2});
  EXPECT_EQ(paged.QueryGroups(binding).rows, all.rows);
  EXPECT_EQ(directory.QueryGroups(directory.Bind(PathTo(server, kPeople))).rows.size(), 0u);
}

// A SID as the directory stores it: revision 1, the NT authority, then the
// sub-authorities little-endian.
std::string Sid(std::initializer_list<std::uint32_t> subAuthorities) {
  std::string sid{'\x01', static_cast<char>(subAuthorities.size()), 0, 0, 0, 0, 0, '\x05'};
  for (std::uint32_t part : subAuthorities) {
    for (int shift = 0; shift < 32; shift += 8) sid += static_cast<char>((part >> shift) & 0xFF);
  }
  return sid;
}

// Where the directory gives tokenGroups (stored here, computed by a domain
// controller), those SIDs are the groups, whatever memberOf says; their bytes
// include NUL and filter metacharacters.
TEST(LdapDirectory, GroupsFromTokenGroupsAreResolvedBySid) {
  EXPECT_EQ(LdapFilterValue(std::string("a*(b)\\c\0d\xC3\xBC", 11)),
            "a\\2a\\28b\\29\\5cc\\00d\xC3\xBC");
  EXPECT_EQ(LdapFilterValue("\x01\xFFz", /*binary=*/true), "\\01\\ff\\7a");

  const std::string printAdmins = Sid({21, 7, 8, 0x5C2A2928u}), legacy = Sid({21, 7, 8, 1104});
  const std::string elsewhere = Sid({21, 9, 9, 1105}), builtinUsers = Sid({32, 545});
  ldap_test::SlapdEntry user = AccountEntry(kPeople, "tuser");
  for (const std::string& sid : {printAdmins, builtinUsers, legacy, elsewhere}) {
    user.attributes.emplace_back("tokenGroups", sid);
  }
  ldap_test::SlapdEntry admins = GroupEntry(kGroups, "Print-Admins");
  admins.attributes.emplace_back("objectSid", printAdmins);
  ldap_test::SlapdEntry cnOnly{Dn("Legacy Printing", kGroups),
                               {{"objectClass", "group"}, {"cn", "Legacy Printing"},
                                {"objectSid", legacy}}};
  // A group with almost the same SID, and one that lists the user as a member
  // but is not in its token.
  ldap_test::SlapdEntry near = GroupEntry(kGroups, "Near-Miss");
  near.attributes.emplace_back("objectSid", Sid({21, 7, 8, 0x5C2A2929u}));
  ldap_test::SlapdEntry stale = GroupEntry(kGroups, "Stale", {Dn("tuser", kPeople)});
  stale.attributes.emplace_back("objectSid", Sid({21, 7, 8, 1200}));

  SlapdOptions options;
  options.memberOf = true;
  options.entries = {OrganizationalUnitEntry(kCorp, "People"), OrganizationalUnitEntry(kCorp, "Groups"),
                     user, admins, cnOnly, near};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);
  ASSERT_EQ(server.Add(stale), "");

  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(PathTo(server, kCorp));
  ASSERT_TRUE(binding.ok) << binding.errorDescription;
  EXPECT_EQ(GroupsOf(directory, binding, "tuser"), "Legacy Printing, Print-Admins");
}

}  // namespace
}  // namespace quillon::platform
