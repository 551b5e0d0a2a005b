// `quillon snapshot` over a scripted client: the servers a document names,
// every field through the client file and back, the engine's run on a
// snapshot moving a connection as it would on the client, and the command's
// arguments, failures and progress.
#include "tools/quillon/snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "document/document_file.h"
#include "document/profile_file.h"
#include "engine/core/engine_test_support.h"
#include "engine/core/run_context.h"
#include "platform/host/host_file_system.h"
#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {
namespace {

namespace fs = std::filesystem;
using engine::testing::CompleteDocument;
using engine::testing::EngineWorld;
using platform::PrinterInfo2;

// Answers from fields the test sets; a server it does not list is out of reach.
class ScriptedClient : public platform::ClientReader {
 public:
  platform::ClientFacts ReadFacts() override { return facts; }
  platform::PrinterListing ListPrinters() override { return printers; }
  platform::DefaultPrinterName GetDefaultPrinter() override { return defaultPrinter; }
  platform::DriverListing ListDrivers() override { return drivers; }
  platform::PortListing ListPorts() override { return ports; }
  platform::QueueListing ListServerQueues(const std::string& server) override {
    serversAsked.push_back(server);
    std::this_thread::sleep_for(serverDelay);
    if (auto found = servers.find(server); found != servers.end()) return found->second;
    platform::QueueListing unreachable;
    unreachable.status =
        platform::Status::Error(1722, "EnumPrinters: The RPC server is unavailable.");
    return unreachable;
  }

  platform::ClientFacts facts;
  platform::PrinterListing printers;
  platform::DefaultPrinterName defaultPrinter;
  platform::DriverListing drivers;
  platform::PortListing ports;
  std::map<std::string, platform::QueueListing> servers;
  std::vector<std::string> serversAsked;
  std::chrono::milliseconds serverDelay{0};
};

PrinterInfo2 Printer(const std::string& server, const std::string& name, const std::string& share,
                     const std::string& port, const std::string& driver, std::uint32_t attributes,
                     const std::string& comment = "", const std::string& location = "") {
  PrinterInfo2 info;
  info.serverName = server;
  info.printerName = name;
  info.shareName = share;
  info.portName = port;
  info.driverName = driver;
  info.comment = comment;
  info.location = location;
  info.attributes = attributes;
  return info;
}

PrinterInfo2 Connection(const std::string& server, const std::string& share) {
  return Printer("\\\\" + server, "\\\\" + server + "\\" + share, share, "IP_" + share,
                 "HP Universal", platform::kPrinterAttributeNetwork);
}

platform::QueueListing Queues(const std::vector<std::string>& shares) {
  platform::QueueListing listing;
  for (const std::string& share : shares) {
    listing.queues.push_back(Printer("", share, share, "IP_" + share, "HP Universal",
                                     platform::kPrinterAttributeShared));
  }
  return listing;
}

struct Output {
  int code;
  std::string out;
  std::string err;
};

Output Snap(platform::ClientReader& reader, const std::vector<std::string>& args,
           std::chrono::milliseconds progressAfter = std::chrono::seconds(1),
           platform::SystemInfo* facts = nullptr) {
  platform::HostFileSystem files;
  std::ostringstream out, err;
  const int code = Snapshot(args, files, reader, out, err, progressAfter, facts);
  return {code, out.str(), err.str()};
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

document::MigrationDocument Read(const std::string& text) {
  document::MigrationDocument document;
  EXPECT_FALSE(document::ReadDocumentText(&text, document)) << text;
  return document;
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::path(::testing::TempDir()) /
            ("quillon-snapshot-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

TEST(QuillonSnapshotTest, ServersOfADocumentAreEveryServerItNamesOnceInItsOrder) {
  document::ProfileFile file = document::ProfileFile::Parse(CompleteDocument(
      {{"DefaultType=1", "DefaultType=2"}, {"DefaultPrinterName= ", "DefaultPrinterName=\\\\DefSrv\\Front Desk"}}));
  auto set = [&file](const char* section, const char* key, const char* value) {
    file.SetValue(section, key, value);
  };
  set("MANUAL DEFINITIONS SERVERS", "FromServers", "OLDSRV,\\\\OldSrv2");
  set("MANUAL DEFINITIONS SERVERS", "ToServers", "NEWSRV,newsrv");
  set("MANUAL DEFINITIONS PRINTERS", "FromPrinters", "HP4,Laser");
  set("MANUAL DEFINITIONS PRINTERS", "ToPrinters", "HP4-new,Laser-new");
  set("MANUAL DEFINITIONS MIXED", "FromServers", "MIXOLD");
  set("MANUAL DEFINITIONS MIXED", "FromPrinters", "Plotter");
  set("MANUAL DEFINITIONS MIXED", "ToServers", "MixNew");
  set("MANUAL DEFINITIONS MIXED", "ToPrinters", "Plotter2");
  set("POPULATE", "ServerNames", ".,PopSrv,oldsrv");
  set("POPULATE", "PrinterNames", "Local Label,Copier,Floor");
  set("PRUNE", "ServerNames", "PruneSrv,*");
  set("PRUNE", "PrinterNames", "Old,Gone");
  const document::MigrationDocument document = Read(file.Serialize());

  // Pairs give old then new; a second spelling of a server, with backslashes
  // or in another case, is the same server; prune rules and the local "."
  // name none.
  EXPECT_EQ(ServersOfDocument(document),
            (std::vector<std::string>{"OLDSRV", "NEWSRV", "OldSrv2", "MIXOLD", "MixNew", "PopSrv",
                                      "DefSrv"}));

  // Printer pairs move a connection on its own server.
  platform::PrinterListing printers;
  for (const PrinterInfo2& info :
       {Connection("PRINTSRV", "hp4"), Connection("OTHERSRV", "Unrelated"),
        Connection("Oldsrv", "Laser"), Connection("FLOORSRV", "Floor 2\\Laser"),
        Printer("", "HP4", "", "LPT1:", "Generic / Text Only", platform::kPrinterAttributeLocal)}) {
    printers.printers.push_back({info, {}, {}});
  }
  EXPECT_EQ(ServersToRead(document, printers.printers),
            (std::vector<std::string>{"OLDSRV", "NEWSRV", "OldSrv2", "MIXOLD", "MixNew", "PopSrv",
                                      "DefSrv", "PRINTSRV"}));

  // A document of empty lists names no server; a local default printer neither.
  const document::MigrationDocument empty = Read(CompleteDocument(
      {{"FromServers=OLDSRV", "FromServers= "}, {"ToServers=NEWSRV", "ToServers= "},
       {"DefaultPrinterName= ", "DefaultPrinterName=Label Writer"}}));
  EXPECT_EQ(ServersToRead(empty, printers.printers), std::vector<std::string>{});
}

TEST(QuillonSnapshotTest, EveryFieldGoesThroughTheClientFileAndBack) {
  TempFolder folder;
  ScriptedClient client;
  client.facts.version = platform::OsVersion{0, 2, 6};
  client.facts.computerName = "PC042";
  client.facts.dnsFullName = "pc042.corp.example";
  client.facts.userName = "alice";
  client.facts.profileFolder = folder / "profile";
  // Text in the host's own 8-bit form, which the file holds as UTF-8.
  const std::string bureau = platform::Utf16ToNarrow(u"B\u00fcro Laser");
  client.printers.printers = {
      {Printer("\\\\OLDSRV", "\\\\OLDSRV\\HP4", "HP4", "IP_10.1.2.40", "HP LaserJet 4 PCL6",
               platform::kPrinterAttributeNetwork, "Second floor", "Room 214"),
       {}, {}},
      {Printer("", bureau, "BUERO", "USB001", "Generic / Text Only",
               platform::kPrinterAttributeLocal | platform::kPrinterAttributeShared, "Front",
               "Reception"),
       {}, {}},
      {Printer("\\\\GONE", "\\\\GONE\\Old", "", "", "", platform::kPrinterAttributeNetwork),
       "OpenPrinter",
       platform::Status::Error(1801, "OpenPrinter: The printer name is invalid.")},
  };
  client.defaultPrinter.name = "\\\\OLDSRV\\HP4";
  client.drivers.drivers = {
      {3, "HP LaserJet 4 PCL6", "Windows x64", "C:\\drivers\\HPCU250U.DLL",
       "C:\\drivers\\HPCU250U.GPD", "C:\\drivers\\UNIDRVUI.DLL"},
      {0, "Generic / Text Only", "", "", "", ""},
  };
  client.ports.ports = {"LPT1:", "USB001", "IP_10.1.2.40"};
  client.servers["OLDSRV"] = Queues({"HP4"});
  platform::QueueListing newQueues = Queues({"HP4", "Plotter"});
  newQueues.queues[1].comment = "Plan room";
  newQueues.queues[1].location = "Room 108";
  client.servers["NEWSRV"] = newQueues;

  const std::string path = folder / "client.json";
  const Output written =
      Snap(client, {"--server", "OLDSRV", "-o", path, "--server", "NEWSRV", "--server", "oldsrv"});
  // The unreadable printer makes the snapshot incomplete, and says so.
  EXPECT_EQ(written.code, 1) << written.err;
  EXPECT_EQ(written.out, "");
  EXPECT_NE(written.err.find("warning: printer \\\\GONE\\Old cannot be read: OpenPrinter: The "
                             "printer name is invalid. (error 1801)"),
            std::string::npos)
      << written.err;
  EXPECT_EQ(client.serversAsked, (std::vector<std::string>{"OLDSRV", "NEWSRV"}));

  // Standard output gets the same text.
  client.serversAsked.clear();
  const Output printed = Snap(client, {"--server", "OLDSRV", "--server", "NEWSRV"});
  EXPECT_EQ(printed.code, 1);
  EXPECT_EQ(printed.out, ReadAll(path));

  const platform::sim::LoadResult loaded = platform::sim::LoadClient(path);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const platform::sim::SimClientState& state = loaded.state;
  EXPECT_EQ(state.computerName, std::optional<std::optional<std::string>>("PC042"));
  EXPECT_EQ(state.dnsFullName, std::optional<std::optional<std::string>>("pc042.corp.example"));
  EXPECT_EQ(state.userName, std::optional<std::string>("alice"));
  ASSERT_TRUE(state.os.has_value());
  EXPECT_EQ(state.os->platformId, 2);
  EXPECT_EQ(state.os->majorVersion, 6);
  EXPECT_EQ(state.os->error, 0u);
  EXPECT_EQ(state.profileFolder, std::optional<std::string>(folder / "profile"));
  EXPECT_FALSE(state.systemFolder.has_value()) << "a run on the snapshot must not reach System32";

  ASSERT_EQ(state.printers.size(), 3u);
  const auto& hp = state.printers[0];
  EXPECT_EQ(hp.name, "\\\\OLDSRV\\HP4");
  EXPECT_EQ(hp.serverName, "\\\\OLDSRV");
  EXPECT_EQ(hp.shareName, "HP4");
  EXPECT_EQ(hp.portName, "IP_10.1.2.40");
  EXPECT_EQ(hp.driverName, "HP LaserJet 4 PCL6");
  EXPECT_EQ(hp.comment, "Second floor");
  EXPECT_EQ(hp.location, "Room 214");
  EXPECT_EQ(hp.attributes, platform::kPrinterAttributeNetwork);
  const auto& local = state.printers[1];
  EXPECT_EQ(local.name, "B\xc3\xbcro Laser");
  EXPECT_EQ(local.serverName, "");
  EXPECT_EQ(local.shareName, "BUERO");
  EXPECT_EQ(local.portName, "USB001");
  EXPECT_EQ(local.comment, "Front");
  EXPECT_EQ(local.location, "Reception");
  EXPECT_EQ(local.attributes, platform::kPrinterAttributeLocal | platform::kPrinterAttributeShared);
  EXPECT_EQ(state.printers[2].name, "\\\\GONE\\Old");
  ASSERT_EQ(state.failures.size(), 1u);
  EXPECT_EQ(state.failures[0].call, "OpenPrinter");
  EXPECT_EQ(state.failures[0].name, std::optional<std::string>("\\\\GONE\\Old"));
  EXPECT_EQ(state.failures[0].error, 1801u);
  EXPECT_EQ(state.defaultPrinter, std::optional<std::string>("\\\\OLDSRV\\HP4"));

  ASSERT_EQ(state.printServers.size(), 2u);
  EXPECT_EQ(state.printServers[0].first, "OLDSRV");
  ASSERT_EQ(state.printServers[0].second.size(), 1u);
  EXPECT_EQ(state.printServers[1].first, "NEWSRV");
  ASSERT_EQ(state.printServers[1].second.size(), 2u);
  const auto& plotter = state.printServers[1].second[1];
  EXPECT_EQ(plotter.shareName, "Plotter");
  EXPECT_EQ(plotter.driverName, "HP Universal");
  EXPECT_EQ(plotter.portName, "IP_Plotter");
  EXPECT_EQ(plotter.comment, "Plan room");
  EXPECT_EQ(plotter.location, "Room 108");

  ASSERT_EQ(state.drivers.size(), 2u);
  const auto& driver = state.drivers[0];
  EXPECT_EQ(driver.name, "HP LaserJet 4 PCL6");
  EXPECT_EQ(driver.environment, "Windows x64");
  EXPECT_EQ(driver.version, 3u);
  EXPECT_EQ(driver.driverPath, "C:\\drivers\\HPCU250U.DLL");
  EXPECT_EQ(driver.dataFile, "C:\\drivers\\HPCU250U.GPD");
  EXPECT_EQ(driver.configFile, "C:\\drivers\\UNIDRVUI.DLL");
  EXPECT_FALSE(driver.bareName);
  EXPECT_EQ(state.drivers[1].name, "Generic / Text Only");
  EXPECT_TRUE(state.drivers[1].bareName);
  EXPECT_EQ(state.ports, (std::vector<std::string>{"LPT1:", "USB001", "IP_10.1.2.40"}));
  // Nothing the client did not show: no recorded calls, boxes or events.
  EXPECT_TRUE(state.spoolerCalls.empty());
  EXPECT_TRUE(state.registry.empty());
  EXPECT_FALSE(state.directory.has_value());
  // Saved again by the engine, the file stays what it was.
  EXPECT_EQ(platform::sim::SerializeClient(state), ReadAll(path));

  // A client without printers, default or name: the keys are there, empty.
  ScriptedClient bare;
  bare.facts.computerName = std::nullopt;
  const Output empty = Snap(bare, {});
  EXPECT_EQ(empty.code, 0) << empty.err;
  const platform::sim::LoadResult emptyLoaded = platform::sim::ParseClient(empty.out, "stdout");
  ASSERT_TRUE(emptyLoaded.ok) << emptyLoaded.error;
  // Present and null: the name could not be had, not "take the host's".
  EXPECT_EQ(emptyLoaded.state.computerName,
            std::make_optional(std::optional<std::string>()));
  EXPECT_EQ(emptyLoaded.state.defaultPrinter, std::optional<std::string>(""));
  EXPECT_FALSE(emptyLoaded.state.os.has_value());
  EXPECT_NE(empty.out.find("\"printers\": []"), std::string::npos) << empty.out;
  EXPECT_EQ(empty.out.find("printServers"), std::string::npos) << "no server was asked for";
}

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

TEST(QuillonSnapshotTest, ArgumentsFailuresAndProgress) {
  TempFolder folder;
  ScriptedClient client;
  client.facts.computerName = "PC042";

  const Output help = Snap(client, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillon snapshot", 0), 0u) << help.out;
  {
    platform::HostFileSystem files;
    std::ostringstream out, err;
    EXPECT_EQ(RunQuillon({"--help"}, files, out, err), 0);
    EXPECT_NE(out.str().find("  snapshot "), std::string::npos) << out.str();
  }

  struct Bad {
    std::vector<std::string> args;
    const char* message;
  };
  for (const Bad& bad : std::vector<Bad>{
           {{"--json"}, "unknown option '--json'"},
           {{"client.json"}, "unexpected argument 'client.json'"},
           {{"--servers-of"}, "--servers-of needs a document"},
           {{"--server", ""}, "--server needs a server name"},
           {{"-o", "a.json", "--output", "b.json"}, "--output is given twice"},
           {{"--servers-of", "a.ini", "--servers-of", "b.ini"}, "--servers-of is given twice"},
       }) {
    const Output refused = Snap(client, bad.args);
    EXPECT_EQ(refused.code, 2) << bad.message;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, std::string("quillon snapshot: ") + bad.message +
                               "\nRun 'quillon snapshot --help' for usage.\n");
  }

  const std::string output = folder / "client.json";
  const Output missing = Snap(client, {"--servers-of", folder / "none.ini", "-o", output});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err, "quillon snapshot: " + (folder / "none.ini") + ": cannot be read\n");
  EXPECT_FALSE(fs::exists(output));

  // A document the engine would refuse still names its servers.
  const std::string refusedDocument = folder / "refused.ini";
  std::ofstream(refusedDocument) << "[MANUAL DEFINITIONS SERVERS]\r\nFromServers=OLDSRV\r\n";
  client.servers["OLDSRV"] = Queues({"HP4"});
  const Output refused = Snap(client, {"--servers-of", refusedDocument, "-o", output});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("the engine would refuse this document"), std::string::npos)
      << refused.err;
  EXPECT_EQ(client.serversAsked, std::vector<std::string>{"OLDSRV"});
  EXPECT_TRUE(fs::exists(output));

  // An output that cannot be written, and printers that cannot be listed:
  // nothing is written, and an earlier file stays as it was.
  const std::string before = ReadAll(output);
  const Output unwritable = Snap(client, {"-o", folder / "client.json/inside.json"});
  EXPECT_EQ(unwritable.code, 2);
  EXPECT_NE(unwritable.err.find("cannot be written"), std::string::npos) << unwritable.err;
  ScriptedClient broken;
  broken.printers.status = platform::Status::Error(1722, "EnumPrinters: The RPC server is unavailable.");
  const Output unlisted = Snap(broken, {"-o", output});
  EXPECT_EQ(unlisted.code, 2);
  EXPECT_EQ(unlisted.err,
            "quillon snapshot: the user's printers cannot be listed: EnumPrinters: The RPC "
            "server is unavailable. (error 1722); nothing written\n");
  EXPECT_EQ(ReadAll(output), before);

  // A quick run shows no progress; a slow one shows the step it waits on, and
  // every later step at once.
  const Output quick = Snap(client, {"--server", "OLDSRV"});
  EXPECT_EQ(quick.code, 0);
  EXPECT_EQ(quick.err, "");
  client.serverDelay = std::chrono::milliseconds(400);
  const Output slow =
      Snap(client, {"--server", "OLDSRV", "--server", "NEWSRV"}, std::chrono::milliseconds(150));
  EXPECT_EQ(slow.code, 1);
  EXPECT_EQ(slow.err,
            "quillon snapshot: reading print server OLDSRV (1 of 2)\n"
            "quillon snapshot: reading print server NEWSRV (2 of 2)\n"
            "quillon snapshot: reading the installed drivers\n"
            "quillon snapshot: reading the ports\n"
            "quillon snapshot: warning: print server NEWSRV cannot be read: EnumPrinters: The "
            "RPC server is unavailable. (error 1722); left out, so that connecting to it fails "
            "on the snapshot too\n");
}

}  // namespace
}  // namespace quillon::tools
