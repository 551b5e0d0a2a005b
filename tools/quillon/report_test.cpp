// Tests of `quillon report`: a share filled by real engine runs (output files,
// an e-mail back-up, debug files) and by damaged files, read back into totals
// and each user's last run; the client's date forms; the command's arguments,
// output forms and progress.
#include "tools/quillon/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "engine/core/debug_log.h"
#include "engine/core/engine_test_support.h"
#include "engine/core/targeting.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/host_file_system.h"
#include "platform/memory_file_system.h"
#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

namespace fs = std::filesystem;
using engine::testing::CompleteDocument;
using engine::testing::EngineWorld;
using nlohmann::json;

struct Output {
  int code;
  std::string out;
  std::string err;
};

Output RunReport(platform::FileSystem& files, const std::vector<std::string>& args,
                 const ReportHost& host = {}) {
  std::ostringstream out, err;
  const int code = Report(args, files, host, out, err);
  return {code, out.str(), err.str()};
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The last outcome the engine stored in a world's status file.
std::string StoredOutcome(const EngineWorld& world) {
  const std::string status = ReadBytes(platform::JoinPath(world.ProfileFolder(), "Quillon_status.log"));
  const std::size_t comma = status.rfind(',');
  return comma == std::string::npos ? "" : status.substr(comma + 1, status.find('\r', comma) - comma - 1);
}

// One client whose engine runs from the share, as at logon: its debug file
// and e-mail back-ups land in the share beside the engine.
struct Client {
  Client(const std::string& share, const std::string& computer, const std::string& user) {
    world.host.programFolder = share;
    world.state.computerName = std::optional<std::string>(computer);
    world.state.userName = user;
    world.AddQueue("NEWSRV", "HP4");
    world.AddQueue("NEWSRV", "HP5");
  }
  // A connection the user has, the first one the default printer.
  void Connect(const std::string& server, const std::string& share) {
    if (!world.state.defaultPrinter) world.state.defaultPrinter = "\\\\" + server + "\\" + share;
    world.AddConnection(server, share);
  }
  void Run(const std::string& document, platform::LocalTime at) {
    world.clock.now = at;
    world.WriteFile(world.Path("doc.ini"), document);
    world.Run(world.Path("doc.ini"));
  }
  EngineWorld world;
};

std::string OutputDocument(const std::string& folder, const std::string& name, bool perUser,
                           std::vector<std::pair<std::string, std::string>> more = {}) {
  more.insert(more.end(), {{"UseFileOutput=", "UseFileOutput=True"},
                           {"FileOutputPath=", "FileOutputPath=" + folder},
                           {"FileOutputName=", "FileOutputName=" + name},
                           {"IncludeComputerName=", perUser ? "IncludeComputerName=True"
                                                            : "IncludeComputerName=False"},
                           {"IncludeOutcome=", perUser ? "IncludeOutcome=True" : "IncludeOutcome=False"}});
  return CompleteDocument(more);
}

// The entry of a user, or with `computer` of the computer whose user no file named.
const json* UserNamed(const json& report, const std::string& user, const std::string& computer = "") {
  for (const json& entry : report["users"]) {
    if (computer.empty() ? entry["user"] == user : entry["computer"] == computer && entry["user"].is_null()) {
      return &entry;
    }
  }
  return nullptr;
}

TEST(QuillonReportTest, EngineRunsAndDamagedFilesFoldIntoTotalsAndEachUsersLastRun) {
  EngineWorld scratch;  // only for its temporary folder
  const std::string share = platform::JoinPath(scratch.ProgramFolder(), "share");
  const std::string reports = platform::JoinPath(share, "reports");
  fs::create_directories(reports);
  const std::string perUser = OutputDocument(reports, "moves.txt", true);

  // Two connections moved, then the run-once guard.
  Client alice(share, "PC001", "alice");
  alice.Connect("OLDSRV", "HP4");
  alice.Connect("OLDSRV", "HP5");
  alice.Run(perUser, {2026, 12, 1, 8, 55, 0});
  alice.Run(perUser, {2026, 12, 2, 9, 5, 0});
  // The new server lacks the queue: a failed move, stored and named as a
  // failure, so it runs again the next day.
  Client bob(share, "PC002", "bob");
  bob.Connect("OLDSRV", "HP6");
  bob.Run(perUser, {2026, 12, 1, 9, 10, 0});
  bob.Run(perUser, {2026, 12, 2, 9, 12, 0});
  // One file for every user, and mail that no server takes: the run is in the
  // shared file and in an e-mail back-up beside the engine.
  Client carol(share, "PC003", "carol");
  carol.Connect("OLDSRV", "HP4");
  carol.Run(OutputDocument(reports, "site.txt", false,
                           {{"UseSMTP=", "UseSMTP=True"},
                            {"SMTPServerNameOrIP=", "SMTPServerNameOrIP=127.0.0.1"},
                            {"ServerPort=", "ServerPort=1"},
                            {"EmailTo=", "EmailTo=ops@corp.example"},
                            {"EmailFrom=", "EmailFrom=quillon@corp.example"}}),
            {2026, 12, 2, 10, 0, 0});
  // No output file at all, and a directory that does not answer: the debug
  // file alone tells of this run.
  Client dave(share, "PC004", "dave");
  dave.Connect("OLDSRV", "HP4");
  dave.world.Publish("other.example", "NEWSRV-HP4", {"HP4"});
  dave.Run(CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                             {"DomainName=", "DomainName=corp.example"}}),
           {2026, 12, 3, 7, 0, 0});
  // A file cut inside its second report, and one where a crash left zeros
  // between two reports (more than any line holds).
  Client hank(share, "PC008", "hank");
  hank.Connect("OLDSRV", "HP4");
  hank.Run(perUser, {2026, 12, 3, 9, 0, 0});
  hank.Run(perUser, {2026, 12, 4, 9, 0, 0});
  const std::string hankFile = platform::JoinPath(reports, "PC008_hank_SUCCESS_moves.txt");
  std::string hankBytes = ReadBytes(hankFile);
  const std::size_t guard = hankBytes.rfind("This INI file has already");
  ASSERT_NE(guard, std::string::npos);
  WriteBytes(hankFile, hankBytes.substr(0, guard + 12));
  Client judy(share, "PC010", "judy");
  judy.Connect("OLDSRV", "HP5");
  judy.Run(perUser, {2026, 12, 3, 11, 0, 0});
  const std::string judyFile = platform::JoinPath(reports, "PC010_judy_SUCCESS_moves.txt");
  WriteBytes(judyFile, ReadBytes(judyFile) + std::string(100000, '\0'));
  judy.Run(perUser, {2026, 12, 4, 11, 0, 0});

  // Written as a Windows client writes them: a date in no form a client
  // writes, and a printer name in Windows-1252.
  WriteBytes(platform::JoinPath(reports, "PC006_frank_SUCCESS_moves.txt"),
             "\r\n\r\nReport At: yesterday at noon\r\n\r\n\r\n"
             "* ----- Computer: PC006 Username: frank Printers ----- *\r\nLocal Printer: Fax\r\n");
  WriteBytes(platform::JoinPath(reports, "PC011_kim_SUCCESS_moves.txt"),
             "\r\n\r\nReport At: 04.12.2026 15:30:00\r\n\r\n\r\n"
             "* ----- Computer: PC011 Username: kim Printers ----- *\r\n"
             "\\\\OLDSRV2\\\xC9tiquettes (\\\\OLDSRV2)\r\n\r\n"
             "* ----- Migrating Networked Printers Between Servers ----- *\r\n"
             "Migrating: \\\\OLDSRV2\\\xC9tiquettes to \\\\NEWSRV\\\xC9tiquettes\r\n"
             "Error (1797) populating network printer: \\\\NEWSRV\\\xC9tiquettes\r\n"
             "What error 1797 means: the printer's driver is not installed on the client.\r\n"
             "Not removing \\\\OLDSRV2\\\xC9tiquettes: the new connection \\\\NEWSRV\\\xC9tiquettes "
             "could not be added.\r\n");
  // Named as the engine's, but nothing of it can be read.
  WriteBytes(platform::JoinPath(reports, "PC007_gina_SUCCESS_moves.txt"), "");
  WriteBytes(platform::JoinPath(reports, "PC009_ivan_FAILED_moves.txt"),
             std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  WriteBytes(platform::JoinPath(share, "PC012.debug"), "scrambled? no: plain text\r\n");
  // The share's other files are no reports and pass in silence.
  WriteBytes(platform::JoinPath(share, "migration.ini"), CompleteDocument());
  WriteBytes(platform::JoinPath(share, "QuillonEngine.exe"), std::string("MZ\x90\0\3\0\0\0", 8));
  WriteBytes(platform::JoinPath(share, "notes.txt"), "Moved the Plan Room plotter by hand.\r\n");
#ifndef _WIN32
  // Neither a pipe nor a link back up may stop the walk.
  ASSERT_EQ(::mkfifo(platform::JoinPath(reports, "PC013_lou_SUCCESS_moves.txt").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("..", platform::JoinPath(reports, "up").c_str()), 0);
#endif

  platform::HostFileSystem files;
  Output run = RunReport(files, {"--json", share});
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_EQ(run.err, "");
  const json report = json::parse(run.out);

  EXPECT_EQ(report["files"]["outputFiles"], 7);  // alice, bob, site, hank, judy, frank, kim
  EXPECT_EQ(report["files"]["debugFiles"], 6);
  EXPECT_EQ(report["files"]["mailBackups"], 1);
  EXPECT_EQ(report["files"]["ignored"], 3);
#ifndef _WIN32
  const std::string skipped =
      "5 files skipped: 1 empty, 1 not a report of the engine, 1 not a debug file of the engine, "
      "1 link, not followed, 1 not a regular file";
#else
  const std::string skipped =
      "3 files skipped: 1 empty, 1 not a report of the engine, 1 not a debug file of the engine";
#endif
  EXPECT_EQ(report["files"]["skippedSummary"], skipped);
  EXPECT_EQ(report["files"]["failedUnread"], 1) << "ivan's FAILED_ file holds no report";
  EXPECT_EQ(report["files"]["readInPart"], 2);
  EXPECT_EQ(report["files"]["repaired"], platform::NarrowCharsetName() == "UTF-8" ? 1 : 0);
  std::map<std::string, std::string> issues;
  for (const json& issue : report["fileIssues"]) issues[issue["file"]] = issue["issue"];
  const auto inReports = [](const char* name) { return platform::JoinPath("reports", name); };
  std::map<std::string, std::string> expectedIssues = {
      {"PC012.debug", "not a debug file of the engine"},
      {inReports("PC007_gina_SUCCESS_moves.txt"), "empty"},
      {inReports("PC009_ivan_FAILED_moves.txt"), "not a report of the engine"},
      {inReports("PC008_hank_SUCCESS_moves.txt"), "cut short, read up to the cut"},
      {inReports("PC010_judy_SUCCESS_moves.txt"), "binary junk, read around it"}};
#ifndef _WIN32
  expectedIssues[inReports("PC013_lou_SUCCESS_moves.txt")] = "not a regular file";
  expectedIssues[inReports("up")] = "link, not followed";
#endif
  // Where the host's own text is UTF-8, a Windows client's bytes are not.
  const bool utf8Host = platform::NarrowCharsetName() == "UTF-8";
  if (utf8Host) {
    expectedIssues[inReports("PC011_kim_SUCCESS_moves.txt")] = "not UTF-8, read as Windows-1252";
  }
  EXPECT_EQ(issues, expectedIssues);

  // Carol's run counts once although two files hold it; every other computer's
  // debug file holds a run its output file already holds, except dave's.
  EXPECT_EQ(report["runs"], (json{{"total", 12}, {"succeeded", 6}, {"failed", 4}, {"alreadyDone", 2}}));
  EXPECT_EQ(report["computers"], 8);
  EXPECT_EQ(report["usersFailing"], 3);

  struct Last {
    const char* user;
    const char* outcome;
    std::optional<json> when;  // absent: the debug file's own time, below
    int runs;
  };
  for (const Last& expected : {Last{"alice", "already done", "2026-12-02T09:05:00", 2},
                               Last{"bob", "failed", "2026-12-02T09:12:00", 2},
                               Last{"carol", "succeeded", "2026-12-02T10:00:00", 1},
                               Last{"dave", "failed", std::nullopt, 1},
                               Last{"hank", "succeeded", "2026-12-04T09:00:00", 2},
                               Last{"judy", "already done", "2026-12-04T11:00:00", 2},
                               Last{"frank", "succeeded", nullptr, 1},
                               Last{"kim", "failed", "2026-12-04T15:30:00", 1}}) {
    // A debug file names its computer, not its user.
    const json* user = std::string(expected.user) == "dave" ? UserNamed(report, "", "PC004")
                                                            : UserNamed(report, expected.user);
    ASSERT_NE(user, nullptr) << expected.user;
    EXPECT_EQ((*user)["lastOutcome"], expected.outcome) << expected.user;
    EXPECT_EQ((*user)["runs"], expected.runs) << expected.user;
    if (expected.when) {
      EXPECT_EQ((*user)["lastRun"], *expected.when) << expected.user;
    }
  }
  // The engine's own verdict, stored for its run-once guard, is the report's.
  for (const auto& [client, stored] : {std::pair{&alice, "True"}, std::pair{&bob, "False"},
                                       std::pair{&carol, "True"}, std::pair{&dave, "False"},
                                       std::pair{&judy, "True"}}) {
    EXPECT_EQ(StoredOutcome(client->world), stored);
  }

  const json& bobsRun = *UserNamed(report, "bob");
  EXPECT_EQ(bobsRun["lastFile"], inReports("PC002_bob_FAILED_moves.txt"));
  ASSERT_EQ(bobsRun["problems"].size(), 2u);
  EXPECT_EQ(bobsRun["problems"][0]["severity"], "failure");
  EXPECT_EQ(bobsRun["problems"][0]["line"], "Error (1801) populating network printer: \\\\NEWSRV\\HP6");
  EXPECT_EQ(bobsRun["problems"][0]["explanation"].get<std::string>().rfind("What error 1801 means: ", 0), 0u);
  EXPECT_EQ(bobsRun["problems"][1]["severity"], "warning");
  EXPECT_EQ(bobsRun["problems"][1]["line"].get<std::string>().rfind("Not removing \\\\OLDSRV\\HP6", 0), 0u);
  EXPECT_EQ((*UserNamed(report, "carol"))["mailFailures"], 1);
  EXPECT_EQ((*UserNamed(report, "carol"))["lastFile"], inReports("site.txt"));
  const json& davesRun = *UserNamed(report, "", "PC004");
  EXPECT_EQ(davesRun["lastFile"], "PC004.debug");
  ASSERT_FALSE(davesRun["problems"].empty());
  EXPECT_EQ(davesRun["problems"][0]["line"], "ERROR: Accessing Active Directory. <<");
  EXPECT_EQ(davesRun["problems"][0]["severity"], "failure");
  EXPECT_EQ((*UserNamed(report, "kim"))["problems"][0]["line"],
            "Error (1797) populating network printer: \\\\NEWSRV\\\xC3\x89tiquettes");

  // Per day; dave's debug file is dated by when it was written.
  std::map<std::string, json> days;
  for (const json& day : report["days"]) {
    days[day["day"].is_null() ? "unknown" : day["day"].get<std::string>()] = day;
  }
  const auto listed = files.ListFolder(share);
  ASSERT_TRUE(listed.has_value());
  std::string davesDay;
  for (const auto& entry : *listed) {
    if (entry.name == "PC004.debug" && entry.modified) {
      davesDay = report::IsoDay(platform::DaysSinceEpoch(entry.modified->year, entry.modified->month,
                                                         entry.modified->day));
    }
  }
  ASSERT_FALSE(davesDay.empty());
  std::map<std::string, std::array<int, 3>> expectedDays = {{"2026-12-01", {1, 1, 0}},
                                                            {"2026-12-02", {1, 1, 1}},
                                                            {"2026-12-03", {2, 0, 0}},
                                                            {"2026-12-04", {1, 1, 1}},
                                                            {"unknown", {1, 0, 0}}};
  expectedDays[davesDay][1] += 1;
  ASSERT_EQ(days.size(), expectedDays.size());
  for (const auto& [day, counts] : expectedDays) {
    EXPECT_EQ(days[day]["succeeded"], counts[0]) << day;
    EXPECT_EQ(days[day]["failed"], counts[1]) << day;
    EXPECT_EQ(days[day]["alreadyDone"], counts[2]) << day;
  }
  EXPECT_EQ(report["days"].back()["day"], nullptr) << "the unknown day comes last";

  EXPECT_EQ(report["oldServers"],
            json::parse(R"([{"server": "OLDSRV", "moves": 7, "failedMoves": 2},
                            {"server": "OLDSRV2", "moves": 1, "failedMoves": 1}])"));

  // The text says the same, the skipped files first of all.
  Output text = RunReport(files, {share});
  EXPECT_EQ(text.code, 1);
  EXPECT_NE(text.out.find("\n" + skipped +
                          "\n2 files read in part: 1 cut short, read up to the cut, 1 binary junk, read "
                          "around it\n" +
                          (utf8Host ? "1 file was not UTF-8, read as Windows-1252\n" : "") +
                          "Runs: 12 by 8 users on 8 computers: 6 succeeded, 4 failed, 2 already done\n"
                          "Last run failed: 3 users\n"
                          "1 file named FAILED_ could not be read: a failure may be hidden\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("  PC002 bob, 2026-12-02 09:12:00, 2 failed runs of 2: " +
                          inReports("PC002_bob_FAILED_moves.txt") +
                          "\n    Error (1801) populating network printer: \\\\NEWSRV\\HP6\n      What error 1801 means: "),
            std::string::npos)
      << text.out;
}

// Logon runs refused a driver, then the start-up staging runs of the same
// computers: the users' rows and totals hold only the users' runs, each
// driver is counted by the users it still holds back, and each computer's
// staging is one row of its own, in every form.
TEST(QuillonReportTest, DriversUsersCouldNotGetAndStagingRunsPerComputer) {
  EngineWorld scratch;  // only for its temporary folder
  const std::string share = platform::JoinPath(scratch.ProgramFolder(), "share");
  const std::string reports = platform::JoinPath(share, "reports");
  fs::create_directories(reports);
  const std::string perUser = OutputDocument(reports, "moves.txt", true);
  const std::string driver = "Color <b>&Drv";  // the page must escape it
  const auto restricted = [&](Client& client) {
    client.world.AddQueue("NEWSRV", "Color");
    for (auto& [server, queues] : client.world.state.printServers) {
      if (server != "NEWSRV") continue;
      queues.back().driverName = driver;
      queues.back().driverVersion = "7.1.0.0";
    }
    client.world.AddQueue("OLDSRV", "Color");
    client.Connect("OLDSRV", "Color");
    client.world.state.pointAndPrint = platform::sim::SimPointAndPrint{true};
    client.world.state.elevated = false;
  };
  const auto stage = [&](Client& client, platform::LocalTime at) {
    client.world.clock.now = at;
    client.world.state.elevated = true;
    auto context = client.world.NewContext();
    const int status = engine::RunStagingEngine(*context, client.world.Path("doc.ini"));
    client.world.state.elevated = false;
    return status;
  };
  Client ann(share, "PC1", "ann");
  restricted(ann);
  ann.Run(perUser, {2026, 12, 1, 8, 0, 0});
  EXPECT_EQ(stage(ann, {2026, 12, 2, 7, 0, 0}), 0);
  ann.Run(perUser, {2026, 12, 2, 8, 0, 0});  // moved now
  Client bob(share, "PC2", "bob");
  restricted(bob);
  bob.Run(perUser, {2026, 12, 1, 8, 5, 0});
  bob.world.state.failures.push_back({"InstallDriverFromServer", std::nullopt, 1722, {}});
  EXPECT_EQ(stage(bob, {2026, 12, 2, 7, 0, 0}), 1);
  bob.Run(perUser, {2026, 12, 2, 8, 5, 0});  // still refused

  platform::HostFileSystem files;
  const report::Summary summary = report::ReadShare(files, share);
  EXPECT_EQ(summary.runs, 4) << "the staging runs are not users' runs";
  EXPECT_EQ(summary.users.size(), 2u);
  EXPECT_EQ(summary.UsersFailing(), 1);
  EXPECT_EQ(summary.stagingRuns, 2) << "a staging run's debug file is its output file's run";
  ASSERT_EQ(summary.driversNeeded.size(), 1u);
  const report::DriverNeedCounts& need = summary.driversNeeded.begin()->second;
  EXPECT_EQ(need.driver, driver);
  EXPECT_EQ(need.server, "\\\\NEWSRV");
  EXPECT_EQ(need.users, 1) << "ann's last run moved";
  EXPECT_EQ(need.runs, 3);

  const Output text = RunReport(files, {share});
  EXPECT_EQ(text.code, 1);
  EXPECT_NE(text.out.find("  1 user could not get driver " + driver +
                          " from \\\\NEWSRV at their last run (3 runs in all): stage drivers\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\nDriver staging: 2 runs. "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  PC1       all drivers present  2026-12-02 07:00:00     1       0          1"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("    Installed driver " + driver + " 7.1.0.0 from \\\\NEWSRV\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("    Could not install driver " + driver +
                          " 7.1.0.0 from \\\\NEWSRV.\n      What error 1722 means: "),
            std::string::npos)
      << text.out;
  EXPECT_EQ(text.out.find("SYSTEM  "), std::string::npos) << "no user row for SYSTEM";

  const json parsed = json::parse(RunReport(files, {"--json", share}).out);
  EXPECT_EQ(parsed["runs"]["total"], 4);
  ASSERT_EQ(parsed["driversNeeded"].size(), 1u);
  EXPECT_EQ(parsed["driversNeeded"][0]["users"], 1);
  EXPECT_EQ(parsed["driversNeeded"][0]["runs"], 3);
  EXPECT_EQ(parsed["driversNeeded"][0]["driver"], driver);
  ASSERT_EQ(parsed["staging"].size(), 2u);
  EXPECT_EQ(parsed["staging"][0]["computer"], "PC1");
  EXPECT_EQ(parsed["staging"][0]["lastOutcome"], "all drivers present");
  EXPECT_EQ(parsed["staging"][0]["installed"], 1);
  EXPECT_EQ(parsed["staging"][1]["lastOutcome"], "drivers missing");
  EXPECT_EQ(parsed["staging"][1]["failed"], 1);
  ASSERT_EQ(parsed["staging"][1]["problems"].size(), 1u);

  const Output csv = RunReport(files, {"--csv", share});
  EXPECT_NE(csv.out.find("\r\nstaging,PC2,SYSTEM,,,"), std::string::npos) << csv.out;
  EXPECT_NE(csv.out.find("\r\ndriver_needed,,,,\\\\NEWSRV,,,,3,,1,,,,1 user could not get driver "),
            std::string::npos)
      << csv.out;

  const std::string page = report::HtmlPage(summary);
  EXPECT_EQ(page.find(driver), std::string::npos) << "escaped everywhere on the page";
  EXPECT_NE(page.find("1 user could not get driver Color &lt;b&gt;&amp;Drv from \\\\NEWSRV"),
            std::string::npos);
  EXPECT_NE(page.find("<table id=\"staging\""), std::string::npos);
}

TEST(QuillonReportTest, DatesInTheClientsOwnForm) {
  using report::ParseGeneralDate;
  struct Case {
    const char* text;
    const char* iso;  // nullptr: unreadable
  };
  for (const Case& c : {
           Case{"12/8/2026 6:22:18 PM", "2026-12-08 18:22:18"},   // United States
           Case{"12/1/2024 12:30:00 AM", "2024-12-01 00:30:00"},
           Case{"3/15/2005 12:05:09 PM", "2005-03-15 12:05:09"},
           Case{"08.12.2026 18:22:18", "2026-12-08 18:22:18"},    // German
           Case{"08/12/2026 18:22:18", "2026-12-08 18:22:18"},    // British, French
           Case{"8-12-2026 18:22:18", "2026-12-08 18:22:18"},     // Dutch
           Case{"2026-12-08 18:22:18", "2026-12-08 18:22:18"},    // Swedish, ISO
           Case{"2026/12/8 18:22:18", "2026-12-08 18:22:18"},     // Chinese, Japanese
           Case{"2026. 12. 08. 18:22:18", "2026-12-08 18:22:18"}, // Hungarian
           Case{"8/12/26 6:22 p.m.", "2026-08-12 18:22:00"},      // a custom short form
           Case{"25/12/2026 09:00:00", "2026-12-25 09:00:00"},    // day told by its value
           Case{"12/25/2026 9:00:00 AM", "2026-12-25 09:00:00"},
           Case{"2/29/2024 1:00:00 PM", "2024-02-29 13:00:00"},
           Case{"8/12/2569 18:22:18", nullptr},   // Thai Buddhist era: no plausible year
           Case{"2/29/2023 1:00:00 PM", nullptr},
           Case{"13/13/2026 10:00:00", nullptr},
           Case{"12/8/2026 25:00:00", nullptr},
           Case{"12/8/2026 13:00:00 PM", nullptr},
           Case{"yesterday at noon", nullptr},
           Case{"", nullptr},
           Case{"20261208 182218", nullptr},
           Case{"-1/-1/2026 9:00:00 AM", nullptr},  // negative numbers are no day
           Case{"12/-8/2026 9:00:00 AM", nullptr},
       }) {
    const std::optional<report::DateTime> date = ParseGeneralDate(c.text);
    if (c.iso) {
      ASSERT_TRUE(date.has_value()) << c.text;
      EXPECT_EQ(date->Iso(), c.iso) << c.text;
    } else {
      EXPECT_FALSE(date.has_value()) << c.text << " read as " << date->Iso();
    }
  }

  // Korean and Japanese afternoons, in the host's own text where its code
  // page has them (a Windows of that code page; UTF-8 elsewhere).
  int eastAsian = 0;
  for (const std::u16string& text : {std::u16string(u"2026-12-08 \uC624\uD6C4 6:22:18"),
                                     std::u16string(u"2026/12/08 \u5348\u5F8C 6:22:18")}) {
    const std::string narrow = platform::Utf16ToNarrow(text);
    if (platform::NarrowToUtf16(narrow) != text) continue;
    const std::optional<report::DateTime> date = ParseGeneralDate(narrow);
    ASSERT_TRUE(date.has_value()) << narrow;
    EXPECT_EQ(date->Iso(), "2026-12-08 18:22:18") << narrow;
    ++eastAsian;
  }
  if (platform::NarrowCharsetName() == "UTF-8") {
    EXPECT_EQ(eastAsian, 2);
  }

  // A client with day-first dates and a 12-hour clock (Australia): once one
  // of its dates shows the order, the file's others are read that way too;
  // an order learnt for one form says nothing of another.
  std::map<std::string, report::DateOrder> orders;
  EXPECT_EQ(ParseGeneralDate("3/12/2026 9:00:00 AM", &orders)->Iso(), "2026-03-12 09:00:00");
  EXPECT_EQ(ParseGeneralDate("25/11/2026 9:00:00 AM", &orders)->Iso(), "2026-11-25 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3/12/2026 9:00:00 AM", &orders)->Iso(), "2026-12-03 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3.12.2026 09:00:00", &orders)->Iso(), "2026-12-03 09:00:00");
  EXPECT_EQ(ParseGeneralDate("12.25.2026 09:00:00", &orders)->Iso(), "2026-12-25 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3.12.2026 09:00:00", &orders)->Iso(), "2026-03-12 09:00:00");
}

std::string Dated(int day, int hour) {
  return "12/" + std::to_string(day) + "/2026 " + std::to_string(hour) + ":00:00 AM";
}

std::string SuccessReport(const std::string& when, const std::string& computer, const std::string& user) {
  return "\r\n\r\nReport At: " + when + "\r\n\r\n\r\n* ----- Computer: " + computer + " Username: " + user +
         " Printers ----- *\r\n\\\\OLDSRV\\HP4 (\\\\OLDSRV)\r\n\r\n"
         "* ----- Migrating Networked Printers Between Servers ----- *\r\n"
         "Migrating: \\\\OLDSRV\\HP4 to \\\\NEWSRV\\HP4\r\nPopulated networked printer: \\\\NEWSRV\\HP4\r\n"
         "Deleted networked printer: \\\\OLDSRV\\HP4\r\n";
}

TEST(QuillonReportTest, CommandArgumentsFormsAndProgress) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  files.files[at("PC1_ann_SUCCESS_moves.txt")] = SuccessReport(Dated(1, 9), "PC1", "ann") +
                                                 SuccessReport(Dated(3, 9), "PC1", "ann");
  files.files[at(platform::JoinPath("east", "PC2_ben_FAILED_moves.txt"))] =
      "\r\n\r\nReport At: " + Dated(2, 10) +
      "\r\n\r\n\r\nError accessing Active Directory. Try installing an MDAC update.\r\n"
      "> Error Number: -2147016646\r\n> Error Description: The server is not operational.\r\n";
  files.files[at("PC3_cy, \"the\" third_SUCCESS_moves.txt")] = SuccessReport(Dated(2, 11), "PC3", "cy, \"the\" third");
  files.unreadable.insert(at("PC4_dee_SUCCESS_moves.txt"));
  files.folders.insert(at("locked"));
  files.unreadableFolders.insert(at("locked"));
  files.files["a file"] = "x";
  files.folders.insert("closed");
  files.unreadableFolders.insert("closed");

  // Arguments.
  Output help = RunReport(files, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillon report [--csv | --json] [--html OUT.html] FOLDER\n", 0), 0u);
  EXPECT_NE(help.out.find("Exit status: 0 no user's last run failed, 1 some user's last run failed,\nor a "
                          "failure may be hidden"),
            std::string::npos);
  std::ostringstream out, err;
  EXPECT_EQ(RunQuillon({"--help"}, files, out, err), 0);
  EXPECT_NE(out.str().find("  report FOLDER "), std::string::npos);
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, "quillon report: no folder given\n"},
           {{"share", "other"}, "quillon report: one folder at a time\n"},
           {{"--csv", "--json", "share"}, "quillon report: --csv and --json exclude each other\n"},
           {{"--fast", "share"}, "quillon report: unknown option '--fast'\n"},
           {{"share", "--html"}, "quillon report: --html needs the name of the page to write\n"},
           {{"missing"}, "quillon report: missing: does not exist\n"},
           {{"a file"}, "quillon report: a file: is not a folder\n"},
           {{"closed"}, "quillon report: closed: cannot be read\n"}}) {
    Output bad = RunReport(files, args);
    EXPECT_EQ(bad.code, 2) << message;
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind(message, 0), 0u) << bad.err;
  }

  // CSV: one table, every row as many fields as the header, the odd user
  // name quoted, the unreadable file and folder named.
  Output csv = RunReport(files, {"--csv", share});
  EXPECT_EQ(csv.code, 1);
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(csv.out);
  for (std::string line; std::getline(lines, line);) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (quoted && line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (line[i] == '"') {
        quoted = !quoted;
      } else if (line[i] == ',' && !quoted) {
        fields.emplace_back();
      } else {
        fields.back() += line[i];
      }
    }
    rows.push_back(fields);
  }
  ASSERT_EQ(rows.size(), 1u + 1 + 3 + 3 + 1 + 2);  // header, summary, users, days, server, issues
  for (const auto& row : rows) EXPECT_EQ(row.size(), rows[0].size()) << row[0];
  EXPECT_EQ(rows[0][0], "record");
  EXPECT_EQ(rows[1], (std::vector<std::string>{"summary", "", "", "", "", "share", "", "", "4", "3", "1",
                                               "0", "", "", "2 files skipped: 1 cannot be read, 1 folder cannot be listed; 1 folder could not be listed: a failure may be hidden"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"user", "PC1", "ann", "", "", "PC1_ann_SUCCESS_moves.txt",
                                               "succeeded", "2026-12-03 09:00:00", "2", "2", "0", "0", "",
                                               "", ""}));
  EXPECT_EQ(rows[3][2], "ben");
  EXPECT_EQ(rows[3][6], "failed");
  EXPECT_EQ(rows[3][14],
            "Error accessing Active Directory. Try installing an MDAC update.");
  EXPECT_EQ(rows[4][2], "cy, \"the\" third");
  EXPECT_EQ(rows[5][0], "day");
  EXPECT_EQ(rows[5][3], "2026-12-01");
  EXPECT_EQ(rows[8], (std::vector<std::string>{"server", "", "", "", "OLDSRV", "", "", "", "", "", "", "",
                                               "3", "0", ""}));
  EXPECT_EQ(rows[9][0], "skipped");
  EXPECT_EQ(rows[9][5], "locked");
  EXPECT_EQ(rows[10][5], "PC4_dee_SUCCESS_moves.txt");
  EXPECT_EQ(rows[10][14], "cannot be read");

  // JSON: the shape scripts rely on.
  Output jsonRun = RunReport(files, {"--json", share});
  EXPECT_EQ(jsonRun.code, 1);
  const json report = json::parse(jsonRun.out);
  EXPECT_EQ(report["exit"], 1);
  EXPECT_EQ(report["files"]["skippedSummary"], "2 files skipped: 1 cannot be read, 1 folder cannot be listed");
  EXPECT_EQ(report["users"][1]["problems"][0],
            json::parse(R"({"severity": "failure", "line": "Error accessing Active Directory. Try installing an MDAC update.",
              "explanation": "Error Number: -2147016646 Error Description: The server is not operational."})"));
  EXPECT_EQ(report["users"][1]["lastFile"], platform::JoinPath("east", "PC2_ben_FAILED_moves.txt"));
  for (const char* key : {"folder", "exit", "files", "fileIssues", "fileIssuesLeftOut", "runs", "computers",
                          "usersFailing", "users", "days", "oldServers"}) {
    EXPECT_TRUE(report.contains(key)) << key;
  }

  // The page is written through the files; standard output says so.
  Output page = RunReport(files, {"--html", "out.html", share});
  EXPECT_EQ(page.code, 1);
  EXPECT_EQ(page.out,
            "Wrote out.html: 4 runs by 3 users, 1 failed at their last run; 2 files skipped: 1 cannot be "
            "read, 1 folder cannot be listed\n");
  ASSERT_EQ(files.files.count("out.html"), 1u);
  EXPECT_EQ(files.files["out.html"].rfind("<!DOCTYPE html>", 0), 0u);
  files.failWrites = true;
  Output unwritten = RunReport(files, {"--html=out.html", "--json", share});
  EXPECT_EQ(unwritten.code, 2);
  EXPECT_EQ(unwritten.err, "quillon report: out.html: cannot be written: Access is denied.\n");
  files.failWrites = false;

  // Progress: on a terminal only, once a second has gone, on standard error,
  // wiped before the report; standard output stays clean.
  double now = 0;
  ReportHost slow{true, [&now] { return now += 0.4; }};
  for (int i = 0; i < 300; ++i) {
    files.files[at(platform::JoinPath("bulk", "n" + std::to_string(i) + ".txt"))] = "not a report";
  }
  Output shown = RunReport(files, {"--json", share}, slow);
  EXPECT_EQ(json::parse(shown.out)["files"]["ignored"], 300);
  EXPECT_NE(shown.err.find("\rLooking for files: 192 found"), std::string::npos) << shown.err;
  const std::string last = "Reading files: 304 of 304";
  EXPECT_NE(shown.err.find("\r" + last), std::string::npos) << shown.err;
  EXPECT_EQ(shown.err.substr(shown.err.size() - 2 - last.size()),
            "\r" + std::string(last.size(), ' ') + "\r");
  ReportHost notTerminal{false, [&now] { return now += 0.4; }};
  EXPECT_EQ(RunReport(files, {"--json", share}, notTerminal).err, "");
  now = 0;
  ReportHost quick{true, [] { return 0.0; }};
  EXPECT_EQ(RunReport(files, {"--json", share}, quick).err, "");
}

// A strict RFC 4180 reader: fields quoted or not, a quoted field may hold
// separators, doubled quotes and line ends, every record ends in CR LF. Fails
// the test on anything else.
std::vector<std::vector<std::string>> StrictCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record(1);
  std::size_t i = 0;
  while (i < text.size()) {
    std::string& field = record.back();
    if (text[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        if (i >= text.size()) {
          ADD_FAILURE() << "a quoted field without its end";
          return records;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
      if (i < text.size() && text[i] != ',' && text[i] != '\r') {
        ADD_FAILURE() << "text after a quoted field at byte " << i;
        return records;
      }
      continue;
    }
    if (text[i] == ',') {
      record.emplace_back();
      ++i;
    } else if (text[i] == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') {
        ADD_FAILURE() << "a bare CR at byte " << i;
        return records;
      }
      records.push_back(record);
      record.assign(1, "");
      i += 2;
    } else if (text[i] == '"' || text[i] == '\n') {
      ADD_FAILURE() << "a quote or line feed inside an unquoted field at byte " << i;
      return records;
    } else {
      field += text[i++];
    }
  }
  EXPECT_TRUE(record.size() == 1 && record[0].empty()) << "the last record lacks its CR LF";
  return records;
}

std::string Report(const std::string& when, const std::string& computer, const std::string& user,
                   const std::string& body) {
  return "\r\n\r\nReport At: " + when + "\r\n\r\n\r\n* ----- Computer: " + computer + " Username: " + user +
         " Printers ----- *\r\n" + body;
}

TEST(QuillonReportTest, HostileShareIsNeitherFollowedNorObeyedAndItsSummaryIsBounded) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // Names a spreadsheet would take for formulas, a C1 control sequence and
  // an overlong line, a date with negative numbers.
  const std::string c1 = platform::Utf16ToNarrow(u"\u009b2J");
  files.files[at("PC1_=HYPERLINK(1)_SUCCESS_moves.txt")] =
      Report(Dated(1, 9), "@SUM(A1)", "=HYPERLINK(1)",
             "Migrating: \\\\+EVIL\\HP4 to \\\\NEWSRV\\HP4\r\nError (5) deleting network printer: \\\\+EVIL\\HP4\r\n"
             "Warning " + c1 + " fake\r\nWarning " + std::string(5000, 'w') + "\r\n");
  files.files[at("PC2_-2+3_SUCCESS_moves.txt")] = Report("-1/-1/2026 9:00:00 AM", "PC2", "-2+3", "\r\n");
  // Files named as failed runs that cannot be read: a failure may be hidden.
  files.unreadable.insert(at("PC3_zed_FAILED_moves.txt"));
  // More users than the page lists, each moving from a server of its own:
  // more servers than the summary keeps; one run with more moves than any
  // run makes.
  std::string many;
  for (std::size_t i = 0; i < report::kKeptServers + 200; ++i) {
    many += "Migrating: \\\\S" + std::to_string(i) + "\\P to \\\\NEWSRV\\P\r\n";
  }
  files.files[at("PC4_bulk_SUCCESS_moves.txt")] = Report(Dated(2, 9), "PC4", "bulk", many);
  std::string users;
  for (int i = 0; i < 5'100; ++i) {
    users += Report(Dated(3, 9), "U" + std::to_string(i), "u",
                    "Migrating: \\\\T" + std::to_string(i) + "\\P to \\\\NEWSRV\\P\r\n");
  }
  files.files[at("site.txt")] = users;
  // A Windows client's bytes: its CSV row names an issue with a comma in it.
  files.files[at("PC8_kim_SUCCESS_moves.txt")] =
      Report(Dated(4, 9), "PC8", "kim", "Warning: \\\\OLD\\\xC9tiquettes\r\n");
  // An e-mail back-up of endless runs: only the first are held.
  std::string backup;
  for (int i = 0; i < 40; ++i) {
    backup += "* ----- Computer: PC9 Username: b" + std::to_string(i) + " Printers ----- *\r\nLocal Printer: Fax\r\n";
  }
  files.files[at("PC9_12.08.2026_18.22.18_EmailFailure.txt")] = backup;

  report::Summary summary = report::ReadShare(files, share);
  EXPECT_EQ(summary.runs, 5'104 + static_cast<long>(report::kRunsPerBackup));
  EXPECT_NE(std::find(summary.issues.files.begin(), summary.issues.files.end(),
                      std::make_pair(std::string("PC9_12.08.2026_18.22.18_EmailFailure.txt"),
                                     report::FileIssue::TooManyRuns)),
            summary.issues.files.end());
  EXPECT_EQ(summary.failedFilesUnread, 1);
  EXPECT_EQ(summary.days.at(report::kUnknownDay).Total(), 1) << "-1/-1/2026 is no day";
  EXPECT_EQ(summary.oldServers.size(), report::kKeptServers);
  // 1,200 moves of one run: 1,000 counted, of them 999 by servers kept after
  // +EVIL; then 5,100 users' servers, none kept.
  EXPECT_EQ(summary.movesNotShown, 200 + 1 + 5'100);
  const report::UserSummary& formula = summary.users.begin()->second;
  EXPECT_EQ(formula.user, "=HYPERLINK(1)");
  ASSERT_EQ(formula.lastProblems.size(), 3u);
  EXPECT_EQ(formula.lastProblems[2].line.size(), report::kLongestKeptLine);
  EXPECT_EQ(formula.lastProblems[2].line.substr(report::kLongestKeptLine - 4), "w...");

  Output text = RunReport(files, {share});
  EXPECT_EQ(text.code, 1) << "the FAILED_ file that could not be read";
  EXPECT_NE(text.out.find("1 file named FAILED_ could not be read: a failure may be hidden\n"), std::string::npos);
  EXPECT_NE(text.out.find("\n  and 5,301 more moves not shown by server: more than 1,000 servers, more than "
                          "1,000 moves in one run, or names no printer has\n"),
            std::string::npos);
  if (platform::NarrowCharsetName() == "UTF-8") {
    EXPECT_EQ(text.out.find(c1), std::string::npos);
    EXPECT_NE(text.out.find("Warning \\x9b2J fake"), std::string::npos);
  }

  // Every row as many fields as the header, read by a strict reader; no cell
  // begins as a formula.
  Output csv = RunReport(files, {"--csv", share});
  const auto rows = StrictCsv(csv.out);
  ASSERT_GT(rows.size(), 5'000u);
  std::size_t notShown = 0;
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), rows[0].size()) << row[0];
    for (const std::string& cell : row) {
      EXPECT_EQ(std::string("=+-@\t\r").find(cell.empty() ? 'x' : cell[0]), std::string::npos) << cell;
    }
    if (row[0] == "not_shown") {
      ++notShown;
      EXPECT_EQ(row[12], "5301");
    }
    if (row[0] == "user" && row[1] == "'@SUM(A1)") {
      EXPECT_EQ(row[2], "'=HYPERLINK(1)");
      ++notShown;
    }
  }
  EXPECT_EQ(notShown, 2u) << "the not_shown row and the formula user's";
  if (platform::NarrowCharsetName() == "UTF-8") {
    EXPECT_NE(csv.out.find("\r\nrepaired,,,,,PC8_kim_SUCCESS_moves.txt,,,,,,,,,\"not UTF-8, read as Windows-1252\"\r\n"),
              std::string::npos);
  }
  EXPECT_NE(csv.out.find("\r\nserver,,,,'+EVIL,"), std::string::npos);

  const json jsonReport = json::parse(RunReport(files, {"--json", share}).out);
  EXPECT_EQ(jsonReport["notShown"], (json{{"runsOfUsers", 0},
                                               {"failedRunsOfUsers", 0},
                                               {"moves", 5301},
                                               {"driverNeeds", 0},
                                               {"stagingRuns", 0},
                                               {"printServerLines", 0}}));
  EXPECT_EQ(jsonReport["files"]["failedUnread"], 1);
  EXPECT_EQ(jsonReport["exit"], 1);

  const std::string page = report::HtmlPage(summary);
  EXPECT_NE(page.find("<p class=\"muted\" id=\"users-not-shown\">and 120 more computers and users not shown on "
                      "this page (more than 5,000)"),
            std::string::npos);
  EXPECT_NE(page.find("id=\"moves-not-shown\">and 5,301 more moves"), std::string::npos);
  EXPECT_NE(page.find("id=\"failed-unread\">1 file named FAILED_"), std::string::npos);
  EXPECT_LT(page.size(), 5'000'000u);
}

#ifndef _WIN32
TEST(QuillonReportTest, LinksPipesAndHugeFilesInTheShare) {
  EngineWorld scratch;
  const std::string share = platform::JoinPath(scratch.ProgramFolder(), "share");
  const std::string secret = platform::JoinPath(scratch.ProgramFolder(), "private.txt");
  fs::create_directories(share);
  // A file only its owner may read, in a report's form, and links named as
  // the engine's files to it, to a folder out of the share and to an
  // endless device.
  WriteBytes(secret, SuccessReport(Dated(1, 9), "SECRETPC", "payroll-2026"));
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(secret.c_str(), platform::JoinPath(share, "PC1_eve_SUCCESS_moves.txt").c_str()), 0);
  ASSERT_EQ(::symlink(scratch.ProgramFolder().c_str(), platform::JoinPath(share, "up").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/zero", platform::JoinPath(share, "PC2.debug").c_str()), 0);
  ASSERT_EQ(::mkfifo(platform::JoinPath(share, "PC3_eve_FAILED_moves.txt").c_str(), 0600), 0);
  WriteBytes(platform::JoinPath(share, "PC4_ann_SUCCESS_moves.txt"), SuccessReport(Dated(2, 9), "PC4", "ann"));

  platform::HostFileSystem files;
  for (const std::vector<std::string>& form :
       {std::vector<std::string>{}, {"--csv"}, {"--json"}, {"--html", platform::JoinPath(share, "page.html")}}) {
    std::vector<std::string> args = form;
    args.push_back(share);
    Output run = RunReport(files, args);
    std::string all = run.out + run.err;
    if (!form.empty() && form[0] == "--html") all += ReadBytes(form[1]);
    EXPECT_EQ(run.code, 1) << "a FAILED_ file that could not be read";
    EXPECT_EQ(all.find("payroll"), std::string::npos) << all;
    EXPECT_EQ(all.find("SECRETPC"), std::string::npos) << all;
    for (const char* named : {"PC1_eve_SUCCESS_moves.txt", "PC2.debug", "up"}) {
      EXPECT_NE(all.find(std::string(named) + (form.empty() ? ": link, not followed" : "")), std::string::npos)
          << named << all;
    }
    EXPECT_NE(all.find("link, not followed"), std::string::npos);
    EXPECT_NE(all.find("not a regular file"), std::string::npos);
    fs::remove(platform::JoinPath(share, "page.html"));
  }
  // The page is never written over a pipe or a link of that name: it would
  // replace them (a device node, or /dev/stdout's link) by a file.
  const std::string pipePage = platform::JoinPath(scratch.ProgramFolder(), "page-pipe.html");
  const std::string linkPage = platform::JoinPath(scratch.ProgramFolder(), "page-link.html");
  ASSERT_EQ(::mkfifo(pipePage.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(secret.c_str(), linkPage.c_str()), 0);
  for (const std::string& page : {pipePage, linkPage}) {
    Output refused = RunReport(files, {"--html", page, share});
    EXPECT_EQ(refused.code, 2) << refused.err;
    EXPECT_NE(refused.err.find("is not a regular file"), std::string::npos) << refused.err;
  }
  struct stat kept {};
  ASSERT_EQ(::lstat(pipePage.c_str(), &kept), 0);
  EXPECT_TRUE(S_ISFIFO(kept.st_mode));
  ASSERT_EQ(::lstat(linkPage.c_str(), &kept), 0);
  EXPECT_TRUE(S_ISLNK(kept.st_mode));

  // A pipe swapped in for a file after the folder was listed is not waited
  // on; files beyond the bounds are read up to them or skipped, and said so.
  struct Swapped : platform::HostFileSystem {
    std::optional<std::vector<platform::FolderEntry>> ListFolder(const std::string& folder) override {
      auto entries = platform::HostFileSystem::ListFolder(folder);
      if (entries) {
        for (auto& entry : *entries) {
          if (entry.name == "PC3_eve_FAILED_moves.txt") entry.kind = platform::FolderEntry::Kind::File;
        }
      }
      return entries;
    }
  } swapped;
  ASSERT_EQ(::mkfifo(platform::JoinPath(share, "PC5.debug").c_str(), 0600), 0);
  std::string big;
  for (int day = 1; day <= 20; ++day) big += SuccessReport(Dated(day, 9), "PC6", "bea");
  WriteBytes(platform::JoinPath(share, "PC6_bea_SUCCESS_moves.txt"), big);
  WriteBytes(platform::JoinPath(share, "PC7.debug"),
             engine::ScrambleDebugText("*****     BEGIN DEBUG     *****\r\n" + std::string(3000, 'x') + "\r\n"));
  report::ReadOptions bounds;
  bounds.largestReportFile = SuccessReport(Dated(1, 9), "PC6", "bea").size() * 3 + 10;
  bounds.largestDebugFile = 2000;
  const auto start = std::chrono::steady_clock::now();
  const report::Summary summary = report::ReadShare(swapped, share, bounds);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  std::map<std::string, std::string> issues;
  for (const auto& [file, issue] : summary.issues.files) issues[file] = report::IssueName(issue);
  EXPECT_EQ(issues, (std::map<std::string, std::string>{
                        {"PC1_eve_SUCCESS_moves.txt", "link, not followed"},
                        {"PC2.debug", "link, not followed"},
                        {"PC3_eve_FAILED_moves.txt", "cannot be read"},
                        {"PC5.debug", "not a regular file"},
                        {"PC6_bea_SUCCESS_moves.txt", "larger than a report file can be, read up to the bound"},
                        {"PC7.debug", "too large for a debug file"},
                        {"up", "link, not followed"}}));
  EXPECT_EQ(summary.failedFilesUnread, 1);
  EXPECT_EQ(summary.users.size(), 2u);
  EXPECT_EQ(summary.runs, 1 + 3) << "ann's run and bea's first three, up to the bound";
}
#endif


// What a user who can write the share can do to hide a failure or mislead the
// administrator, each of which the report once took at its word.
TEST(QuillonReportTest, DamagedLinesFoldersAndNamesHideNoFailure) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // A report line turned into terminal commands, where the failure stood.
  files.files[at("PC1_ann_SUCCESS_moves.txt")] =
      "\r\n\r\nReport At: " + Dated(1, 9) +
      "\r\n\r\n* ----- Computer: PC1 Username: ann Printers ----- *\r\n"
      "Error (5) \x1b[2K\x1b[1Apopulating network printer: \\\\NEW\\HP4\r\n";
  Output damaged = RunReport(files, {"--json", share});
  EXPECT_EQ(damaged.code, 1) << damaged.out;
  const json report = json::parse(damaged.out);
  EXPECT_EQ(report["runs"]["failed"], 1);
  EXPECT_EQ(report["runs"]["succeeded"], 0);

  // A back-up named with a time no clock shows is a run of no known day, not
  // the newest run of all.
  files.files.clear();
  files.files[at("PC2_99.99.9999_99.99.99_EmailFailure.txt")] =
      "\r\n\r\n* ----- Computer: PC2 Username: bo Printers ----- *\r\n";
  const json dated = json::parse(RunReport(files, {"--json", share}).out);
  ASSERT_EQ(dated["days"].size(), 1u) << dated["days"];
  EXPECT_EQ(dated["days"][0]["day"], nullptr) << "under the unknown day";

  // A staging run fails on a driver that is not there, not on what it only
  // tells: the directory's printers, a profile it could not read, a server
  // the document does not name.
  files.files.clear();
  const std::string staging =
      "\r\n\r\nReport At: " + Dated(2, 7) +
      "\r\n\r\n* ----- Staging Printer Drivers ----- *\r\nComputer: PC4\r\n"
      "* ----- AD Printers ----- *\r\n\\\\NEW\\HP4\r\n"
      "Could not read the printer connections of user old; drivers for that user's moves are "
      "not staged.\r\n"
      "What error 5 means: Access is denied.\r\n"
      "Not installing drivers from \\\\ROGUE for \\\\ROGUE\\HP4: the document names no such "
      "server.\r\n"
      "No printer driver is needed by this computer's moves.\r\n";
  files.files[at("PC4_SYSTEM_SUCCESS_moves.txt")] = staging;
  json staged = json::parse(RunReport(files, {"--json", share}).out);
  ASSERT_EQ(staged["staging"].size(), 1u) << staged;
  EXPECT_EQ(staged["staging"][0]["lastOutcome"], "all drivers present") << staged["staging"];
  files.files[at("PC4_SYSTEM_SUCCESS_moves.txt")] =
      staging + "Could not install driver Mono 6.1.0.0 from \\\\NEW.\r\n";
  staged = json::parse(RunReport(files, {"--json", share}).out);
  EXPECT_EQ(staged["staging"][0]["lastOutcome"], "drivers missing") << staged["staging"];

  // A folder that cannot be listed may hold a FAILED_ file.
  files.files.clear();
  files.files[at("PC3_cy_SUCCESS_moves.txt")] = SuccessReport(Dated(2, 9), "PC3", "cy");
  files.folders.insert(at("locked"));
  files.unreadableFolders.insert(at("locked"));
  Output hidden = RunReport(files, {share});
  EXPECT_EQ(hidden.code, 1);
  EXPECT_NE(hidden.out.find("1 folder could not be listed: a failure may be hidden"), std::string::npos)
      << hidden.out;
}

// Lines of a decoded debug text that start with `prefix` and hold `part`.
long DebugLines(const std::string& text, const std::string& prefix, const std::string& part) {
  long count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    count += line.rfind(prefix, 0) == 0 && line.find(part) != std::string::npos ? 1 : 0;
  }
  return count;
}

TEST(QuillonReportTest, SlowOrUnreachablePrintServersFromTheDebugFiles) {
  EngineWorld scratch;  // only for its temporary folder
  const std::string share = platform::JoinPath(scratch.ProgramFolder(), "share");
  const std::string reports = platform::JoinPath(share, "reports");
  fs::create_directories(reports);
  const std::string perUser = OutputDocument(reports, "moves.txt", true);
  const auto conditions = [](Client& client, std::vector<std::pair<std::string, platform::sim::SimServerCondition>> list) {
    client.world.state.serverConditions.emplace(list.begin(), list.end());
  };
  // OLDSRV is switched off; FARSRV answers, slowly. Two runs, but the debug
  // file holds only the last; each run also wrote its output file.
  Client alice(share, "PC1", "alice");
  alice.Connect("OLDSRV", "HP4");
  alice.world.AddQueue("FARSRV", "HP9");
  alice.Connect("FARSRV", "HP9");
  conditions(alice, {{"OLDSRV", {false, std::nullopt, {}}}, {"FARSRV", {std::nullopt, 1500u, {}}}});
  alice.world.state.failures.push_back({"AddPrinterConnection", std::nullopt, 1801, {}});
  alice.Run(perUser, {2026, 12, 1, 8, 0, 0});  // failed: runs again
  alice.world.state.failures.clear();
  alice.Run(perUser, {2026, 12, 2, 8, 0, 0});
  EXPECT_GT(alice.world.clock.slept, 0u) << "FARSRV's latency is waited on the recording clock";
  // A server whose name a page must not obey.
  const std::string hostile = "SL<i>&\"OW";
  Client bob(share, "PC2", "bob");
  bob.Connect("OLDSRV", "HP4");
  bob.world.AddQueue(hostile, "Q");
  bob.Connect(hostile, "Q");
  // Its new server is off too: the move is not tried.
  conditions(bob, {{"OLDSRV", {false, std::nullopt, {}}},
                   {"NEWSRV", {false, std::nullopt, {}}},
                   {hostile, {std::nullopt, 1200u, {}}}});
  bob.Run(perUser, {2026, 12, 2, 8, 5, 0});
  // No output file: the debug file alone tells of the run, and the slow new
  // server's lines fall inside the move's.
  Client carol(share, "PC3", "carol");
  carol.Connect("OLDSRV", "HP4");
  conditions(carol, {{"NEWSRV", {std::nullopt, 1100u, {}}}});
  carol.Run(CompleteDocument(), {2026, 12, 2, 8, 10, 0});

  const auto debugText = [&](const std::string& computer) {
    return engine::testing::DecodeDebugBytes(ReadBytes(platform::JoinPath(share, computer + ".debug")));
  };
  const std::string aliceDebug = debugText("PC1"), bobDebug = debugText("PC2"), carolDebug = debugText("PC3");
  ASSERT_EQ(DebugLines(aliceDebug, ">> Print server \\\\OLDSRV does not answer (probe took ", ""), 1) << aliceDebug;
  const long notMade = DebugLines(bobDebug, ">> Not asked, its print server does not answer: ", " \\\\NEWSRV");
  const long farCalls = DebugLines(aliceDebug, ">> Slow spooler call: ", " \\\\FARSRV\\HP9 took 1500 ms");
  const long hostileCalls = DebugLines(bobDebug, ">> Slow spooler call: ", " \\\\" + hostile + "\\Q took 1200 ms");
  const long newCalls = DebugLines(carolDebug, ">> Slow spooler call: ", " \\\\NEWSRV\\HP4 took 1100 ms");
  ASSERT_GT(notMade, 0);
  ASSERT_GT(farCalls, 1);
  ASSERT_GT(hostileCalls, 0);
  ASSERT_GT(newCalls, 0) << carolDebug;
  ASSERT_EQ(DebugLines(aliceDebug + bobDebug + carolDebug, ">> Not asked, ", ""), notMade) << bobDebug;

  // A debug file someone wrote: more servers than one run has, a call of
  // this computer, a name holding " took ", one a terminal must not obey,
  // and times no run takes.
  std::string crafted = "     BEGIN DEBUG     \r\n"
                        ">> Slow spooler call: OpenPrinter Local Fax took 2500 ms\r\n"
                        ">> Slow spooler call: EnumPrinters took 1500 ms\r\n"
                        ">> Slow spooler call: OpenPrinter \\\\FAR SRV\\a took b took 1100 ms\r\n"
                        ">> Slow spooler call: GetPrinter \\\\E\x1b[2JV\\q took 1001 ms\r\n"
                        ">> Slow spooler call: OpenPrinter \\\\FARSRV\\x took 9999999999999 ms\r\n"
                        ">> Slow spooler call: OpenPrinter \\\\FARSRV\\x took -5 ms\r\n";
  for (std::size_t i = 0; i < report::kPrintServersPerRun + 5; ++i) {
    crafted += ">> Print server \\\\D" + std::to_string(i) + " does not answer (probe took 2001 ms)\r\n";
  }
  WriteBytes(platform::JoinPath(share, "PC9.debug"), engine::ScrambleDebugText(crafted));

  platform::HostFileSystem files;
  const report::Summary summary = report::ReadShare(files, share);
  EXPECT_EQ(summary.runs, 5) << "alice's two, bob's, carol's from her debug file alone, PC9's";
  // The move inside carol's debug lines still counts: 1 each for bob, carol
  // and alice's first run, none for the run-once guard's.
  ASSERT_EQ(summary.oldServers.count("OLDSRV"), 1u);
  EXPECT_EQ(summary.oldServers.at("OLDSRV").moves, 4);
  const auto server = [&](const std::string& key) -> const report::PrintServerTrouble& {
    static const report::PrintServerTrouble none;
    auto found = summary.printServers.find(key);
    return found == summary.printServers.end() ? none : found->second;
  };
  const report::PrintServerTrouble& old = server("\\\\OLDSRV");
  EXPECT_EQ(old.name, "\\\\OLDSRV");
  EXPECT_EQ(old.unreachableRuns, 2) << "alice's last run and bob's, each once though an output file holds it too";
  EXPECT_EQ(old.callsNotMade, 0) << "a connection is removed without its server";
  EXPECT_EQ(old.slowCalls, 0);
  const report::PrintServerTrouble& far = server("\\\\FARSRV");
  EXPECT_EQ(far.unreachableRuns, 0);
  EXPECT_EQ(far.slowCalls, farCalls) << "the crafted times are no times";
  EXPECT_EQ(far.longestMs, 1500u);
  EXPECT_EQ(far.totalMs, 1500u * static_cast<std::uint64_t>(farCalls));
  EXPECT_EQ(far.slowRuns, 1);
  const report::PrintServerTrouble& fresh = server("\\\\NEWSRV");
  EXPECT_EQ(fresh.unreachableRuns, 1);
  EXPECT_EQ(fresh.callsNotMade, notMade);
  EXPECT_EQ(fresh.slowCalls, newCalls);
  EXPECT_EQ(fresh.slowRuns, 1);
  EXPECT_EQ(server("\\\\SL<I>&\"OW").name, "\\\\" + hostile);
  EXPECT_EQ(server("\\\\SL<I>&\"OW").slowCalls, hostileCalls);
  EXPECT_EQ(server("\\\\FAR SRV").totalMs, 1100u);
  const report::PrintServerTrouble& local = server("");
  EXPECT_EQ(local.slowCalls, 2);
  EXPECT_EQ(local.longestMs, 2500u);
  EXPECT_EQ(summary.printServerLinesNotShown, 8) << "PC9's servers beyond a run's bound";
  EXPECT_EQ(server("\\\\E\x1b[2JV").totalMs, 1001u);
  EXPECT_EQ(summary.printServers.size(), 4 + report::kPrintServersPerRun);
  ASSERT_FALSE(summary.PrintServersByTrouble().empty());
  EXPECT_EQ(summary.PrintServersByTrouble().front()->name, "\\\\OLDSRV");

  const std::string oldSentence = "\\\\OLDSRV did not answer in 2 runs (0 calls not made)";
  const std::string newSentence = "\\\\NEWSRV did not answer in 1 run (" + report::Grouped(notMade) + (notMade == 1 ? " call" : " calls") +
                                  " not made); " + report::Grouped(newCalls) + (newCalls == 1 ? " slow call" : " slow calls") +
                                  ", longest 1,100 ms, " + report::Grouped(1100 * newCalls) + " ms in all, in 1 run";
  const std::string farSentence = "\\\\FARSRV: " + report::Grouped(farCalls) + " slow calls, longest 1,500 ms, " +
                                  report::Grouped(1500 * farCalls) + " ms in all, in 1 run";
  const Output text = RunReport(files, {share});
  EXPECT_NE(text.out.find("\nSlow or unreachable print servers: "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  SERVER           UNREACHABLE RUNS  CALLS NOT MADE  SLOW CALLS  LONGEST MS  TOTAL MS"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("  (this computer)                 0               0           2       2,500     4,000"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\n  \\\\E^[[2JV "), std::string::npos) << text.out;
  EXPECT_EQ(text.out.find("\x1b"), std::string::npos);
  EXPECT_NE(text.out.find("\n  and 8 more print server lines not shown: more than 1,000 servers, more than 100 "
                          "in one run, or overlong names\n"),
            std::string::npos);

  const Output csv = RunReport(files, {"--csv", share});
  const auto rows = StrictCsv(csv.out);
  std::map<std::string, std::vector<std::string>> byServer;
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), rows[0].size()) << row[0];
    if (row[0] == "print_server") byServer[row[4]] = row;
    if (row[0] == "not_shown") {
      EXPECT_NE(row[14].find("8 more print server lines"), std::string::npos);
    }
  }
  EXPECT_EQ(byServer.size(), summary.printServers.size());
  EXPECT_EQ(byServer["\\\\OLDSRV"], (std::vector<std::string>{"print_server", "", "", "", "\\\\OLDSRV", "", "", "",
                                                               "0", "", "2", "", "", "", oldSentence}));
  EXPECT_EQ(byServer["\\\\FARSRV"][8], "1");
  EXPECT_EQ(byServer["\\\\NEWSRV"][14], newSentence);
  EXPECT_EQ(byServer["\\\\FARSRV"][14], farSentence);
  EXPECT_EQ(byServer[""][14], "(this computer): 2 slow calls, longest 2,500 ms, 4,000 ms in all, in 1 run");
  EXPECT_EQ(byServer.count("\\\\" + hostile), 1u);

  const json parsed = json::parse(RunReport(files, {"--json", share}).out);
  EXPECT_EQ(parsed["notShown"]["printServerLines"], 8);
  ASSERT_EQ(parsed["printServers"].size(), summary.printServers.size());
  EXPECT_EQ(parsed["printServers"][0], (json{{"server", "\\\\OLDSRV"},
                                              {"unreachableRuns", 2},
                                              {"callsNotMade", 0},
                                              {"slowCalls", 0},
                                              {"longestMs", 0},
                                              {"totalMs", 0},
                                              {"slowRuns", 0},
                                              {"summary", oldSentence}}));
  bool sawLocal = false, sawHostile = false;
  for (const json& entry : parsed["printServers"]) {
    sawLocal = sawLocal || (entry["server"].is_null() && entry["slowCalls"] == 2);
    sawHostile = sawHostile || (entry["server"] == "\\\\" + hostile && entry["slowCalls"] == hostileCalls);
  }
  EXPECT_TRUE(sawLocal);
  EXPECT_TRUE(sawHostile);

  const std::string page = report::HtmlPage(summary);
  EXPECT_NE(page.find("<h2>Slow or unreachable print servers</h2>"), std::string::npos);
  EXPECT_NE(page.find("<tr class=\"failed\"><td>\\\\OLDSRV</td><td class=\"number\" data-sort=\"2\">2</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>\\\\SL&lt;i&gt;&amp;&quot;OW</td>"), std::string::npos);
  EXPECT_EQ(page.find("SL<i>"), std::string::npos) << "escaped everywhere on the page";
  EXPECT_NE(page.find("id=\"print-servers-not-shown\">and 8 more print server lines"), std::string::npos);
}

TEST(QuillonReportTest, PilotRingThenEveryoneCountsTheComputersLeftOut) {
  const fs::path share = fs::temp_directory_path() / ("quillon-ring-" + std::to_string(std::random_device{}()));
  fs::create_directories(share);
  auto document = [](int percent) {
    return CompleteDocument({{"FromServers=", "FromServers=OLDSRV"}, {"ToServers=", "ToServers=NEWSRV"}}) +
           "[TARGETING]\r\nUseTargeting=True\r\nRolloutPercent=" + std::to_string(percent) + "\r\n";
  };
  std::vector<std::unique_ptr<Client>> clients;
  int pilots = 0;
  for (int i = 1; i <= 40; ++i) {
    const std::string name = "WS" + std::to_string(200 + i);
    clients.push_back(std::make_unique<Client>(share.string(), name, "user" + std::to_string(i)));
    clients.back()->world.AddQueue("OLDSRV", "HP4");
    clients.back()->Connect("OLDSRV", "HP4");
    pilots += engine::InsideRollout(name, 10) ? 1 : 0;
  }
  ASSERT_GT(pilots, 0);
  platform::HostFileSystem files;
  for (auto& client : clients) client->Run(document(10), {2027, 3, 1, 8, 0, 0});
  report::Summary ring = report::ReadShare(files, share.string());
  EXPECT_EQ(ring.runs, pilots);
  EXPECT_EQ(ring.succeeded, pilots);
  EXPECT_EQ(ring.notTargeted, 40 - pilots);
  EXPECT_EQ(ring.notTargetedByReason, (std::map<std::string, long>{{"outside the roll-out", 40 - pilots}}));
  Output text = RunReport(files, {share.string()});
  EXPECT_NE(text.out.find("Not targeted: " + std::to_string(40 - pilots) + " computers: " +
                          std::to_string(40 - pilots) + " outside the roll-out\n"),
            std::string::npos)
      << text.out;
  for (auto& client : clients) {
    const bool pilot = engine::InsideRollout(*client->world.state.computerName.value(), 10);
    EXPECT_EQ(client->world.PrinterNames()[0], pilot ? "\\\\NEWSRV\\HP4" : "\\\\OLDSRV\\HP4");
  }

  // Raised to everyone: each other computer moves at its next logon, the
  // pilots are already done.
  for (auto& client : clients) client->Run(document(100), {2027, 3, 8, 8, 0, 0});
  report::Summary all = report::ReadShare(files, share.string());
  EXPECT_EQ(all.notTargeted, 0);
  EXPECT_EQ(all.succeeded, 40 - pilots);
  EXPECT_EQ(all.alreadyDone, pilots);
  for (auto& client : clients) EXPECT_EQ(client->world.PrinterNames()[0], "\\\\NEWSRV\\HP4");
  Output json = RunReport(files, {"--json", share.string()});
  EXPECT_NE(json.out.find("\"notTargeted\": {\"total\": 0, \"byReason\": {}}"), std::string::npos);
  fs::remove_all(share);
}

TEST(QuillonReportTest, NotTargetedComputersByReasonInTheCsvAndThePage) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  files.folders.insert(share);
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.files[at("PC5_ann_SUCCESS_moves.txt")] = Report(Dated(1, 9), "PC5", "ann", "\r\n");
  const auto withoutTargeting = files.files;
  // Reasons as anyone who can write to the share could word them: formulas,
  // markup, quotes and separators; only their kind reaches the outputs.
  const std::string hostile[] = {
      "computer =HYPERLINK(\"http://evil\") is outside the 10% roll-out",
      "user <script>alert(1)</script> is in none of the groups \"IT\", Floor2",
      "@SUM(A1),<b>\"x\"</b>",
  };
  files.files[at("PC1.debug")] = engine::ScrambleDebugText(
      "*****     BEGIN DEBUG     *****\r\n>> Not targeted: computer PC1 is outside the 10% roll-out\r\n");
  for (int i = 0; i < 3; ++i) {
    files.files[at("PC" + std::to_string(i + 2) + ".debug")] =
        engine::ScrambleDebugText("*****     BEGIN DEBUG     *****\r\n>> Not targeted: " + hostile[i] + "\r\n");
  }
  const report::Summary summary = report::ReadShare(files, share);
  ASSERT_EQ(summary.notTargeted, 4);
  EXPECT_EQ(summary.runs, 1);

  Output csv = RunReport(files, {"--csv", share});
  std::vector<std::string> counted;
  for (const auto& row : StrictCsv(csv.out)) {
    ASSERT_EQ(row.size(), 15u) << row[0];
    if (row[0] == "summary") {
      EXPECT_EQ(row[8], "1") << "not targeted is no run";
    } else if (row[0] == "not_targeted") {
      counted.push_back(row[14] + "=" + row[8]);
    }
  }
  EXPECT_EQ(counted, (std::vector<std::string>{"other=1", "outside the roll-out=2", "user groups=1"}));
  const std::string page = report::HtmlPage(summary);
  EXPECT_NE(page.find("<p class=\"muted\" id=\"not-targeted-total\">4 computers left out by the "
                      "document's targeting at their last run"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><td>outside the roll-out</td><td class=\"number\" data-sort=\"2\">2</td></tr>\n"
                      "<tr><td>user groups</td><td class=\"number\" data-sort=\"1\">1</td></tr>"),
            std::string::npos)
      << page;
  for (const char* leak : {"HYPERLINK", "<script>alert", "SUM(A1)", "evil"}) {
    EXPECT_EQ(csv.out.find(leak), std::string::npos) << leak;
    EXPECT_EQ(page.find(leak), std::string::npos) << leak;
  }

  // Without runs left out, both read as before.
  files.files = withoutTargeting;
  EXPECT_EQ(RunReport(files, {"--csv", share}).out.find("not_targeted"), std::string::npos);
  EXPECT_EQ(report::HtmlPage(report::ReadShare(files, share)).find("Not targeted"), std::string::npos);
}

}  // namespace
}  // namespace quillon::tools
