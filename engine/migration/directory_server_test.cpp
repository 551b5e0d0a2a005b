// The directory migration against a real OpenLDAP server on loopback, through
// the same LDAP directory the engine uses when a client file has no directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_status.h"
#include "engine/migration/driver_staging.h"
#include "platform/ldap/ldap_directory.h"
#include "testing/ldap_responder.h"
#include "testing/slapd_fixture.h"

namespace quillon::engine {
namespace {

using platform::ldap_test::AccountEntry;
using platform::ldap_test::GroupEntry;
using platform::ldap_test::OrganizationalUnitEntry;
using platform::ldap_test::PrintQueueEntry;
using platform::ldap_test::SlapdFixture;
using platform::ldap_test::SlapdOptions;
using testing::CompleteDocument;

constexpr const char* kCorp = "dc=corp,dc=example";
constexpr const char* kPrinters = "ou=Printers,dc=corp,dc=example";


SlapdOptions Published() {
  SlapdOptions options;
  options.entries = {OrganizationalUnitEntry(kCorp, "Printers"),
                     OrganizationalUnitEntry(kCorp, "Empty"),
                     PrintQueueEntry(kPrinters, "PRTSRV2-LASER", {"HP4"}),
                     PrintQueueEntry(kPrinters, "PRTSRV3-HP4", {"HP4"}),
                     PrintQueueEntry(kPrinters, "PRTSRV2-HP5", {}),
                     PrintQueueEntry(kPrinters, "PRTSRV1-Same", {"Same"})};
  return options;
}

class DirectoryServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.host.realDirectory = &directory_;
    for (const char* server : {"PRTSRV1", "PRTSRV2", "PRTSRV3"}) {
      for (const char* share : {"HP4", "HP5", "Same"}) world_.AddQueue(server, share);
    }
    world_.AddConnection("PRTSRV1", "HP4");
    world_.AddConnection("PRTSRV1", "HP5");
    world_.AddConnection("PRTSRV1", "Same");
  }
  std::unique_ptr<RunContext> RunOn(const std::string& domain) {
    const std::string path = world_.WriteFile(
        world_.Path("ad.ini"), CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                                                 {"DomainName=", "DomainName=" + domain}}));
    return world_.Run(path);
  }

  platform::LdapDirectory directory_{platform::LdapDirectory::Options{2, 500}};
  testing::EngineWorld world_;
};

// A staging run asks the real directory once and installs the drivers of the
// queues it publishes the users' connections on; the logon then needs none.
TEST_F(DirectoryServerTest, AStagingRunInstallsTheDriversOfThePublishedQueues) {
  SlapdFixture server(Published());
  REQUIRE_SERVER(server);
  for (auto& [name, queues] : world_.state.printServers) {
    for (auto& queue : queues) {
      queue.driverName = name + " " + queue.shareName;
      queue.driverVersion = "2.0.0.0";
    }
  }
  world_.state.pointAndPrint = platform::sim::SimPointAndPrint{true, {}};
  world_.state.elevated = true;
  const std::string path = world_.WriteFile(
      world_.Path("ad.ini"),
      CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                        {"DomainName=", "DomainName=" + server.HostPort() + "/" + kCorp}}));
  auto staging = world_.NewContext();
  EXPECT_EQ(RunStagingEngine(*staging, path), 0) << staging->RunMessage;
  std::vector<std::string> installed;
  for (const auto& driver : world_.state.drivers) installed.push_back(driver.name);
  std::sort(installed.begin(), installed.end());
  EXPECT_EQ(installed, (std::vector<std::string>{"PRTSRV2 HP4", "PRTSRV2 HP5", "PRTSRV3 HP4"}));

  world_.state.elevated = false;
  world_.state.spoolerCalls.clear();
  auto logon = world_.Run(path);
  EXPECT_FALSE(logon->AbortStatus) << logon->RunMessage;
  for (const auto& call : world_.state.spoolerCalls) {
    if (call.call == "AddPrinterConnection") {
      EXPECT_EQ(call.error, 0u) << call.name;
    }
  }
  EXPECT_EQ(world_.PrinterNames(),
            (std::vector<std::string>{"\\\\PRTSRV1\\Same", "\\\\PRTSRV2\\HP4",
                                      "\\\\PRTSRV3\\HP4", "\\\\PRTSRV2\\HP5"}));
}

TEST_F(DirectoryServerTest, MovesByShareAndByQueueNameToEveryPublishingServer) {
  SlapdFixture server(Published());
  REQUIRE_SERVER(server);
  auto run = RunOn(server.HostPort() + "/" + kCorp);
  EXPECT_FALSE(run->AbortStatus) << run->RunMessage;
  ASSERT_EQ(run->DirectoryPrinters.size(), 4u);
  EXPECT_EQ(run->DirectoryPrinters[0], (DirectoryPrinter{"LASER", "PRTSRV2", "HP4"}));
  EXPECT_EQ(run->DirectoryPrinters[2], (DirectoryPrinter{"HP5", "PRTSRV2", ""}));
  // HP4 is published by share on PRTSRV2 and by name on PRTSRV3; HP5 by queue
  // name only; Same stays where it is published.
  EXPECT_EQ(world_.Calls({"AddPrinterConnection", "DeletePrinterConnection"}),
            (std::vector<std::string>{
                "AddPrinterConnection \\\\PRTSRV2\\HP4", "DeletePrinterConnection \\\\PRTSRV1\\HP4",
                "AddPrinterConnection \\\\PRTSRV3\\HP4", "DeletePrinterConnection \\\\PRTSRV1\\HP4",
                "AddPrinterConnection \\\\PRTSRV2\\HP5", "DeletePrinterConnection \\\\PRTSRV1\\HP5",
                // the manual method's server pair OLDSRV matches nothing here
            }));
  EXPECT_NE(run->RunMessage.find("\r\nPrinter already migrated: \\\\PRTSRV1\\Same (\\\\PRTSRV1)"),
            std::string::npos);
  const std::string log = *world_.DebugFileText();
  EXPECT_NE(log.find(">> Querying AD for printers, command:Select name, printShareName FROM "
                     "'LDAP://" + server.HostPort() + "/" + kCorp +
                     "' WHERE objectCategory='printQueue'\r\n"),
            std::string::npos);
}

TEST_F(DirectoryServerTest, AnEmptySubtreeReportsEveryConnectionNotFound) {
  SlapdFixture server(Published());
  REQUIRE_SERVER(server);
  auto run = RunOn(server.HostPort() + "/ou=Empty," + kCorp);
  EXPECT_FALSE(run->AbortStatus);
  EXPECT_TRUE(run->DirectoryPrinters.empty());
  for (const char* share : {"HP4", "HP5", "Same"}) {
    EXPECT_NE(run->RunMessage.find(std::string("\r\nPrinter NOT FOUND IN AD: \\\\PRTSRV1\\") + share),
              std::string::npos);
  }
  EXPECT_EQ(world_.PrinterNames().size(), 3u);
}

TEST_F(DirectoryServerTest, UnreachableServerAndWrongBaseAbortTheRun) {
  SlapdFixture server(Published());
  REQUIRE_SERVER(server);
  const std::string domains[] = {
      "127.0.0.1:" + std::to_string(platform::ldap_test::UnusedLoopbackPort()),
      server.HostPort() + "/ou=Nowhere," + kCorp,
  };
  for (const std::string& domain : domains) {
    world_.state.spoolerCalls.clear();
    auto run = RunOn(domain);
    EXPECT_TRUE(run->AbortStatus) << domain;
    EXPECT_NE(run->RunMessage.find("\r\nError accessing Active Directory. Try installing an MDAC "
                                   "update.\r\n> Error Number: -"),
              std::string::npos)
        << run->RunMessage;
    EXPECT_TRUE(world_.Calls({"AddPrinterConnection", "DeletePrinterConnection"}).empty())
        << "neither a migration nor maintenance ran";
    const std::string log = *world_.DebugFileText();
    EXPECT_NE(log.find(">> Finished moving via AD, abort status: True\r\n"
                       ">> Finished notification, abort status: True\r\n"),
              std::string::npos)
        << "the manual method is skipped";
  }
}

// A directory whose paging cookie never changes publishes 1,251 queues: all of
// them are read, so the user's printer past the first thousand moves and a
// published connection is no orphan. A directory that never ends its list
// aborts the run before orphan pruning can act on a cut list.
TEST_F(DirectoryServerTest, ARepeatedPagingCookieNeitherLosesQueuesNorPrunesOnACutList) {
  platform::ldap_test::ResponderOptions options;
  for (int i = 0; i < 1251; ++i) options.queueNames.push_back("PRTSRV2-Q" + std::to_string(i));
  world_.AddQueue("PRTSRV1", "S1200");
  world_.AddQueue("PRTSRV2", "S1200");
  world_.AddQueue("PRTSRV2", "S1100");
  world_.AddConnection("PRTSRV1", "S1200");
  world_.AddConnection("PRTSRV2", "S1100");
  const auto runWithOrphans = [&](const std::string& domain) {
    const std::string path = world_.WriteFile(
        world_.Path("ad.ini"),
        CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                          {"DomainName=", "DomainName=" + domain},
                          {"DeleteADOrphans=False", "DeleteADOrphans=True"},
                          {"AlwaysRun=False", "AlwaysRun=True"}}));
    return world_.Run(path);
  };

  {
    platform::ldap_test::LdapResponder server(options);
    ASSERT_TRUE(server.listening());
    auto run = runWithOrphans(server.HostPort());
    EXPECT_FALSE(run->AbortStatus) << run->RunMessage;
    EXPECT_EQ(run->DirectoryPrinters.size(), 1251u);
    EXPECT_EQ(run->RunMessage.find("NOT FOUND IN AD: \\\\PRTSRV1\\S1200"), std::string::npos);
    const std::vector<std::string> names = world_.PrinterNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "\\\\PRTSRV2\\S1200"), names.end())
        << run->RunMessage;
    EXPECT_NE(std::find(names.begin(), names.end(), "\\\\PRTSRV2\\S1100"), names.end())
        << "a published connection was pruned as an orphan";
  }

  options.queueNames.resize(3);  // short pages: the page bound, not the rows, ends the read
  options.endless = true;
  platform::ldap_test::LdapResponder endless(options);
  ASSERT_TRUE(endless.listening());
  world_.state.spoolerCalls.clear();
  auto cut = runWithOrphans(endless.HostPort());
  EXPECT_TRUE(cut->AbortStatus);
  EXPECT_NE(cut->RunMessage.find("Error quering Active Directory printers."), std::string::npos)
      << cut->RunMessage;
  EXPECT_TRUE(world_.Calls({"AddPrinterConnection", "DeletePrinterConnection"}).empty())
      << "nothing moved or pruned on a list that never ended";
}

// A client file without userGroups and computerGroups leaves the groups to
// the document's directory: nested membership of the user and of the computer
// decides whether the run acts.
TEST_F(DirectoryServerTest, TargetingReadsTheAccountsGroupsFromTheDirectory) {
  constexpr const char* kPeople = "ou=People,dc=corp,dc=example";
  constexpr const char* kGroups = "ou=Groups,dc=corp,dc=example";
  SlapdOptions options;
  options.memberOf = true;
  options.entries = {OrganizationalUnitEntry(kCorp, "People"), OrganizationalUnitEntry(kCorp, "Groups"),
                     AccountEntry(kPeople, "jdoe"), AccountEntry(kPeople, "PC042", /*computer=*/true)};
  SlapdFixture server(options);
  REQUIRE_SERVER(server);
  const platform::ldap_test::SlapdEntry pilot = GroupEntry(kGroups, "Floor2-Pilot", {options.entries[2].dn});
  ASSERT_EQ(server.Add(pilot), "");
  ASSERT_EQ(server.Add(GroupEntry(kGroups, "IT-All", {pilot.dn})), "");
  ASSERT_EQ(server.Add(GroupEntry(kGroups, "Pilot-Computers", {options.entries[3].dn})), "");

  world_.AddQueue("OLDSRV", "Floor2");
  world_.AddQueue("NEWSRV", "Floor2");
  world_.AddConnection("OLDSRV", "Floor2");
  const std::string domain = server.HostPort() + "/" + kCorp;
  const auto run = [&](const std::string& user, const std::string& groups) {
    world_.state.userName = user;
    const std::string path = world_.WriteFile(
        world_.Path("targeted.ini"),
        CompleteDocument({{"DomainName=", "DomainName=" + domain},
                          {"AlwaysRun=False", "AlwaysRun=True"}}) +
            "[TARGETING]\r\nUseTargeting=True\r\nComputerGroups=Pilot-Computers\r\nUserGroups=" +
            groups + "\r\n");
    auto context = world_.Run(path);
    EXPECT_FALSE(context->AbortStatus) << context->RunMessage;
    std::string lines;
    for (const std::string& line : context->TargetingLines) lines += line + "\n";
    return lines;
  };

  EXPECT_EQ(run("jdoe", "Floor3-Pilot"),
            "Not targeted: user jdoe is in none of the groups Floor3-Pilot\n");
  EXPECT_EQ(run("nobody", "IT-All"),
            "Not targeted: the groups of user nobody cannot be found (the directory " + domain +
                " did not give them: no account nobody in the directory)\n");
  const std::vector<std::string> before = world_.PrinterNames();
  EXPECT_NE(std::find(before.begin(), before.end(), "\\\\OLDSRV\\Floor2"), before.end())
      << "not targeted: nothing moved";
  EXPECT_EQ(run("jdoe", "Floor3-Pilot, IT-All"),
            "Targeted: computer PC042 is in group Pilot-Computers\n"
            "Targeted: user jdoe is in group IT-All\n");
  const std::vector<std::string> after = world_.PrinterNames();
  EXPECT_NE(std::find(after.begin(), after.end(), "\\\\NEWSRV\\Floor2"), after.end());
}

}  // namespace
}  // namespace quillon::engine
