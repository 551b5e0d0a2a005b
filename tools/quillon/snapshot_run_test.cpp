// The engine's run on a `quillon snapshot` of a scripted client: a connection
// moved as it would be on the client, per-machine connections and the default
// printer mode through the file, and the targeting facts into the plan.
#include "tools/quillon/snapshot_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/profile_file.h"
#include "engine/core/run_context.h"
#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {
namespace {

using namespace snapshot_tests;

TEST(QuillonSnapshotTest, TheEngineRunsOnASnapshotAsItWouldOnTheClient) {
  EngineWorld world;
  const std::string document = world.WriteFile(world.Path("migration.ini"), CompleteDocument());
  ScriptedClient client;
  client.facts.version = platform::OsVersion{0, 2, 10};
  client.facts.computerName = "PC042";
  client.facts.userName = "alice";
  client.facts.profileFolder = world.ProfileFolder();
  client.printers.printers = {{Connection("OLDSRV", "HP4"), {}, {}},
                              {Connection("OLDSRV", "Plotter"), {}, {}}};
  client.defaultPrinter.name = "\\\\OLDSRV\\HP4";
  client.servers["OLDSRV"] = Queues({"HP4", "Plotter"});
  client.servers["NEWSRV"] = Queues({"HP4", "Plotter"});
  const std::string snapshot = world.Path("client.json");

  const Output taken = Snap(client, {"--servers-of", document, "-o", snapshot});
  ASSERT_EQ(taken.code, 0) << taken.err;
  EXPECT_EQ(taken.err, "");
  EXPECT_EQ(client.serversAsked, (std::vector<std::string>{"OLDSRV", "NEWSRV"}));
  platform::sim::LoadResult loaded = platform::sim::LoadClient(snapshot);
  ASSERT_TRUE(loaded.ok) << loaded.error;

  // `quillon plan` without a client file plans on such a snapshot, and reads
  // the user's status file without writing it.
  platform::HostFileSystem files;
  auto plan = [&]() {
    std::ostringstream out, err;
    CommandHost host{world.clock, "admin", "ADMINPC", std::nullopt, "", nullptr,
                     SnapshotForPlan(client, files, err)};
    const int code = RunQuillon({"plan", document}, files, host, out, err);
    return Output{code, out.str(), err.str()};
  };
  const fs::path statusFile = fs::path(world.ProfileFolder()) / "Quillon_status.log";
  const Output planned = plan();
  EXPECT_EQ(planned.code, 0) << planned.err;
  EXPECT_NE(planned.out.find("The run would succeed.\n\n"
                             "Connections added (2):\n  \\\\NEWSRV\\HP4\n  \\\\NEWSRV\\Plotter\n"
                             "Connections removed (2):\n  \\\\OLDSRV\\HP4\n  \\\\OLDSRV\\Plotter\n"
                             "Default printer: \\\\OLDSRV\\HP4 -> \\\\NEWSRV\\HP4\n"),
            std::string::npos)
      << planned.out;
  EXPECT_FALSE(fs::exists(statusFile));

  // The server pair OLDSRV to NEWSRV moves both, and the default with HP4.
  world.state = loaded.state;
  world.Run("\"" + document + "\"");
  EXPECT_EQ(world.PrinterNames(),
            (std::vector<std::string>{"\\\\NEWSRV\\HP4", "\\\\NEWSRV\\Plotter"}));
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\NEWSRV\\HP4"));
  EXPECT_TRUE(fs::exists(statusFile));
  // Planned again, the user's real status says the document has run.
  const Output again = plan();
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.out.find("already succeeded"), std::string::npos) << again.out;

  // NEWSRV out of reach: said with its reason, left out of the file, and the
  // engine keeps the user's connection as it would on the client.
  client.servers.erase("NEWSRV");
  const Output partial = Snap(client, {"--servers-of", document, "-o", snapshot});
  EXPECT_EQ(partial.code, 1);
  EXPECT_NE(partial.err.find("warning: print server NEWSRV cannot be read: EnumPrinters: The RPC "
                             "server is unavailable. (error 1722)"),
            std::string::npos)
      << partial.err;
  loaded = platform::sim::LoadClient(snapshot);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  ASSERT_EQ(loaded.state.printServers.size(), 1u);
  EXPECT_EQ(loaded.state.printServers[0].first, "OLDSRV");
  EngineWorld other;
  other.state = loaded.state;
  other.state.profileFolder = other.ProfileFolder();
  const std::string otherDocument = other.WriteFile(other.Path("migration.ini"), CompleteDocument());
  const auto context = other.Run("\"" + otherDocument + "\"");
  EXPECT_EQ(other.PrinterNames(),
            (std::vector<std::string>{"\\\\OLDSRV\\HP4", "\\\\OLDSRV\\Plotter"}));
  EXPECT_EQ(other.Calls({"AddPrinterConnection"}),
            (std::vector<std::string>{"AddPrinterConnection \\\\NEWSRV\\HP4",
                                      "AddPrinterConnection \\\\NEWSRV\\Plotter"}));
  EXPECT_NE(context->RunMessage.find("1722"), std::string::npos) << context->RunMessage;
}

TEST(QuillonSnapshotTest, PerMachineConnectionsAndTheDefaultPrinterModeGoThroughTheFile) {
  EngineWorld world;
  const std::string document = world.WriteFile(world.Path("migration.ini"), CompleteDocument());
  ScriptedClient client;
  client.facts.version = platform::OsVersion{0, 2, 10, 19045};
  client.facts.userName = "alice";
  client.facts.profileFolder = world.ProfileFolder();
  client.printers.printers = {{Connection("OLDSRV", "HP4"), {}, {}, true},
                              {Connection("OLDSRV", "Plotter"), {}, {}}};
  client.defaultPrinter.name = "\\\\OLDSRV\\Plotter";
  client.servers["OLDSRV"] = Queues({"HP4", "Plotter"});
  client.servers["NEWSRV"] = Queues({"HP4", "Plotter"});
  const std::string snapshot = world.Path("client.json");

  for (const std::optional<bool> legacyMode : {std::optional<bool>(), std::optional<bool>(true)}) {
    client.facts.legacyDefaultPrinterMode = legacyMode;
    const Output taken = Snap(client, {"--servers-of", document, "-o", snapshot});
    ASSERT_EQ(taken.code, 0) << taken.err;
    const platform::sim::LoadResult loaded = platform::sim::LoadClient(snapshot);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_EQ(loaded.state.printers.size(), 2u);
    EXPECT_EQ(loaded.state.printers[0].perMachine, std::optional<bool>(true));
    EXPECT_EQ(loaded.state.printers[1].perMachine, std::nullopt);
    ASSERT_TRUE(loaded.state.os.has_value());
    EXPECT_EQ(loaded.state.os->buildNumber, std::optional<std::uint32_t>(19045));
    // Without the user's value the key stays out, and the build decides.
    EXPECT_EQ(loaded.state.legacyDefaultPrinterMode, legacyMode);
    const std::string text = ReadAll(snapshot);
    EXPECT_EQ(text.find("legacyDefaultPrinterMode") != std::string::npos, legacyMode.has_value());

    // The engine on the snapshot leaves the per-machine connection, moves the
    // other with the default, and says that Windows may replace the default
    // unless the user's value keeps it.
    world.state = loaded.state;
    fs::remove(fs::path(world.ProfileFolder()) / "Quillon_status.log");
    auto run = world.Run("\"" + document + "\"");
    EXPECT_EQ(world.PrinterNames(),
              (std::vector<std::string>{"\\\\OLDSRV\\HP4", "\\\\NEWSRV\\Plotter"}));
    EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\NEWSRV\\Plotter"));
    EXPECT_TRUE(run->OperationsSucceeded);
    EXPECT_NE(run->RunMessage.find("\\\\OLDSRV\\HP4 is a per-machine connection"),
              std::string::npos);
    EXPECT_EQ(run->RunMessage.find("Windows manages the default printer") != std::string::npos,
              !legacyMode.has_value())
        << run->RunMessage;
  }
}

TEST(QuillonSnapshotTest, TargetingFactsGoThroughTheSnapshotIntoThePlan) {
  EngineWorld world;
  // The facts of a simulated client: the computer's groups left to the
  // document's directory (no key), the rest known.
  world.state.userGroups = std::vector<std::string>{"Domain Users", "Floor2-Pilot"};
  world.state.site = std::string("HQ");
  world.state.addresses = std::vector<std::string>{"fe80::1%3", "10.1.2.42"};
  platform::sim::SimPlatform simulated(world.state, world.host, world.files, world.clock);
  ScriptedClient client;
  client.facts.version = platform::OsVersion{0, 2, 10};
  client.facts.computerName = "PC042";
  client.facts.userName = "alice";
  client.facts.profileFolder = world.ProfileFolder();
  client.printers.printers = {{Connection("OLDSRV", "HP4"), {}, {}}};
  client.servers["OLDSRV"] = Queues({"HP4"});
  client.servers["NEWSRV"] = Queues({"HP4"});
  const std::string snapshot = world.Path("client.json");
  const std::vector<std::string> args{"--server", "OLDSRV", "--server", "NEWSRV", "-o", snapshot};

  auto plan = [&](const std::string& targeting) {
    const std::string document =
        world.WriteFile(world.Path("migration.ini"),
                        CompleteDocument() + "[TARGETING]\r\nUseTargeting=True\r\n" + targeting);
    platform::HostFileSystem files;
    std::ostringstream out, err;
    CommandHost host{world.clock, "admin", "ADMINPC", std::nullopt, "", nullptr, {}};
    const int code = RunQuillon({"plan", "--client", snapshot, document}, files, host, out, err);
    EXPECT_EQ(code, 0) << err.str();
    return out.str();
  };

  const Output taken = Snap(client, args, std::chrono::seconds(1), &simulated);
  ASSERT_EQ(taken.code, 0) << taken.err;
  platform::sim::LoadResult loaded = platform::sim::LoadClient(snapshot);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.state.userGroups, world.state.userGroups);
  EXPECT_EQ(loaded.state.site, world.state.site);
  EXPECT_EQ(loaded.state.addresses, world.state.addresses);
  EXPECT_FALSE(loaded.state.computerGroups.has_value()) << "left to the directory";
  std::string planned = plan("UserGroups=IT,floor2-pilot\r\nSites=hq\r\nSubnets=10.1.0.0/16\r\n");
  EXPECT_NE(planned.find("Targeted: computer PC042 is in site hq\n"
                         "Targeted: computer PC042 has address 10.1.2.42 in 10.1.0.0/16\n"
                         "Targeted: user alice is in group floor2-pilot\n\nThe run would succeed."),
            std::string::npos)
      << planned;
  planned = plan("Sites=Branch\r\n");
  EXPECT_NE(planned.find("Not targeted: computer PC042 is in site HQ, none of Branch\n"
                         "The run would do nothing"),
            std::string::npos)
      << planned;
  EXPECT_EQ(planned.find("Connections added"), std::string::npos) << planned;
  planned = plan("ComputerGroups=Floor2-PCs\r\n");
  EXPECT_NE(planned.find("Not targeted: the groups of computer PC042 cannot be found (the client "
                         "file has no computerGroups and the document names no directory)"),
            std::string::npos)
      << planned;

  // What the client cannot find is written as null, and a run on the
  // snapshot cannot find it either.
  world.state.addresses.emplace();
  ASSERT_EQ(Snap(client, args, std::chrono::seconds(1), &simulated).code, 0);
  EXPECT_NE(ReadAll(snapshot).find("\"addresses\": null"), std::string::npos) << ReadAll(snapshot);
  planned = plan("Subnets=10.1.0.0/16\r\n");
  EXPECT_NE(planned.find("Not targeted: the addresses of computer PC042 cannot be found"),
            std::string::npos)
      << planned;

  // Without facts (a host that has none, a snapshot of before): no keys, and
  // a condition that needs one is not met.
  ASSERT_EQ(Snap(client, args).code, 0);
  const std::string bare = ReadAll(snapshot);
  for (const char* key : {"userGroups", "computerGroups", "\"site\"", "addresses"}) {
    EXPECT_EQ(bare.find(key), std::string::npos) << key;
  }
  planned = plan("Sites=HQ\r\n");
  EXPECT_NE(planned.find("Not targeted: the site of computer PC042 cannot be found (the client "
                         "file has no site)"),
            std::string::npos)
      << planned;
}

}  // namespace
}  // namespace quillon::tools
