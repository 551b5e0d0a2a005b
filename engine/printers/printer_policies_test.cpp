#include "engine/printers/printer_policies.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_status.h"

namespace quillon::engine {
namespace {

using platform::sim::SimOs;
using testing::CompleteDocument;

constexpr const char* kManagedDebugLine =
    ">> Windows manages the default printer (LegacyDefaultPrinterMode is not 1): the default "
    "printer set may not stay.";
constexpr const char* kManagedReportStart =
    "Warning: Windows manages the default printer on this computer";

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// One logon on a client whose default \\OLDSRV\HP4 moves to \\NEWSRV\HP4 (or,
// with `forced`, is forced to \\NEWSRV\HP4); how often the report and the
// debug file say that Windows manages the default printer.
struct Said {
  std::size_t report = 0, debug = 0;
  std::string defaultPrinter;
};

Said RunOn(std::optional<SimOs> os, std::optional<bool> legacyMode, const std::string& initial,
           int defaultType) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("OLDSRV", "HP5");
  world.AddQueue("NEWSRV", "HP4");
  world.AddQueue("NEWSRV", "HP5");
  world.AddConnection("OLDSRV", "HP4");
  world.AddConnection("OLDSRV", "HP5");
  world.state.os = os;
  world.state.legacyDefaultPrinterMode = legacyMode;
  world.state.defaultPrinter = initial;
  const std::string path = world.WriteFile(
      world.Path("move.ini"),
      CompleteDocument({{"DefaultType=", "DefaultType=" + std::to_string(defaultType)},
                        {"DefaultPrinterName=", "DefaultPrinterName=\\\\NEWSRV\\HP5"}}));
  auto run = world.Run(path);
  const std::string log = world.DebugFileText().value_or("");
  return {Count(run->RunMessage, kManagedReportStart), Count(log, kManagedDebugLine),
          world.state.defaultPrinter.value_or("")};
}

SimOs Windows10(std::uint32_t build) {
  SimOs os;
  os.buildNumber = build;
  return os;
}

TEST(ManagedDefaultPrinterTest, SaidOnceWhenARunSetsADefaultThatWindowsMayReplace) {
  // Windows 10 22H2 without the value: Windows manages the default printer.
  Said said = RunOn(Windows10(19045), std::nullopt, "\\\\OLDSRV\\HP4", 1);
  EXPECT_EQ(said.defaultPrinter, "\\\\NEWSRV\\HP4");
  EXPECT_EQ(said.report, 1u);
  EXPECT_EQ(said.debug, 1u);
  // A forced default likewise; LegacyDefaultPrinterMode 0 is managed on any build.
  said = RunOn(std::nullopt, false, "\\\\OLDSRV\\HP4", 2);
  EXPECT_EQ(said.defaultPrinter, "\\\\NEWSRV\\HP5");
  EXPECT_EQ(said.report, 1u);
  EXPECT_EQ(said.debug, 1u);

  // Legacy mode, by the value or by a build before 1511, and a client file that
  // says neither (every older one): nothing said.
  for (const Said& quiet :
       {RunOn(Windows10(19045), true, "\\\\OLDSRV\\HP4", 1),
        RunOn(Windows10(10240), std::nullopt, "\\\\OLDSRV\\HP4", 1),
        RunOn(std::nullopt, std::nullopt, "\\\\OLDSRV\\HP4", 2)}) {
    EXPECT_NE(quiet.defaultPrinter, "\\\\OLDSRV\\HP4");
    EXPECT_EQ(quiet.report, 0u);
    EXPECT_EQ(quiet.debug, 0u);
  }

  // Managed, but the run sets no default: the default was not on a moved
  // printer, or "DefaultType" 0.
  for (const Said& quiet : {RunOn(Windows10(19045), false, "\\\\NEWSRV\\HP4", 1),
                            RunOn(Windows10(19045), false, "\\\\OLDSRV\\HP4", 0)}) {
    EXPECT_EQ(quiet.report, 0u);
    EXPECT_EQ(quiet.debug, 0u);
  }
}

TEST(PerMachineConnectionTest, LeftToThePolicyNeitherMovedNorRemovedNorAFailure) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("OLDSRV", "HP5");
  world.AddQueue("NEWSRV", "HP4");
  world.AddQueue("NEWSRV", "HP5");
  world.AddConnection("OLDSRV", "HP4");
  world.AddConnection("OLDSRV", "HP5");
  world.state.printers[0].perMachine = true;
  world.state.defaultPrinter = "\\\\OLDSRV\\HP4";
  // The server pair would move it, and the prune rule remove it (the first of
  // a section's duplicate keys is the one read).
  const std::string path = world.WriteFile(
      world.Path("move.ini"),
      CompleteDocument({{"[PRUNE]", "[PRUNE]\r\nServerNames=OLDSRV\r\nPrinterNames=HP4"}}));

  auto run = world.Run(path);
  EXPECT_EQ(world.PrinterNames(),
            (std::vector<std::string>{"\\\\OLDSRV\\HP4", "\\\\NEWSRV\\HP5"}));
  EXPECT_EQ(world.Calls({"AddPrinterConnection", "DeletePrinterConnection", "SetDefaultPrinter"}),
            (std::vector<std::string>{"AddPrinterConnection \\\\NEWSRV\\HP5",
                                      "DeletePrinterConnection \\\\OLDSRV\\HP5"}));
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\OLDSRV\\HP4"));
  EXPECT_TRUE(run->OperationsSucceeded);
  EXPECT_EQ(world.files.ReadFile(platform::JoinPath(world.ProfileFolder(), kStatusFileName)),
            std::optional<std::string>(path + ",True\r\n"));

  const std::string note =
      "\\\\OLDSRV\\HP4 is a per-machine connection (pushed to the computer by Group Policy or "
      "printui /ga): the user cannot remove it and it comes back at every logon, so it is left "
      "as it is. To move it, change the policy that pushes it.";
  EXPECT_EQ(Count(run->RunMessage, note), 1u) << run->RunMessage;
  EXPECT_EQ(run->RunMessage.find("Migrating: \\\\OLDSRV\\HP4"), std::string::npos);
  const std::string log = *world.DebugFileText();
  EXPECT_EQ(
      Count(log, ">> Leaving per-machine connection to the policy that pushes it: \\\\OLDSRV\\HP4"),
      1u);
  // Still listed with the user's printers, as Windows lists it.
  EXPECT_NE(run->RunMessage.find("\r\n\\\\OLDSRV\\HP4 (\\\\OLDSRV)\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quillon::engine
