#include "engine/migration/driver_staging.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_sequence.h"

namespace quillon::engine {
namespace {

using testing::CompleteDocument;

// A queue whose driver states its version, so that the 2021 rule applies.
void AddVersionedQueue(testing::EngineWorld& world, const std::string& server,
                       const std::string& share, const std::string& driver,
                       const std::string& version) {
  world.AddQueue(server, share);
  for (auto& [name, queues] : world.state.printServers) {
    if (name != server) continue;
    queues.back().driverName = driver;
    queues.back().driverVersion = version;
  }
}

std::string DriverVersionHere(const testing::EngineWorld& world, const std::string& driver) {
  for (const auto& installed : world.state.drivers) {
    if (installed.name == driver) return installed.driverVersion.value_or("0.0.0.0");
  }
  return "none";
}

std::string ReportDocument(const testing::EngineWorld& world,
                           std::vector<std::pair<std::string, std::string>> more = {}) {
  more.insert(more.end(), {{"UseFileOutput=", "UseFileOutput=True"},
                           {"FileOutputPath=", "FileOutputPath=" + world.Path("reports")},
                           {"FileOutputName=", "FileOutputName=drivers.txt"},
                           {"IncludeComputerName=", "IncludeComputerName=True"},
                           {"IncludeOutcome=", "IncludeOutcome=True"},
                           {"WriteToEventLog=", "WriteToEventLog=True"},
                           {"UseClientPopup=", "UseClientPopup=True"},
                           {"UseSuccessClientPopup=", "UseSuccessClientPopup=True"},
                           {"SuccessMessage=", "SuccessMessage=Done"}});
  return CompleteDocument(more);
}

int Stage(testing::EngineWorld& world, const std::string& commandLine) {
  auto context = world.NewContext();
  const std::optional<std::string> documentPart = StagingCommandLine(commandLine);
  EXPECT_TRUE(documentPart.has_value()) << commandLine;
  return RunStagingEngine(*context, documentPart.value_or(""));
}

// The whole point: a restricted client whose move failed is moved by the
// logon after one staging run, and the staging run changed nothing else.
TEST(DriverStagingTest, AStagingRunLetsTheNextLogonMoveARestrictedClient) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "Color");
  AddVersionedQueue(world, "NEWSRV", "Color", "Color Drv", "7.1.0.0");
  world.AddConnection("OLDSRV", "Color");
  world.state.defaultPrinter = "\\\\OLDSRV\\Color";
  world.state.drivers.push_back({"Color Drv", "", "", "", "Windows x64", 3, false, {}, "6.0.0.0"});
  world.state.pointAndPrint = platform::sim::SimPointAndPrint{true};
  world.state.elevated = false;
  world.files.CreateFolders(world.Path("reports"));
  const std::string path = world.WriteFile(world.Path("move.ini"), ReportDocument(world));

  world.Run(path);
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\OLDSRV\\Color"});
  bool refusedForTheDriver = false;
  for (const auto& call : world.state.spoolerCalls) {
    refusedForTheDriver |= call.call == "AddPrinterConnection" && call.error == 3019;
  }
  EXPECT_TRUE(refusedForTheDriver);
  const std::size_t boxesAfterLogon = world.state.messageBoxes.size();

  // Not elevated: one line, nothing changed, status 1.
  world.state.spoolerCalls.clear();
  EXPECT_EQ(Stage(world, "/StageDrivers " + path), 1);
  EXPECT_EQ(DriverVersionHere(world, "Color Drv"), "6.0.0.0");
  EXPECT_TRUE(world.Calls({"EnumPrinters", "InstallDriverFromServer"}).empty());
  const std::string refused =
      *world.files.ReadFile(world.Path("reports/PC042_SYSTEM_FAILED_drivers.txt"));
  EXPECT_NE(refused.find(kStagingNeedsAdministrator), std::string::npos) << refused;

  // As the system account at start-up.
  world.state.elevated = true;
  const auto registryBefore = world.state.registry;
  EXPECT_EQ(Stage(world, "/stagedrivers \"" + path + "\""), 0);
  world.state.elevated = false;
  EXPECT_EQ(DriverVersionHere(world, "Color Drv"), "7.1.0.0");
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\OLDSRV\\Color"});
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\OLDSRV\\Color"));
  EXPECT_EQ(world.state.registry, registryBefore) << "no run status read or written";
  EXPECT_EQ(world.state.messageBoxes.size(), boxesAfterLogon) << "a staging run shows no box";
  const std::string report =
      *world.files.ReadFile(world.Path("reports/PC042_SYSTEM_SUCCESS_drivers.txt"));
  EXPECT_NE(report.find("Computer: PC042"), std::string::npos) << report;
  EXPECT_NE(report.find("Installed driver Color Drv 7.1.0.0 from \\\\NEWSRV (was 6.0.0.0)"),
            std::string::npos)
      << report;
  ASSERT_FALSE(world.state.eventLog.empty());
  EXPECT_EQ(world.state.eventLog.back().eventId, 20003);
  EXPECT_EQ(world.state.eventLog.back().type, platform::kEventTypeInformation);

  // The logon run now moves without fetching anything.
  world.Run(path);
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\Color"});
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\NEWSRV\\Color"));

  // Nothing to do: one listing per server and of the drivers, no driver call.
  world.state.elevated = true;
  world.state.profiles = std::vector<platform::sim::SimProfile>{{"bob", {"\\\\OLDSRV\\Color"}, {}}};
  world.state.spoolerCalls.clear();
  EXPECT_EQ(Stage(world, "/StageDrivers " + path), 0);
  EXPECT_EQ(world.Calls({"EnumPrinters", "EnumPrinterDrivers", "InstallDriverFromServer",
                         "AddPrinterConnection", "DeletePrinterConnection"}),
            (std::vector<std::string>{"EnumPrinters \\\\NEWSRV", "EnumPrinterDrivers Windows x64"}));
  EXPECT_NE(world.files.ReadFile(world.Path("reports/PC042_SYSTEM_SUCCESS_drivers.txt"))
                ->find("Driver Color Drv is already installed"),
            std::string::npos);
}

// Every profile's moves and the populate rules count; a dead server is said
// once while the others are still done; each failure has its plain words.
TEST(DriverStagingTest, EveryProfileAndPopulateRuleIsStagedAndFailuresAreSaidOnce) {
  testing::EngineWorld world;
  AddVersionedQueue(world, "NEWSRV", "A", "Drv A", "2.0.0.0");
  AddVersionedQueue(world, "NEWSRV", "B", "Drv B", "3.0.0.0");
  AddVersionedQueue(world, "NEWSRV", "B2", "Drv B", "3.5.0.0");  // the higher version wins
  AddVersionedQueue(world, "NEWSRV", "Pop", "Drv P", "1.0.0.0");
  AddVersionedQueue(world, "NEWSRV", "Old32", "Drv 32", "1.0.0.0");
  world.state.printServers.front().second.back().environments =
      std::vector<std::string>{"Windows NT x86"};
  AddVersionedQueue(world, "NEWSRV", "Same", "Drv S", "4.0.0.0");
  world.state.drivers.push_back({"Drv S", "", "", "", "Windows x64", 3, false, {}, "4.0.0.0"});
  world.state.profiles = std::vector<platform::sim::SimProfile>{
      {"ann", {"\\\\OLDSRV\\A", "\\\\OLDSRV\\Same", "LocalOne"}, {}},
      {"bob", {"\\\\oldsrv\\b", "\\\\OldSrv\\B2", "\\\\DEADSRV\\X", "\\\\DEADSRV\\Y",
               "\\\\OLDSRV\\Old32", "\\\\OLDSRV\\Missing"}, {}}};
  world.files.CreateFolders(world.Path("reports"));
  const std::string path = world.WriteFile(
      world.Path("move.ini"),
      ReportDocument(world, {{"FromServers=OLDSRV", "FromServers=OLDSRV,DEADSRV"},
                             {"ToServers=NEWSRV", "ToServers=NEWSRV,GONESRV"},
                             {"ServerNames= ", "ServerNames=NEWSRV"},
                             {"PrinterNames= ", "PrinterNames=Pop"}}));
  const auto printersBefore = world.PrinterNames();

  EXPECT_EQ(Stage(world, "/StageDrivers " + path), 1);
  EXPECT_EQ(DriverVersionHere(world, "Drv A"), "2.0.0.0");
  EXPECT_EQ(DriverVersionHere(world, "Drv B"), "3.5.0.0");
  EXPECT_EQ(DriverVersionHere(world, "Drv P"), "1.0.0.0");
  EXPECT_EQ(DriverVersionHere(world, "Drv 32"), "none");
  EXPECT_EQ(world.PrinterNames(), printersBefore);
  const std::string report =
      *world.files.ReadFile(world.Path("reports/PC042_SYSTEM_FAILED_drivers.txt"));
  const auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = report.find(text); at != std::string::npos;
         at = report.find(text, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count("Installed driver Drv A 2.0.0.0 from \\\\NEWSRV"), 1u) << report;
  EXPECT_EQ(count("Installed driver Drv B 3.5.0.0 from \\\\NEWSRV"), 1u) << report;
  EXPECT_EQ(count("Installed driver Drv P 1.0.0.0 from \\\\NEWSRV"), 1u) << report;
  EXPECT_EQ(count("Driver Drv S is already installed"), 1u) << report;
  EXPECT_EQ(count("Could not list the printers of \\\\GONESRV"), 1u) << report;
  EXPECT_EQ(count("What error 1722 means:"), 1u) << report;
  EXPECT_EQ(count("\\\\NEWSRV has no Windows x64 version of driver Drv 32"), 1u) << report;
  EXPECT_EQ(count("What error 1797 means:"), 1u) << report;
  EXPECT_EQ(count("\\\\NEWSRV shares no printer Missing"), 1u) << report;
  EXPECT_EQ(world.state.eventLog.back().type, platform::kEventTypeWarning);

  // A printer pair keeps the connection's server, which a user can make up in
  // the profile: the system account fetches nothing from a server the
  // document does not name.
  AddVersionedQueue(world, "ROGUE", "To", "Rogue Drv", "1.0.0.0");
  world.state.profiles = std::vector<platform::sim::SimProfile>{{"eve", {"\\\\ROGUE\\From"}, {}}};
  const std::string pairs = world.WriteFile(
      world.Path("pairs.ini"),
      ReportDocument(world, {{"FromPrinters= ", "FromPrinters=From"},
                             {"ToPrinters= ", "ToPrinters=To"}}));
  world.state.spoolerCalls.clear();
  Stage(world, "/StageDrivers " + pairs);
  EXPECT_EQ(DriverVersionHere(world, "Rogue Drv"), "none");
  EXPECT_TRUE(world.Calls({"InstallDriverFromServer"}).empty());
  EXPECT_NE(world.files.ReadFile(world.Path("reports/PC042_SYSTEM_SUCCESS_drivers.txt"))
                ->find("Not installing drivers from \\\\ROGUE for \\\\ROGUE\\To"),
            std::string::npos);

  // A directory document: the queue the directory publishes under that name.
  world.state.profiles = std::vector<platform::sim::SimProfile>{{"cy", {"\\\\OLDSRV\\Dir"}, {}}};
  AddVersionedQueue(world, "NEWSRV", "Dir", "Drv D", "5.0.0.0");
  world.Publish("corp.example", "NEWSRV-Dir", {"Dir"});
  const std::string directory = world.WriteFile(
      world.Path("directory.ini"),
      ReportDocument(world, {{"UseActiveDirectory=", "UseActiveDirectory=True"},
                             {"UseManualDefinitions=", "UseManualDefinitions=False"},
                             {"DomainName=", "DomainName=corp.example"}}));
  EXPECT_EQ(Stage(world, "/StageDrivers " + directory), 0);
  EXPECT_EQ(DriverVersionHere(world, "Drv D"), "5.0.0.0");
}

TEST(DriverStagingTest, OnlyTheWordAtTheStartAsksForAStagingRun) {
  EXPECT_EQ(StagingCommandLine("/StageDrivers"), std::optional<std::string>(""));
  EXPECT_EQ(StagingCommandLine("/STAGEDRIVERS  \"C:\\a b\\m.ini\""),
            std::optional<std::string>("\"C:\\a b\\m.ini\""));
  EXPECT_EQ(StagingCommandLine("/StageDriversNow x.ini"), std::nullopt);
  EXPECT_EQ(StagingCommandLine("x.ini /StageDrivers"), std::nullopt);
  EXPECT_EQ(StagingCommandLine(" /StageDrivers"), std::nullopt);
}

}  // namespace
}  // namespace quillon::engine
