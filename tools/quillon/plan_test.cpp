// Tests of `quillon plan`: every channel of a run shown while nothing is
// touched, the failures and the drivers the run would meet.
#include "tools/quillon/plan.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "document/profile_file.h"
#include "engine/core/run_context.h"
#include "engine/migration/driver_staging.h"
#include "testing/memory_file_system.h"
#include "tools/quillon/plan_test_support.h"

namespace quillon::tools {
namespace {

using namespace plan_tests;
using plan_tests::Plan;  // the command, over the struct of plan.h

TEST(QuillonPlanTest, ShowsEveryChannelOfTheRunAndTouchesNothing) {
  const std::string doc = platform::JoinPath("share", "moves.ini");
  const std::string clientFile = platform::JoinPath("clients", "pc7.json");
  const std::string reports = platform::JoinPath("share", "reports");
  platform::MemoryFileSystem files;
  files.files[doc] = CompleteDocument({{"UseSMTP=", "UseSMTP=True"},
                                       {"SMTPServerNameOrIP=", "SMTPServerNameOrIP=mail.example"},
                                       {"EmailSubject=", "EmailSubject=Printer moves"},
                                       {"EmailTo=", "EmailTo=it@example,desk@example"},
                                       {"EmailFrom=", "EmailFrom=quillon@example"},
                                       {"UseFileOutput=", "UseFileOutput=True"},
                                       {"FileOutputPath=", "FileOutputPath=" + reports},
                                       {"FileOutputName=", "FileOutputName=moves.txt"},
                                       {"IncludeComputerName=", "IncludeComputerName=True"},
                                       {"IncludeOutcome=", "IncludeOutcome=True"},
                                       {"WriteToEventLog=", "WriteToEventLog=True"},
                                       {"UseClientPopup=", "UseClientPopup=True"},
                                       {"UseSuccessClientPopup=", "UseSuccessClientPopup=True"},
                                       {"SuccessMessage=", "SuccessMessage=Moved^CRLFThanks"},
                                       {"UseFailureClientPopup=", "UseFailureClientPopup=True"},
                                       {"FailureMessage=", "FailureMessage=Call the desk"}});
  // A local printer from a driver on the share, on a port the client has.
  document::ProfileFile withLocal = document::ProfileFile::Parse(files.files[doc]);
  withLocal.SetValue("POPULATE", "ServerNames", ".");
  withLocal.SetValue("POPULATE", "PrinterNames", "Lobby");
  withLocal.SetValue("PRINTER_DRIVER", "PrinterName", "Lobby");
  withLocal.SetValue("PRINTER_DRIVER", "DriverName", "Lobby Driver");
  withLocal.SetValue("PRINTER_DRIVER", "DriverFileName", "lobby.dll");
  withLocal.SetValue("PRINTER_DRIVER", "PortName", "LPT1:");
  withLocal.SetValue("PRINTER_DRIVER", "DriverSharePath", platform::JoinPath("share", "drivers"));
  files.files[doc] = withLocal.Serialize();
  files.files[platform::JoinPath(platform::JoinPath("share", "drivers"), "lobby.dll")] = "MZ";
  files.files[clientFile] = sim::SerializeClient(Client(/*withC=*/true));
  // The deployment folder (the engine's own, for its debug file) and the
  // report folder are there; the client's folders the run creates itself.
  files.folders = {"share", reports};
  const auto before = files.files;
  RecordingClock clock;

  // C is not on NEWSRV: A moves, B's connection fails, so the run fails.
  sim::SimClientState client = Client(true);
  client.failures.push_back({"AddPrinterConnection", "\\\\NEWSRV\\B", 1722, {}});
  files.files[clientFile] = sim::SerializeClient(client);
  const auto withFailure = files.files;
  const std::string alias = "\\\\FS1\\Deploy\\moves.ini";
  Output json = Plan(files, clock, {"--client", clientFile, "--as", alias, "--json", "--debug", doc});
  ASSERT_EQ(json.code, 1) << json.err;
  const Json plan = Json::parse(json.out);
  EXPECT_EQ(plan["outcome"], "failure");
  EXPECT_EQ(Strings(plan["connectionsAdded"]), std::vector<std::string>{"\\\\NEWSRV\\A"});
  EXPECT_EQ(Strings(plan["connectionsRemoved"]), std::vector<std::string>{"\\\\OLDSRV\\A"});
  EXPECT_EQ(plan["defaultBefore"], "\\\\OLDSRV\\B");
  EXPECT_EQ(plan["defaultAfter"], "\\\\OLDSRV\\B");
  ASSERT_EQ(plan["localPrintersInstalled"].size(), 1u);
  EXPECT_EQ(plan["localPrintersInstalled"][0]["name"], "Lobby");
  EXPECT_EQ(plan["localPrintersInstalled"][0]["port"], "LPT1:");
  ASSERT_EQ(plan["driversInstalled"].size(), 1u);
  EXPECT_EQ(plan["driversInstalled"][0]["name"], "Lobby Driver");
  // The run-once store keys the outcome by the name the clients use.
  EXPECT_EQ(plan["storedOutcome"], false);
  EXPECT_NE(plan["storedIn"].get<std::string>().find("Quillon_status.log"), std::string::npos);
  ASSERT_EQ(plan["mails"].size(), 1u);
  EXPECT_EQ(plan["mails"][0]["server"], "mail.example");
  EXPECT_EQ(Strings(plan["mails"][0]["to"]),
            (std::vector<std::string>{"it@example", "desk@example"}));
  EXPECT_EQ(plan["mails"][0]["subject"], "Computer (PC7-carol) Printer moves");
  bool outputFile = false, statusKeyed = false, driverCopied = false;
  for (const Json& file : plan["files"]) {
    const std::string path = file["path"];
    driverCopied |= path == platform::JoinPath(platform::JoinPath("clients", "system32"),
                                               "lobby.dll");
    // Failed printer operations are stored as a failure, and every channel says so.
    outputFile |= path == platform::JoinPath(reports, "PC7_carol_FAILED_moves.txt");
    statusKeyed |= path.find("Quillon_status.log") != std::string::npos;
  }
  EXPECT_TRUE(outputFile) << plan["files"].dump();
  EXPECT_TRUE(statusKeyed);
  // NT's spooler takes the driver from the share itself: nothing is copied
  // into the system folder.
  EXPECT_FALSE(driverCopied) << plan["files"].dump();
  ASSERT_EQ(plan["popups"].size(), 1u);
  EXPECT_EQ(plan["popups"][0]["text"], "Call the desk");
  ASSERT_EQ(plan["events"].size(), 1u);
  EXPECT_EQ(plan["events"][0]["type"], "Warning");
  const std::string report = plan["report"];
  EXPECT_NE(report.find("Migrating: \\\\OLDSRV\\A to \\\\NEWSRV\\A"), std::string::npos) << report;
  EXPECT_NE(report.find("\\\\NEWSRV\\B"), std::string::npos);
  EXPECT_NE(plan["debug"].get<std::string>().find("BEGIN DEBUG"), std::string::npos);
  // Nothing was written anywhere: not the client, not a report, not a status.
  EXPECT_EQ(files.writes, 0);
  EXPECT_EQ(files.files, withFailure);

  // The same plan as text: the lines an administrator reads first.
  Output text = Plan(files, clock, {"--client", clientFile, doc});
  EXPECT_EQ(text.code, 1);
  EXPECT_NE(text.out.find("The run would FAIL: printer operations fail."), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Connections added (1):\n  \\\\NEWSRV\\A\n"), std::string::npos);
  EXPECT_NE(text.out.find("Default printer: \\\\OLDSRV\\B (unchanged)\n"), std::string::npos);
  EXPECT_NE(text.out.find("e-mail from quillon@example to it@example, desk@example through "
                          "mail.example:25"),
            std::string::npos);
  EXPECT_NE(text.out.find("Outcome stored: failure (False in "), std::string::npos);

  // An older system keeps the outcome in the registry, under the client's name
  // of the document; a successful run moves the default with B.
  files.files = before;
  sim::SimClientState old = Client(false);
  old.os->majorVersion = 4;  // NT 4.0
  files.files[clientFile] = sim::SerializeClient(old);
  Output registry = Plan(files, clock, {"--client", clientFile, "--as", alias, "--json", doc});
  ASSERT_EQ(registry.code, 0) << registry.out;
  const Json oldPlan = Json::parse(registry.out);
  EXPECT_EQ(oldPlan["outcome"], "success");
  EXPECT_EQ(oldPlan["defaultAfter"], "\\\\NEWSRV\\B");
  EXPECT_EQ(oldPlan["storedOutcome"], true);
  EXPECT_EQ(oldPlan["storedIn"], "HKEY_CURRENT_USER\\Software\\Quillon\\" + alias +
                                     "\\carol (SUCCESS)");
  EXPECT_EQ(files.writes, 0);
  // A status the registry refuses is no "already succeeded".
  old.failures.push_back({"RegSetValueEx", std::nullopt, 5, {}});
  files.files[clientFile] = sim::SerializeClient(old);
  const Json refused = Json::parse(
      Plan(files, clock, {"--client", clientFile, "--as", alias, "--json", doc}).out);
  EXPECT_EQ(refused["outcome"], "success");
  EXPECT_EQ(refused["storedOutcome"], nullptr);

  // Bad arguments and unreadable input: exit 2 and a reason, nothing run.
  files.files["broken.json"] = "{\"printers\": 7}";
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{doc}, "give --client FILE"},
      {{"--client"}, "--client needs a value"},
      {{"--client", clientFile, "--frobnicate", doc}, "unknown option '--frobnicate'"},
      {{"--client", clientFile}, "no document given"},
      {{"--client", clientFile, doc, doc}, "one document at a time"},
      {{"--client", clientFile, "missing.ini"}, "missing.ini: cannot be read"},
      {{"--client", "missing.json", doc}, "missing.json: cannot be read"},
      {{"--client", "broken.json", doc}, "broken.json"},
  };
  for (const auto& [args, message] : bad) {
    Output refused = Plan(files, clock, args);
    EXPECT_EQ(refused.code, 2) << message;
    EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_EQ(Plan(files, clock, {"--help"}).code, 0);
}

// Writes fail where the host's would, the folder missing: the plan shows
// the engine's own reaction, and every refusal with the host's error.
TEST(QuillonPlanTest, DryRunFilesFailWhereTheFolderIsMissing) {
  platform::MemoryFileSystem host;
  host.folders = {"share"};
  DryRunFileSystem files(host);
  const std::string missing = platform::JoinPath("nowhere", "out.txt");
  EXPECT_EQ(files.AppendToFile(platform::JoinPath("share", "a.txt"), "x").ok, true);
  const platform::Status appended = files.AppendToFile(missing, "x");
  EXPECT_FALSE(appended.ok);
  EXPECT_EQ(appended.errorNumber, static_cast<std::uint32_t>(ENOENT));
  EXPECT_NE(appended.description.find("Opening " + missing + ": "), std::string::npos);
  platform::Status opened;
  EXPECT_EQ(files.OpenForWriting(missing, &opened), nullptr);
  EXPECT_FALSE(opened.ok);
  EXPECT_FALSE(files.WriteFileAtomic(missing, "x").ok);
  EXPECT_FALSE(files.CopyFile(platform::JoinPath("share", "a.txt"), missing).ok);
  platform::Status locked;
  bool busy = true;
  EXPECT_EQ(files.TryLockFile(missing + ".lock", &locked, &busy), nullptr);
  EXPECT_FALSE(locked.ok);
  EXPECT_FALSE(busy);
#ifdef _WIN32
  // The calls straight to Windows give its path error.
  EXPECT_EQ(locked.errorNumber, 3u);
  EXPECT_NE(locked.description.find("The system cannot find the path specified."),
            std::string::npos);
#else
  EXPECT_EQ(locked.errorNumber, static_cast<std::uint32_t>(ENOENT));
#endif
  EXPECT_FALSE(files.FileExists(missing));
  EXPECT_EQ(files.RefusedFiles().size(), 5u);
  // A folder the run creates takes files, and so do the folders above it.
  const std::string deep = platform::JoinPath(platform::JoinPath("nowhere", "a"), "b");
  ASSERT_TRUE(files.CreateFolders(deep).ok);
  EXPECT_TRUE(files.FolderExists("nowhere"));
  EXPECT_FALSE(files.FolderExists("now"));
  EXPECT_TRUE(files.AppendToFile(missing, "y").ok);
  EXPECT_TRUE(files.WriteFileAtomic(platform::JoinPath(deep, "c.txt"), "z").ok);
  EXPECT_FALSE(files.AppendToFile(platform::JoinPath("now", "d.txt"), "z").ok);
  ASSERT_EQ(files.WrittenFiles().size(), 3u);
  EXPECT_EQ(files.WrittenFiles()[1].path, missing);
  EXPECT_EQ(host.writes, 0);
}

// A restricted client whose moves need drivers it lacks: the plan names them
// and the staging run; the staging plan installs them and changes nothing;
// after the real staging run the next plan moves every connection.
TEST(QuillonPlanTest, DriversAMoveNeedsAreNamedAndAStagingRunInstallsThem) {
  const std::string doc = platform::JoinPath("share", "moves.ini");
  const std::string clientFile = platform::JoinPath("clients", "pc7.json");
  platform::MemoryFileSystem files;
  files.folders = {"share"};
  files.files[doc] = CompleteDocument();
  sim::SimClientState client = Client(false);
  for (auto& [server, queues] : client.printServers) {
    if (server != "NEWSRV") continue;
    queues[0].driverName = "Color Drv";  // older here
    queues[0].driverVersion = "7.1.0.0";
    queues[1].driverName = "Mono Drv";  // not here at all
    queues[1].driverVersion = "2.0.0.0";
  }
  sim::SimDriver color;
  color.name = "Color Drv";
  color.environment = "Windows x64";
  color.version = 3;
  color.driverVersion = "6.0.0.0";
  client.drivers.push_back(color);
  client.pointAndPrint = sim::SimPointAndPrint{true};
  client.elevated = false;
  files.files[clientFile] = sim::SerializeClient(client);
  const auto before = files.files;
  RecordingClock clock;

  Output planned = Plan(files, clock, {"--client", clientFile, "--json", doc});
  EXPECT_EQ(planned.code, 1) << planned.err;
  Json json = Json::parse(planned.out);
  EXPECT_EQ(json["run"], "logon");
  EXPECT_TRUE(Strings(json["connectionsAdded"]).empty()) << "the moves stay on the old server";
  ASSERT_EQ(json["driversNeeded"].size(), 2u) << json["driversNeeded"].dump();
  EXPECT_EQ(json["driversNeeded"][0],
            Json::parse(R"({"connection": "\\\\NEWSRV\\A", "driver": "Color Drv",
                            "server": "\\\\NEWSRV", "version": "7.1.0.0", "installed": "6.0.0.0",
                            "error": 3019, "stagingInstalls": true})"));
  EXPECT_EQ(json["driversNeeded"][1]["driver"], "Mono Drv");
  EXPECT_EQ(json["driversNeeded"][1]["installed"], nullptr);
  EXPECT_EQ(json["driversNeeded"][1]["stagingInstalls"], true);
  planned = Plan(files, clock, {"--client", clientFile, doc});
  EXPECT_NE(planned.out.find("Moves that fail for want of a driver (2):\n"
                             "  \\\\NEWSRV\\A: driver Color Drv 7.1.0.0 from \\\\NEWSRV (here: "
                             "6.0.0.0), error 3019\n"
                             "  \\\\NEWSRV\\B: driver Mono Drv 2.0.0.0 from \\\\NEWSRV (here: "
                             "none), error 3019\n"
                             "  A staging run installs these drivers before the users log on"),
            std::string::npos)
      << planned.out;
  EXPECT_NE(planned.out.find("moves.ini-StageDrivers.bat"), std::string::npos) << planned.out;

  // The staging run's plan: as the system account, nothing written.
  Output staging = Plan(files, clock, {"--stage-drivers", "--client", clientFile, doc});
  EXPECT_EQ(staging.code, 0) << staging.out << staging.err;
  EXPECT_NE(staging.out.find("Every driver the moves need would be installed afterwards.\n\n"
                             "Drivers installed (1):\n  Mono Drv (Windows x64) 2.0.0.0\n"
                             "Drivers updated (1):\n  Color Drv (Windows x64) 6.0.0.0 -> 7.1.0.0\n"),
            std::string::npos)
      << staging.out;
  EXPECT_NE(staging.out.find("| Installed driver Color Drv 7.1.0.0 from \\\\NEWSRV (was 6.0.0.0)"),
            std::string::npos)
      << staging.out;
  EXPECT_EQ(staging.out.find("Outcome stored"), std::string::npos) << "a staging run keeps none";
  json = Json::parse(Plan(files, clock, {"--stage-drivers", "--json", "--client", clientFile, doc}).out);
  EXPECT_EQ(json["run"], "staging");
  EXPECT_EQ(json["outcome"], "success");
  EXPECT_EQ(files.files, before) << "the plan changes no file";

  // A staging plan that cannot install everything says so and fails.
  sim::SimClientState stuck = client;
  stuck.failures.push_back({"InstallDriverFromServer", std::nullopt, 1722, {}});
  files.files[clientFile] = sim::SerializeClient(stuck);
  staging = Plan(files, clock, {"--stage-drivers", "--client", clientFile, doc});
  EXPECT_EQ(staging.code, 1);
  EXPECT_NE(staging.out.find("Some driver the moves need would still be MISSING afterwards"),
            std::string::npos)
      << staging.out;
  files.files[clientFile] = before.at(clientFile);

  // The real staging run at start-up, then the users' logon runs as before.
  sim::LoadResult loaded = sim::ParseClient(files.files[clientFile], clientFile);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  sim::SimClientState state = std::move(loaded.state);
  state.elevated = true;
  {
    sim::SimHost host;
    host.clientPath = clientFile;
    host.programFolder = "share";
    host.echoMessageBoxes = false;
    sim::SimPlatform simulated(state, host, files, clock);
    platform::Platform services = simulated.AsPlatform();
    engine::RunContext context(services);
    EXPECT_EQ(engine::RunStagingEngine(context, doc), 0) << context.RunMessage;
  }
  state.elevated = false;
  files.files[clientFile] = sim::SerializeClient(state);

  json = Json::parse(Plan(files, clock, {"--client", clientFile, "--json", doc}).out);
  EXPECT_EQ(json["outcome"], "success");
  EXPECT_TRUE(json["driversNeeded"].empty()) << json["driversNeeded"].dump();
  EXPECT_EQ(Strings(json["connectionsAdded"]),
            (std::vector<std::string>{"\\\\NEWSRV\\A", "\\\\NEWSRV\\B"}));
  EXPECT_TRUE(json["driversInstalled"].empty()) << "nothing left to fetch at logon";
}

TEST(QuillonPlanTest, ShowsTheFailuresTheEngineWouldMeet) {
  const std::string doc = platform::JoinPath("share", "moves.ini");
  const std::string clientFile = platform::JoinPath("clients", "pc7.json");
  const std::string reports = platform::JoinPath("share", "no-such-reports");
  platform::MemoryFileSystem files;
  files.folders = {"share"};
  files.files[clientFile] = sim::SerializeClient(Client(false));
  RecordingClock clock;
  auto document = [&](const std::string& port) {
    return CompleteDocument({{"UseSMTP=", "UseSMTP=True"},
                             {"SMTPServerNameOrIP=", "SMTPServerNameOrIP=mail.example"},
                             {"ServerPort=25", "ServerPort=" + port},
                             {"EmailTo=", "EmailTo=it@example"},
                             {"EmailFrom=", "EmailFrom=quillon@example"},
                             {"UseFileOutput=", "UseFileOutput=True"},
                             {"FileOutputPath=", "FileOutputPath=" + reports},
                             {"FileOutputName=", "FileOutputName=moves.txt"}});
  };
  for (const std::string port : {"99999999999999999999999", "0", "25"}) {
    SCOPED_TRACE(port);
    files.files[doc] = document(port);
    ASSERT_NE(files.files[doc].find("ServerPort=" + port + "\r\n"), std::string::npos);
    Output json = Plan(files, clock, {"--client", clientFile, "--json", "--debug", doc});
    ASSERT_EQ(json.code, 0) << json.err;
    const Json plan = Json::parse(json.out);
    const std::string debug = plan["debug"];

    // The report file is not written: its folder is missing.
    for (const Json& file : plan["files"]) {
      EXPECT_EQ(file["path"].get<std::string>().find(reports), std::string::npos) << file;
    }
    ASSERT_EQ(plan["filesNotWritten"].size(), 1u) << plan["filesNotWritten"].dump();
    EXPECT_EQ(plan["filesNotWritten"][0]["path"], platform::JoinPath(reports, "moves.txt"));
    EXPECT_EQ(plan["filesNotWritten"][0]["error"], ENOENT);
    EXPECT_NE(debug.find("ERROR: Saving notification output file"), std::string::npos) << debug;

    // The port as the host's loop reads it: no server sees a connect the
    // host would fail, and the plan shows the host's own failure.
    const platform::net::PortReading reading =
        platform::net::ReadPortAsHost("mail.example", port);
    if (port == "25") {
      EXPECT_EQ(plan["mails"].size(), 1u);
      EXPECT_EQ(plan["mailsFailed"].size(), 0u);
      continue;
    }
    EXPECT_EQ(plan["mails"].size(), 0u);
    ASSERT_EQ(plan["mailsFailed"].size(), 1u);
    EXPECT_NE(reading.error, 0u);
    EXPECT_EQ(plan["mailsFailed"][0]["error"], reading.error);
    EXPECT_EQ(plan["mailsFailed"][0]["description"], reading.description);
    EXPECT_NE(debug.find("ERROR: Sending SMTP email"), std::string::npos) << debug;
    EXPECT_NE(debug.find(reading.description), std::string::npos) << debug;

    Output text = Plan(files, clock, {"--client", clientFile, doc});
    EXPECT_NE(text.out.find("e-mail through mail.example:" + port +
                            " FAILS before any server is reached: error " +
                            std::to_string(reading.error)),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("Files that could not be written (1):\n  " +
                            platform::JoinPath(reports, "moves.txt") + " (error " +
                            std::to_string(ENOENT) + ": Opening "),
              std::string::npos)
        << text.out;
  }
  EXPECT_EQ(files.writes, 0);
}

}  // namespace
}  // namespace quillon::tools
