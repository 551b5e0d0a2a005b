#include "engine/migration/maintenance.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/migration/directory_migration.h"
#include "engine/migration/printer_move.h"
#include "engine/printers/client_printers.h"

namespace quillon::engine {
namespace {

using document::PrinterDriverRule;
using platform::sim::SimOs;

class MaintenanceTest : public ::testing::Test {
 protected:
  std::unique_ptr<RunContext> Inventoried() { return world_.Inventoried(); }
  std::vector<std::string> Calls(const std::vector<std::string>& kinds) const {
    return world_.Calls(kinds);
  }
  testing::EngineWorld world_;
};

TEST_F(MaintenanceTest, PopulateAddsLocalPrintersByTheirDriverRecordAndConnections) {
  world_.state.ports = {"LPT1:"};
  world_.state.drivers.push_back({"HP Color Driver", "", "", "", "", 0, true, {}});
  world_.AddQueue("PRTSRV2", "HP4");
  auto context = Inventoried();
  context->document.PopulateRules = {{".", "HP Color"}, {".", "hp color"}, {"PRTSRV2", "HP4"},
                                     {"", "Skipped"}};
  context->document.PrinterDrivers = {{"HP Color", "HP Color Driver", "", "LPT1:"}};
  PopulatePrinters(*context);
  EXPECT_EQ(world_.PrinterNames(), (std::vector<std::string>{"HP Color", "\\\\PRTSRV2\\HP4"}));
  EXPECT_EQ(world_.state.printers[0].portName, "LPT1:");
  EXPECT_EQ(world_.state.printers[0].driverName, "HP Color Driver");
  EXPECT_EQ(context->RunMessage,
            "\r\n\r\n* ----- Maintenance Populate ----- *"
            "\r\nPopulated local printer: HP Color"
            "\r\nError populating Maintenance Local Printer, no driver information available : "
            "hp color"
            "\r\nPopulated networked printer: \\\\PRTSRV2\\HP4");
  EXPECT_NE(context->debugLog.text().find(">> Error local populating, no driver info: hp color\r\n"),
            std::string::npos);
  EXPECT_TRUE(context->OperationsSucceeded) << "a missing driver record is no failure";
}

TEST_F(MaintenanceTest, PopulateOnWindowsNinetyFiveMakesLocalPrintersOnNetworkPorts) {
  world_.state.os = SimOs{1, 4, 0, {}};
  world_.state.drivers.push_back({"HP Driver", "", "", "", "", 0, true, {}});
  auto context = Inventoried();
  context->document.PopulateRules = {{"PRTSRV2", "HP4"}, {"PRTSRV2", "HP5"}};
  context->document.PrinterDrivers = {{"HP4", "HP Driver", "", ""}};
  PopulatePrinters(*context);
  ASSERT_EQ(world_.PrinterNames(), std::vector<std::string>{"HP4"});
  EXPECT_EQ(world_.state.printers[0].portName, "\\\\PRTSRV2\\HP4");
  EXPECT_EQ(context->RunMessage,
            "\r\n\r\n* ----- Maintenance Populate ----- *"
            "\r\nPopulated networked printer: HP4"
            "\r\nError populating Maintenance Networked Printer on Windows 95/98/ME, no driver "
            "information available : HP5");
}

TEST_F(MaintenanceTest, PruneRulesAndTheirWildcards) {
  world_.AddQueue("A", "HP4");
  world_.AddQueue("B", "hp4");
  world_.AddQueue("OLD", "One");
  world_.AddQueue("OLD", "Two");
  world_.AddQueue("SRV", "Fax");
  world_.AddQueue("KEEP", "Keep");
  world_.AddConnection("A", "HP4");
  world_.AddConnection("B", "hp4");
  world_.AddConnection("OLD", "One");
  world_.AddConnection("OLD", "Two");
  world_.AddConnection("SRV", "Fax");
  world_.AddConnection("KEEP", "Keep");
  world_.AddLocal("Fax");
  world_.AddLocal("Office");
  world_.AddLocal("Keep");
  auto context = Inventoried();
  context->document.PruneRules = {
      {"*", "HP4"}, {"old", "*"}, {".*", "Fax"}, {".", "office"}, {".", "Keep"}, {"*", "*"}};
  PruneNetworkedPrinters(*context);
  PruneLocalPrinters(*context);
  // "." never removes a connection; "*" and "*" only a printer named "*".
  EXPECT_EQ(world_.PrinterNames(), (std::vector<std::string>{"\\\\KEEP\\Keep"}));
  EXPECT_EQ(Calls({"DeletePrinterConnection", "DeletePrinter"}),
            (std::vector<std::string>{
                "DeletePrinterConnection \\\\A\\HP4", "DeletePrinterConnection \\\\B\\hp4",
                "DeletePrinterConnection \\\\OLD\\One", "DeletePrinterConnection \\\\OLD\\Two",
                "DeletePrinterConnection \\\\SRV\\Fax", "DeletePrinter Fax", "DeletePrinter Office",
                "DeletePrinter Keep"}));
  const std::string& report = context->RunMessage;
  EXPECT_EQ(report.find("\r\n\r\n* ----- Maintenance Prune Network Printers ----- *"), 0u);
  EXPECT_NE(report.find("\r\n\r\n* ----- Maintenance Prune Local Printers ----- *"),
            std::string::npos);
}

TEST_F(MaintenanceTest, DeleteAllNonNetworkedNeedsNoRules) {
  world_.AddLocal("One");
  world_.AddLocal("Two");
  world_.AddQueue("SRV", "P");
  world_.AddConnection("SRV", "P");
  auto context = Inventoried();
  context->document.DeleteAllNonNetworked = true;
  PruneNetworkedPrinters(*context);  // no rules: nothing, not even a header
  PruneLocalPrinters(*context);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\SRV\\P"});
  EXPECT_EQ(context->RunMessage,
            "\r\n\r\n* ----- Maintenance Prune Local Printers ----- *"
            "\r\nDeleted local printer: One\r\nDeleted local printer: Two");
}

TEST_F(MaintenanceTest, OrphansAreConnectionsNoQueueIsPublishedForOnTheirServer) {
  for (const char* server : {"PRTSRV1", "prtsrv2", "PRTSRV3"}) world_.AddQueue(server, "HP4");
  world_.AddConnection("PRTSRV1", "HP4");  // published on another server only: an orphan
  world_.AddConnection("prtsrv2", "HP4");  // published as PRTSRV2-HP4: kept
  world_.AddConnection("PRTSRV3", "HP4");
  auto context = Inventoried();
  context->DirectoryPrinters = {{"HP4", "PRTSRV2", "HP4"}, {"Laser", "PRTSRV3", "HP4"}};
  PruneDirectoryOrphans(*context);
  EXPECT_EQ(Calls({"DeletePrinterConnection"}),
            std::vector<std::string>{"DeletePrinterConnection \\\\PRTSRV1\\HP4"});
  EXPECT_NE(context->debugLog.text().find(">> Found a server match <<\r\n"
                                          ">> Server names (Client/AD): \\\\prtsrv2 \\ PRTSRV2\r\n"),
            std::string::npos);
  EXPECT_NE(context->debugLog.text().find(">> Printer share names (Client/AD): HP4 \\ HP4\r\n"
                                          ">> Printer names (Client/AD): HP4 \\ Laser\r\n"),
            std::string::npos);

  // A directory that published nothing removes nothing.
  auto empty = Inventoried();
  PruneDirectoryOrphans(*empty);
  EXPECT_EQ(Calls({"DeletePrinterConnection"}).size(), 1u);
  EXPECT_NE(empty->RunMessage.find("Active Directory published no printers"), std::string::npos);
}

// "?ód?" is how a queue named "Łódź" reads on a computer whose code page has
// no "Ł" or "ź": any connection that name may stand for on its server stays,
// and so does one whose own name came back with such a "?".
TEST_F(MaintenanceTest, NamesNotReadWholeAreNeverTakenForOrphans) {
  world_.AddConnection("PRTSRV1", "Lódz");   // what "?ód?" may be: kept
  world_.AddConnection("PRTSRV1", "Caf?");   // a name read with a lost character: kept
  world_.AddConnection("PRTSRV1", "Other");  // no queue may be it: an orphan
  world_.AddConnection("PRTSRV2", "Lódz");   // "?ód?" is on PRTSRV1 only: an orphan
  world_.AddConnection("PRTSRV3", "HP4");    // published exactly: kept
  auto context = Inventoried();
  DirectoryPrinter unreadable{"?ód?", "PRTSRV1", "?ód?"};
  unreadable.Exact = false;
  context->DirectoryPrinters = {unreadable, {"HP4", "PRTSRV3", "HP4"}};
  PruneDirectoryOrphans(*context);
  EXPECT_EQ(Calls({"DeletePrinterConnection"}),
            (std::vector<std::string>{"DeletePrinterConnection \\\\PRTSRV1\\Other",
                                      "DeletePrinterConnection \\\\PRTSRV2\\Lódz"}));
  const std::string debug = context->debugLog.text();
  EXPECT_NE(debug.find(">> Not removing \\\\PRTSRV1\\Lódz: AD publishes a printer this computer "
                       "cannot write the name of: ?ód? (\\\\PRTSRV1\\?ód?)\r\n"),
            std::string::npos)
      << debug;
  EXPECT_NE(debug.find(">> Not removing \\\\PRTSRV1\\Caf?: its name was not read whole\r\n"),
            std::string::npos)
      << debug;
}

TEST(LossyNameTest, EachQuestionMarkStandsForOneOrMoreCharacters) {
  EXPECT_TRUE(MayBe("?ód?", "Lódz"));
  EXPECT_TRUE(MayBe("?ód?", "Łódź"));  // several bytes each
  EXPECT_FALSE(MayBe("?ód?", "ód"));  // a "?" is never nothing
  EXPECT_FALSE(MayBe("?ód?", "Lodz"));
  EXPECT_TRUE(MayBe("caf?", "CAFE"));
  EXPECT_TRUE(MayBe("a?b?c", "axbxbyc"));  // the first "?" must take "xbx"... or "x"
  EXPECT_TRUE(MayBe("a?bc", "axbybc"));    // ... and go on past an early "b"
  EXPECT_FALSE(MayBe("a?bc", "axbyb"));
  EXPECT_TRUE(MayBe("HP4", "hp4"));
  EXPECT_FALSE(MayBe("HP4", "HP40"));
  EXPECT_FALSE(MayBe("??", "x"));
  EXPECT_TRUE(MayBe("??", "xy"));
}

TEST_F(MaintenanceTest, RunMaintenanceOrderOrphansOnlyWithTheDirectoryAndTheForcedDefault) {
  world_.AddQueue("SRV", "P");
  world_.AddConnection("SRV", "P");
  world_.AddLocal("Lab");
  auto context = Inventoried();
  context->DirectoryPrinters = {{"Other", "SRV", "Other"}};
  context->document.DeleteADOrphans = true;
  context->document.DefaultType = 2;
  context->document.DefaultPrinterName = "Lab";
  context->document.PruneRules = {{"NOSUCH", "*"}};
  context->document.UseActiveDirectory = false;
  RunMaintenance(*context);
  EXPECT_EQ(world_.PrinterNames(), (std::vector<std::string>{"\\\\SRV\\P", "Lab"}))
      << "no orphan pruning without the directory method";
  EXPECT_EQ(world_.state.defaultPrinter, std::optional<std::string>("Lab"));

  context->document.UseActiveDirectory = true;
  context->document.DefaultPrinterName = "Missing";
  RunMaintenance(*context);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"Lab"});
  EXPECT_NE(context->RunMessage.find("Error (1801) setting default printer: Missing"),
            std::string::npos);
  EXPECT_FALSE(context->AbortStatus);
}

TEST_F(MaintenanceTest, BothMethodsMaintainTwice) {
  world_.AddQueue("SRV", "P");
  world_.AddConnection("SRV", "P");
  world_.Publish("corp.example", "SRV-P", {"P"});
  const std::string path = world_.WriteFile(
      world_.Path("both.ini"),
      testing::CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                                 {"DomainName=", "DomainName=corp.example"},
                                 {"DeleteAllNonNetworked=", "DeleteAllNonNetworked=True"}}));
  auto run = world_.Run(path);
  EXPECT_FALSE(run->AbortStatus);
  std::size_t headers = 0;
  for (std::size_t at = run->RunMessage.find("Maintenance Prune Local Printers");
       at != std::string::npos; at = run->RunMessage.find("Maintenance Prune Local Printers", at + 1)) {
    ++headers;
  }
  EXPECT_EQ(headers, 2u);
}

}  // namespace
}  // namespace quillon::engine
