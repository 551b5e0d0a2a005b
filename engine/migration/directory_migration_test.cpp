#include "engine/migration/directory_migration.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_status.h"
#include "engine/printers/client_printers.h"

namespace quillon::engine {
namespace {

using testing::CompleteDocument;

TEST(DirectoryPrinterTest, TheQueueNameSplitsAtItsFirstDash) {
  EXPECT_EQ(MakeDirectoryPrinter("PRTSRV2-HP 4050", "HP4050"),
            (DirectoryPrinter{"HP 4050", "PRTSRV2", "HP4050"}));
  EXPECT_EQ(MakeDirectoryPrinter("PRT-SRV-HP4", "HP4"), (DirectoryPrinter{"SRV-HP4", "PRT", "HP4"}));
  EXPECT_EQ(MakeDirectoryPrinter("NODASH", ""), (DirectoryPrinter{"NODASH", "", ""}));
}

class DirectoryMigrationTest : public ::testing::Test {
 protected:
  // A context with the user's connections inventoried, debug and report cleared.
  std::unique_ptr<RunContext> Inventoried() {
    auto context = world_.Inventoried();
    context->document.DomainName = "corp.example";
    return context;
  }
  std::vector<std::string> Moves() const {
    return world_.Calls({"AddPrinterConnection", "DeletePrinterConnection", "SetDefaultPrinter"});
  }
  testing::EngineWorld world_;
};

TEST_F(DirectoryMigrationTest, ConnectionsMoveToTheServerThatPublishesThem) {
  world_.AddQueue("PRTSRV2", "HP4");
  world_.AddConnection("PRTSRV1", "HP4");
  world_.state.defaultPrinter = "\\\\PRTSRV1\\HP4";
  world_.Publish("corp.example", "PRTSRV2-HP4", {"HP4", "HP4-old"});
  auto context = Inventoried();
  context->document.DefaultType = 1;
  context->InitialDefaultPrinter = "\\\\PRTSRV1\\HP4";
  QueryDirectoryPrinters(*context);
  MigrateByDirectory(*context);

  EXPECT_EQ(context->DirectoryPrinters, (std::vector<DirectoryPrinter>{{"HP4", "PRTSRV2", "HP4"}}));
  EXPECT_EQ(Moves(), (std::vector<std::string>{"AddPrinterConnection \\\\PRTSRV2\\HP4",
                                               "DeletePrinterConnection \\\\PRTSRV1\\HP4",
                                               "SetDefaultPrinter \\\\PRTSRV2\\HP4"}));
  EXPECT_EQ(context->RunMessage,
            "\r\n\r\n* ----- AD Printers ----- *"
            "\r\nHP4 (\\\\PRTSRV2\\HP4)"
            "\r\n\r\n* ----- Migrating Printers using AD ----- *"
            "\r\nMigrating: \\\\PRTSRV1\\HP4 to \\\\PRTSRV2\\HP4"
            "\r\nPopulated networked printer: \\\\PRTSRV2\\HP4"
            "\r\nDeleted networked printer: \\\\PRTSRV1\\HP4"
            "\r\nSet default printer: \\\\PRTSRV2\\HP4");
  EXPECT_EQ(context->debugLog.text(),
            ">> Created connection to AD: LDAP://corp.example\r\n"
            ">> Querying AD for printers, command:Select name, printShareName FROM "
            "'LDAP://corp.example' WHERE objectCategory='printQueue'\r\n"
            ">> * ----- AD Printers ----- * <<\r\n"
            ">> AD Printer: HP4 (\\\\PRTSRV2\\HP4)\r\n"
            ">> * ----- Migrating Printers using AD ----- * <<\r\n"
            ">> Found a printer match <<\r\n"
            ">> Printer share names (Client/AD): HP4 / HP4\r\n"
            ">> Printer names (Client/AD): HP4 / HP4\r\n"
            ">> Found a server difference <<\r\n"
            ">> Server names (Client/AD): \\\\PRTSRV1 / PRTSRV2\r\n"
            ">> Print server \\\\PRTSRV2 answers (probe took 0 ms)\r\n"
            ">> Added networked printer: \\\\PRTSRV2\\HP4\r\n"
            ">> Removed networked printer: \\\\PRTSRV1\\HP4\r\n"
            "Set default printer: \\\\PRTSRV2\\HP4\r\n");
}

// A directory name this computer cannot write reads with "?" for what was
// lost; it must not match a connection whose name has a "?" of its own, nor
// be moved to.
TEST_F(DirectoryMigrationTest, NoMoveByANameNotReadWhole) {
  world_.AddConnection("PRTSRV1", "Caf?");
  auto context = Inventoried();
  DirectoryPrinter unreadable{"Caf?", "PRTSRV2", "Caf?"};
  unreadable.Exact = false;
  context->DirectoryPrinters = {unreadable};
  MigrateByDirectory(*context);
  EXPECT_EQ(Moves(), std::vector<std::string>{});
  EXPECT_EQ(context->debugLog.text(),
            ">> * ----- Migrating Printers using AD ----- * <<\r\n"
            ">> Not migrating \\\\PRTSRV1\\Caf? by an AD printer whose name this computer cannot "
            "write: Caf? (\\\\PRTSRV2\\Caf?)\r\n"
            ">> Printer not found in AD: \\\\PRTSRV1\\Caf? (\\\\PRTSRV1)\r\n");
}

TEST_F(DirectoryMigrationTest, MatchesByShareOrQueueNameOnEveryPublishingServer) {
  world_.AddQueue("PRTSRV2", "HP4");
  world_.AddQueue("PRTSRV3", "HP4");
  world_.AddQueue("prtsrv2", "Lab");
  world_.AddConnection("PRTSRV1", "HP4");     // share HP4 on two other servers
  world_.AddConnection("prtsrv2", "Lab");     // already on the publishing server
  world_.AddConnection("PRTSRV1", "Nowhere");  // published nowhere
  world_.Publish("corp.example", "PRTSRV2-LASER", {"HP4"});
  world_.Publish("corp.example", "PRTSRV3-HP4", {});
  world_.Publish("corp.example", "PRTSRV2-LAB", {"LabShare"});
  auto context = Inventoried();
  QueryDirectoryPrinters(*context);
  MigrateByDirectory(*context);

  // The new connection keeps the client's name, whichever name matched.
  EXPECT_EQ(Moves(), (std::vector<std::string>{"AddPrinterConnection \\\\PRTSRV2\\HP4",
                                               "DeletePrinterConnection \\\\PRTSRV1\\HP4",
                                               "AddPrinterConnection \\\\PRTSRV3\\HP4",
                                               "DeletePrinterConnection \\\\PRTSRV1\\HP4"}));
  const std::string& report = context->RunMessage;
  EXPECT_NE(report.find("\r\nError (1801) deleting network printer: \\\\PRTSRV1\\HP4"),
            std::string::npos);
  EXPECT_NE(report.find("\r\nPrinter already migrated: \\\\prtsrv2\\Lab (\\\\prtsrv2)"),
            std::string::npos);
  EXPECT_NE(report.find("\r\nPrinter NOT FOUND IN AD: \\\\PRTSRV1\\Nowhere (\\\\PRTSRV1)"),
            std::string::npos);
  EXPECT_NE(report.find("\r\nLAB (\\\\PRTSRV2\\LabShare)\r\n"), std::string::npos);
  EXPECT_NE(report.find("\r\nHP4 (\\\\PRTSRV3\\)"), std::string::npos) << "no share name";
  EXPECT_NE(context->debugLog.text().find(">> Printer not found in AD: \\\\PRTSRV1\\Nowhere "
                                          "(\\\\PRTSRV1)\r\n"),
            std::string::npos);
  EXPECT_EQ(world_.PrinterNames(),
            (std::vector<std::string>{"\\\\prtsrv2\\Lab", "\\\\PRTSRV1\\Nowhere",
                                      "\\\\PRTSRV2\\HP4", "\\\\PRTSRV3\\HP4"}));
}

TEST_F(DirectoryMigrationTest, ANewConnectionThatFailsKeepsTheOldOne) {
  world_.AddConnection("PRTSRV1", "HP4");
  world_.Publish("corp.example", "GONE-HP4", {"HP4"});  // GONE is no print server here
  auto context = Inventoried();
  QueryDirectoryPrinters(*context);
  MigrateByDirectory(*context);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\PRTSRV1\\HP4"});
  EXPECT_NE(context->RunMessage.find("\r\nNot removing \\\\PRTSRV1\\HP4: the new connection "
                                     "\\\\GONE\\HP4 could not be added."),
            std::string::npos);
}

TEST_F(DirectoryMigrationTest, AFailedBindAbortsTheRunBeforeMaintenanceAndTheManualMethod) {
  world_.AddQueue("OLDSRV", "HP4");
  world_.AddQueue("NEWSRV", "HP4");
  world_.AddConnection("OLDSRV", "HP4");
  world_.Publish("other.example", "NEWSRV-HP4", {"HP4"});
  const std::string path = world_.WriteFile(
      world_.Path("ad.ini"),
      CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                        {"DomainName=", "DomainName=corp.example"},
                        {"ServerNames=", "ServerNames=NEWSRV"},
                        {"PrinterNames=", "PrinterNames=HP4"}}));
  auto run = world_.Run(path);
  EXPECT_TRUE(run->AbortStatus);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\OLDSRV\\HP4"})
      << "neither the manual pair nor maintenance ran";
  EXPECT_NE(run->RunMessage.find("\r\nError accessing Active Directory. Try installing an MDAC "
                                 "update.\r\n> Error Number: -2147016646\r\n> Error Description: "
                                 "The server is not operational."),
            std::string::npos);
  const std::string log = *world_.DebugFileText();
  const std::string expected =
      testing::Banner(28, "     MOVING USING AD    ", 27) +
      ">> Moving Printers Using AD <<\r\n"
      "ERROR: Accessing Active Directory. <<\r\n"
      "ERROR: -2147016646\r\n"
      "ERROR DESCRIPTION: The server is not operational.\r\n"
      ">> Finished getting list of AD printers, abort status: True\r\n"
      ">> Finished moving via AD, abort status: True\r\n"
      ">> Finished notification, abort status: True\r\n";
  ASSERT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_EQ(world_.files.ReadFile(platform::JoinPath(world_.ProfileFolder(), kStatusFileName)),
            std::optional<std::string>(path + ",False\r\n"));
}

// Binds, then fails every query, as a directory that refuses the search does.
class RefusingDirectory : public platform::Directory {
 public:
  platform::DirectoryBinding Bind(const std::string& path) override {
    return {true, path + "/DC=corp,DC=example", 0, {}, {}};
  }
  platform::DirectoryQuery QueryPrintQueues(const platform::DirectoryBinding&,
                                            const std::string&) override {
    return {false, {{"PRTSRV2-HP4", "HP4"}}, -2147217865, "Table does not exist."};
  }
};

TEST_F(DirectoryMigrationTest, AFailedQueryAbortsAndKeepsNoRows) {
  RefusingDirectory refusing;
  world_.host.realDirectory = &refusing;
  auto context = Inventoried();
  RunDirectoryMigration(*context);
  EXPECT_TRUE(context->AbortStatus);
  EXPECT_TRUE(context->DirectoryPrinters.empty());
  EXPECT_EQ(context->RunMessage,
            "\r\nError quering Active Directory printers.\r\n> Error Number: -2147217865"
            "\r\n> Error Description: Table does not exist.");
  EXPECT_EQ(context->debugLog.text(),
            ">> Moving Printers Using AD <<\r\n"
            ">> Created connection to AD: LDAP://corp.example\r\n"
            ">> Querying AD for printers, command:Select name, printShareName FROM "
            "'LDAP://corp.example/DC=corp,DC=example' WHERE objectCategory='printQueue'\r\n"
            "ERROR: Quering Active Directory printers. <<\r\n"
            "ERROR: -2147217865\r\n"
            "ERROR DESCRIPTION: Table does not exist.\r\n"
            ">> Finished getting list of AD printers, abort status: True\r\n");
}

TEST_F(DirectoryMigrationTest, AnEmptyResultReportsEveryConnectionAndStillMaintains) {
  world_.AddConnection("PRTSRV1", "HP4");
  world_.state.directory.emplace();
  world_.state.directory->push_back({"corp.example", {}});
  const std::string path = world_.WriteFile(
      world_.Path("ad.ini"), CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                                               {"UseManualDefinitions=", "UseManualDefinitions=False"},
                                               {"DomainName=", "DomainName=corp.example"}}));
  auto run = world_.Run(path);
  EXPECT_FALSE(run->AbortStatus);
  EXPECT_NE(run->RunMessage.find("\r\nPrinter NOT FOUND IN AD: \\\\PRTSRV1\\HP4 (\\\\PRTSRV1)"),
            std::string::npos);
  const std::string log = *world_.DebugFileText();
  EXPECT_NE(log.find(">> Finished moving printers using AD, abort status: False\r\n"
                     ">> Finished maintenance: False\r\n"
                     ">> Finished moving via AD, abort status: False\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace quillon::engine
