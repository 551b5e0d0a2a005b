// `quillon snapshot` over a scripted client: the servers a document names,
// every field through the client file and back, and the command's arguments,
// failures and progress.
#include "tools/quillon/snapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/profile_file.h"
#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/snapshot_test_support.h"

namespace quillon::tools {
namespace {

using namespace snapshot_tests;

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
