#include "engine/migration/manual_migration.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_status.h"
#include "engine/printers/client_printers.h"

namespace quillon::engine {
namespace {

using testing::CompleteDocument;

// "Migrating: " lines and the add/delete calls of a run, in order.
std::vector<std::string> Moves(const testing::EngineWorld& world) {
  return world.Calls({"AddPrinterConnection", "DeletePrinterConnection", "SetDefaultPrinter"});
}

TEST(ManualMigrationTest, TheTypicalLogonMovesTheDefaultPrinterToTheNewServer) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("OLDSRV", "HP4");
  world.state.defaultPrinter = "\\\\OLDSRV\\HP4";
  const std::string path = world.WriteFile(world.Path("move.ini"), CompleteDocument());

  auto run = world.Run(path);
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\HP4"});
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\NEWSRV\\HP4"));
  EXPECT_EQ(run->RunMessage,
            "\r\n* ----- Computer: PC042 Username: alice Printers ----- *"
            "\r\n\\\\OLDSRV\\HP4 (\\\\OLDSRV)"
            "\r\nDefault Printer:\\\\OLDSRV\\HP4"
            "\r\n\r\n* ----- Migrating Networked Printers Between Servers ----- *"
            "\r\nMigrating: \\\\OLDSRV\\HP4 to \\\\NEWSRV\\HP4"
            "\r\nPopulated networked printer: \\\\NEWSRV\\HP4"
            "\r\nDeleted networked printer: \\\\OLDSRV\\HP4"
            "\r\nSet default printer: \\\\NEWSRV\\HP4");
  const std::string log = *world.DebugFileText();
  const std::string expected =
      ">> Running Quillon, abort status: False\r\n" +
      testing::Banner(28, "     NETWORK PRINTERS    ", 27) +
      ">> Getting client's list of printers <<\r\n"
      ">> * ----- My Printers ----- * <<\r\n"
      ">> Print server \\\\OLDSRV answers (probe took 0 ms)\r\n"
      ">> Print server \\\\NEWSRV answers (probe took 0 ms)\r\n"
      ">> Found networked printer: \\\\OLDSRV\\HP4 (\\\\OLDSRV)\r\n"
      ">> Finished getting network printers, abort status: False\r\n"
      "Default printer:\\\\OLDSRV\\HP4\r\n" +
      testing::Banner(20, "     MOVING USING SERVER TO SERVER    ", 20) +
      ">> * ----- Migrating Networked Printers Between Servers ----- * <<\r\n"
      ">> Found a server match <<\r\n"
      ">> Client server: \\\\OLDSRV\r\n"
      ">> INI server: OLDSRV\r\n"
      ">> Added networked printer: \\\\NEWSRV\\HP4\r\n"
      ">> Removed networked printer: \\\\OLDSRV\\HP4\r\n"
      "Set default printer: \\\\NEWSRV\\HP4\r\n"
      ">> Finished maintenance: False\r\n"
      ">> Finished moving manual, abort status: False\r\n"
      ">> Finished notification, abort status: False\r\n";
  ASSERT_NE(log.find(">> Running Quillon"), std::string::npos);
  EXPECT_EQ(log.substr(log.find(">> Running Quillon"), expected.size()), expected);
  EXPECT_EQ(Moves(world), (std::vector<std::string>{"AddPrinterConnection \\\\NEWSRV\\HP4",
                                                    "DeletePrinterConnection \\\\OLDSRV\\HP4",
                                                    "SetDefaultPrinter \\\\NEWSRV\\HP4"}));
  EXPECT_EQ(world.files.ReadFile(platform::JoinPath(world.ProfileFolder(), kStatusFileName)),
            std::optional<std::string>(path + ",True\r\n"));

  // The next logon stops at the guard and touches no printer.
  const std::size_t calls = world.state.spoolerCalls.size();
  world.Run(path);
  EXPECT_EQ(world.state.spoolerCalls.size(), calls);
  EXPECT_NE(world.DebugFileText()->find(">> This INI file has already successed on this machine."),
            std::string::npos);
}

class StrategyTest : public ::testing::Test {
 protected:
  // A context with the user's connections inventoried, debug and report cleared.
  std::unique_ptr<RunContext> Inventoried() { return world_.Inventoried(); }
  testing::EngineWorld world_;
};

TEST_F(StrategyTest, PrinterPairsRenameOnTheSameServerIgnoringCase) {
  world_.AddQueue("OLD", "hp4");
  world_.AddQueue("OLD", "Other");
  world_.AddQueue("OLD", "HP5");
  world_.AddQueue("OLD", "HP6");
  world_.AddConnection("OLD", "hp4");
  world_.AddConnection("OLD", "Other");
  auto context = Inventoried();
  // Two pairs for the same printer both apply; the old one goes twice.
  context->document.PrinterPairs = {{"HP4", "HP5"}, {"hp4", "HP6"}};
  MigratePrinterPairs(*context);
  EXPECT_EQ(Moves(world_), (std::vector<std::string>{
                               "AddPrinterConnection \\\\OLD\\HP5",
                               "DeletePrinterConnection \\\\OLD\\hp4",
                               "AddPrinterConnection \\\\OLD\\HP6",
                               "DeletePrinterConnection \\\\OLD\\hp4"}));
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\n\r\n* ----- Migrating Networked Printers Between Printers ----- *"
            "\r\nMigrating: \\\\OLD\\hp4 to \\\\OLD\\HP5"
            "\r\nPopulated networked printer: \\\\OLD\\HP5"
            "\r\nDeleted networked printer: \\\\OLD\\hp4"
            "\r\nMigrating: \\\\OLD\\hp4 to \\\\OLD\\HP6"
            "\r\nPopulated networked printer: \\\\OLD\\HP6"
            "\r\nError (1801) deleting network printer: \\\\OLD\\hp4"
            "\r\nPrinter already migrated: \\\\OLD\\Other (\\\\OLD)");
  EXPECT_NE(context->debugLog.text().find(">> Found a printer match <<\r\n"
                                          ">> Client printer: hp4\r\n>> INI Printer: HP4\r\n"),
            std::string::npos);
  EXPECT_FALSE(context->OperationsSucceeded);
}

TEST_F(StrategyTest, MixedPairsNeedServerAndPrinter) {
  world_.AddQueue("NEW", "LASER1");
  world_.AddConnection("OLD", "HP4");
  world_.AddConnection("OTHER", "HP4");
  auto context = Inventoried();
  context->document.MixedPairs = {{"old", "hp4", "LASER1", "NEW"}};
  MigrateMixedPairs(*context);
  EXPECT_EQ(world_.PrinterNames(),
            (std::vector<std::string>{"\\\\OTHER\\HP4", "\\\\NEW\\LASER1"}));
  EXPECT_NE(context->RunMessage.find("\r\nMigrating: \\\\OLD\\HP4 to \\\\NEW\\LASER1"),
            std::string::npos);
  EXPECT_NE(context->RunMessage.find("\r\nPrinter already migrated: \\\\OTHER\\HP4 (\\\\OTHER)"),
            std::string::npos);
  EXPECT_NE(context->debugLog.text().find(
                ">> Found a Printer and Server match <<\r\n>> Client printer: HP4\r\n"
                ">> Client Server: \\\\OLD\r\n>> INI printer: hp4\r\n>> INI Server: old\r\n"),
            std::string::npos);
}

TEST_F(StrategyTest, ANewConnectionThatFailsKeepsTheOldOne) {
  world_.AddQueue("OLD", "HP4");
  world_.AddConnection("OLD", "HP4");
  world_.state.defaultPrinter = "\\\\OLD\\HP4";
  auto context = Inventoried();
  context->InitialDefaultPrinter = "\\\\OLD\\HP4";
  context->document.DefaultType = 1;
  context->document.ServerPairs = {{"OLD", "NEW"}};  // NEW is not a print server here
  MigrateServerPairs(*context);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\OLD\\HP4"});
  EXPECT_EQ(world_.state.defaultPrinter, std::optional<std::string>("\\\\OLD\\HP4"));
  EXPECT_EQ(Moves(world_), std::vector<std::string>{"AddPrinterConnection \\\\NEW\\HP4"});
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\n\r\n* ----- Migrating Networked Printers Between Servers ----- *"
            "\r\nMigrating: \\\\OLD\\HP4 to \\\\NEW\\HP4"
            "\r\nError (1722) populating network printer: \\\\NEW\\HP4"
            "\r\nNot removing \\\\OLD\\HP4: the new connection \\\\NEW\\HP4 could not be added.");
  EXPECT_NE(context->debugLog.text().find(">> Keeping old printer, new connection failed: "
                                          "\\\\OLD\\HP4\r\n"),
            std::string::npos);
  EXPECT_FALSE(context->OperationsSucceeded) << "the failed add still counts";

  // A pair that leads to the same name changes nothing and reports the printer
  // as migrated already.
  auto same = Inventoried();
  same->document.ServerPairs = {{"OLD", "old"}};
  MigrateServerPairs(*same);
  EXPECT_EQ(Moves(world_).size(), 1u);
  EXPECT_EQ(same->RunMessage,
            "\r\n\r\n* ----- Migrating Networked Printers Between Servers ----- *"
            "\r\nPrinter already migrated: \\\\OLD\\HP4 (\\\\OLD)");
  EXPECT_TRUE(same->OperationsSucceeded);
}

TEST_F(StrategyTest, TheDefaultFollowsOnlyWithMigrationModeAndTheInitialDefault) {
  struct Case {
    std::int16_t defaultType;
    std::string initialDefault;
    bool moved;
  } cases[] = {{1, "\\\\old\\hp4", true}, {0, "\\\\OLD\\HP4", false}, {2, "\\\\OLD\\HP4", false},
               {1, "\\\\OLD\\Other", false}, {1, "", false}};
  for (const Case& c : cases) {
    world_.state = {};
    world_.AddQueue("NEW", "HP4");
    world_.AddConnection("OLD", "HP4");
    auto context = Inventoried();
    context->document.DefaultType = c.defaultType;
    context->InitialDefaultPrinter = c.initialDefault;
    context->document.ServerPairs = {{"OLD", "NEW"}};
    MigrateServerPairs(*context);
    EXPECT_EQ(world_.Calls({"SetDefaultPrinter"}).size(), c.moved ? 1u : 0u)
        << c.defaultType << " " << c.initialDefault;
  }
}

TEST_F(StrategyTest, BothStrategiesWorkFromTheSameSnapshot) {
  world_.AddQueue("OLD", "HP4");
  world_.AddQueue("OLD", "HP5");
  world_.AddQueue("NEW", "HP4");
  world_.AddConnection("OLD", "HP4");
  auto context = Inventoried();
  ASSERT_EQ(context->NetworkedPrinters.size(), 1u);
  context->document.PrinterPairs = {{"HP4", "HP5"}};
  context->document.ServerPairs = {{"OLD", "NEW"}};
  RunManualMigration(*context);
  // The server pair still sees \\OLD\HP4, already moved by the printer pair.
  EXPECT_EQ(Moves(world_), (std::vector<std::string>{
                               "AddPrinterConnection \\\\OLD\\HP5",
                               "DeletePrinterConnection \\\\OLD\\HP4",
                               "AddPrinterConnection \\\\NEW\\HP4",
                               "DeletePrinterConnection \\\\OLD\\HP4"}));
  const std::string& log = context->debugLog.text();
  const std::size_t printers = log.find("     MOVING USING PRINTER TO PRINTER    ");
  const std::size_t servers = log.find("     MOVING USING SERVER TO SERVER    ");
  ASSERT_NE(printers, std::string::npos);
  ASSERT_NE(servers, std::string::npos);
  EXPECT_LT(printers, servers);
  EXPECT_EQ(log.find("MOVING USING MIXED TO MIXED"), std::string::npos) << "empty list, no banner";
  EXPECT_NE(log.find(">> Finished maintenance: False\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillon::engine
