// Tests of what one run says: the engine's stored verdict and the problems
// of a run, a staging run's failures, and the print servers a debug file
// found unreachable or slow, in every output form.
#include "tools/quillon/report_test_support.h"
#include "tools/quillon/report_run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/debug_log.h"
#include "platform/host/host_file_system.h"

namespace quillon::tools {
namespace {

using namespace report_tests;
namespace fs = std::filesystem;

using engine::testing::CompleteDocument;

TEST_F(QuillonReportEngineRuns, TheEnginesStoredVerdictIsTheReports) {
  // The engine's own verdict, stored for its run-once guard, is the report's.
  for (const auto& [client, stored] : {std::pair{"alice", "True"}, std::pair{"bob", "False"},
                                       std::pair{"carol", "True"}, std::pair{"dave", "False"},
                                       std::pair{"judy", "True"}}) {
    EXPECT_EQ(StoredOutcome(clients.at(client)->world), stored);
  }
}

TEST_F(QuillonReportEngineRuns, TheLastRunsProblemsWithTheirExplanations) {
  const json& bobsRun = *UserNamed(report, "bob");
  EXPECT_EQ(bobsRun["lastFile"], InReports("PC002_bob_FAILED_moves.txt"));
  ASSERT_EQ(bobsRun["problems"].size(), 2u);
  EXPECT_EQ(bobsRun["problems"][0]["severity"], "failure");
  EXPECT_EQ(bobsRun["problems"][0]["line"], "Error (1801) populating network printer: \\\\NEWSRV\\HP6");
  EXPECT_EQ(bobsRun["problems"][0]["explanation"].get<std::string>().rfind("What error 1801 means: ", 0), 0u);
  EXPECT_EQ(bobsRun["problems"][1]["severity"], "warning");
  EXPECT_EQ(bobsRun["problems"][1]["line"].get<std::string>().rfind("Not removing \\\\OLDSRV\\HP6", 0), 0u);
  EXPECT_EQ((*UserNamed(report, "carol"))["mailFailures"], 1);
  EXPECT_EQ((*UserNamed(report, "carol"))["lastFile"], InReports("site.txt"));
  const json& davesRun = *UserNamed(report, "", "PC004");
  EXPECT_EQ(davesRun["lastFile"], "PC004.debug");
  ASSERT_FALSE(davesRun["problems"].empty());
  EXPECT_EQ(davesRun["problems"][0]["line"], "ERROR: Accessing Active Directory. <<");
  EXPECT_EQ(davesRun["problems"][0]["severity"], "failure");}

// The file a debug file says its run wrote: the whole name after the line's
// words (its first letter used to be cut off), and a line that names none
// read without fault.
TEST(QuillonReportRunTest, TheReportFileADebugLineNamesIsReadWhole) {
  report::Run run;
  report::DebugMoves moves;
  report::AddDebugLine(run, moves, ">> Writing to notification output file: Moves.txt");
  report::AddDebugLine(run, moves, ">> Writing to back-up file: \\\\FS\\q$\\PC1_alice.eml");
  EXPECT_EQ(run.wroteOutput, "moves.txt");
  EXPECT_EQ(run.wroteBackup, "pc1_alice.eml");
  report::AddDebugLine(run, moves, ">> Writing to notification output file: ");
  report::AddDebugLine(run, moves, ">> Writing to back-up file: ");
  EXPECT_EQ(run.wroteOutput, "");
  EXPECT_EQ(run.wroteBackup, "");
}

TEST(QuillonReportRunTest, AStagingRunFailsOnAMissingDriverNotOnWhatItOnlyTells) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // A staging run fails on a driver that is not there, not on what it only
  // tells: the directory's printers, a profile it could not read, a server
  // the document does not name.
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

// Three clients whose runs meet a print server switched off and slow ones,
// and a debug file someone wrote, read once for all its tests.
class QuillonReportPrintServers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch = std::make_unique<EngineWorld>();
    share = platform::JoinPath(scratch->ProgramFolder(), "share");
    const std::string reports = platform::JoinPath(share, "reports");
    fs::create_directories(reports);
    const std::string perUser = OutputDocument(reports, "moves.txt", true);
    const auto conditions = [](Client& client, std::vector<std::pair<std::string, platform::sim::SimServerCondition>> list) {
      client.world.state.serverConditions.emplace(list.begin(), list.end());
    };
    // OLDSRV is switched off; FARSRV answers, slowly. Two runs, but the debug
    // file holds only the last; each run also wrote its output file.
    alice = std::make_unique<Client>(share, "PC1", "alice");
    alice->Connect("OLDSRV", "HP4");
    alice->world.AddQueue("FARSRV", "HP9");
    alice->Connect("FARSRV", "HP9");
    conditions(*alice, {{"OLDSRV", {false, std::nullopt, {}}}, {"FARSRV", {std::nullopt, 1500u, {}}}});
    alice->world.state.failures.push_back({"AddPrinterConnection", std::nullopt, 1801, {}});
    alice->Run(perUser, {2026, 12, 1, 8, 0, 0});  // failed: runs again
    alice->world.state.failures.clear();
    alice->Run(perUser, {2026, 12, 2, 8, 0, 0});
    // A server whose name a page must not obey.
    bob = std::make_unique<Client>(share, "PC2", "bob");
    bob->Connect("OLDSRV", "HP4");
    bob->world.AddQueue(hostile, "Q");
    bob->Connect(hostile, "Q");
    // Its new server is off too: the move is not tried.
    conditions(*bob, {{"OLDSRV", {false, std::nullopt, {}}},
                     {"NEWSRV", {false, std::nullopt, {}}},
                     {hostile, {std::nullopt, 1200u, {}}}});
    bob->Run(perUser, {2026, 12, 2, 8, 5, 0});
    // No output file: the debug file alone tells of the run, and the slow new
    // server's lines fall inside the move's.
    carol = std::make_unique<Client>(share, "PC3", "carol");
    carol->Connect("OLDSRV", "HP4");
    conditions(*carol, {{"NEWSRV", {std::nullopt, 1100u, {}}}});
    carol->Run(CompleteDocument(), {2026, 12, 2, 8, 10, 0});
    const auto debugText = [&](const std::string& computer) {
      return engine::testing::DecodeDebugBytes(ReadBytes(platform::JoinPath(share, computer + ".debug")));
    };
    aliceDebug = debugText("PC1"), bobDebug = debugText("PC2"), carolDebug = debugText("PC3");
    notMade = DebugLines(bobDebug, ">> Not asked, its print server does not answer: ", " \\\\NEWSRV");
    farCalls = DebugLines(aliceDebug, ">> Slow spooler call: ", " \\\\FARSRV\\HP9 took 1500 ms");
    hostileCalls = DebugLines(bobDebug, ">> Slow spooler call: ", " \\\\" + hostile + "\\Q took 1200 ms");
    newCalls = DebugLines(carolDebug, ">> Slow spooler call: ", " \\\\NEWSRV\\HP4 took 1100 ms");

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
    summary = report::ReadShare(files, share);
    oldSentence = "\\\\OLDSRV did not answer in 2 runs (0 calls not made)";
    newSentence = "\\\\NEWSRV did not answer in 1 run (" + report::Grouped(notMade) + (notMade == 1 ? " call" : " calls") +
                  " not made); " + report::Grouped(newCalls) + (newCalls == 1 ? " slow call" : " slow calls") +
                  ", longest 1,100 ms, " + report::Grouped(1100 * newCalls) + " ms in all, in 1 run";
    farSentence = "\\\\FARSRV: " + report::Grouped(farCalls) + " slow calls, longest 1,500 ms, " +
                  report::Grouped(1500 * farCalls) + " ms in all, in 1 run";
  }

  static void TearDownTestSuite() {
    alice.reset(), bob.reset(), carol.reset();
    scratch.reset();
  }

  static const report::PrintServerTrouble& Server(const std::string& key) {
    static const report::PrintServerTrouble none;
    auto found = summary.printServers.find(key);
    return found == summary.printServers.end() ? none : found->second;
  }

  // A server whose name a page must not obey.
  static inline const std::string hostile = "SL<i>&\"OW";
  static inline std::unique_ptr<EngineWorld> scratch;  // only for its temporary folder
  static inline std::string share;
  static inline std::unique_ptr<Client> alice, bob, carol;
  // The decoded debug files and how many lines of each kind the engine wrote.
  static inline std::string aliceDebug, bobDebug, carolDebug;
  static inline long notMade = 0, farCalls = 0, hostileCalls = 0, newCalls = 0;
  static inline report::Summary summary;
  static inline std::string oldSentence, newSentence, farSentence;
};

TEST_F(QuillonReportPrintServers, TheEngineWroteItsProbeSkipAndSlowCallLines) {
  EXPECT_GT(alice->world.clock.slept, 0u) << "FARSRV's latency is waited on the recording clock";
  ASSERT_EQ(DebugLines(aliceDebug, ">> Print server \\\\OLDSRV does not answer (probe took ", ""), 1) << aliceDebug;
  ASSERT_GT(notMade, 0);
  ASSERT_GT(farCalls, 1);
  ASSERT_GT(hostileCalls, 0);
  ASSERT_GT(newCalls, 0) << carolDebug;
  ASSERT_EQ(DebugLines(aliceDebug + bobDebug + carolDebug, ">> Not asked, ", ""), notMade) << bobDebug;
}

TEST_F(QuillonReportPrintServers, EachServerCountedOnceARunWithinTheBounds) {
  EXPECT_EQ(summary.runs, 5) << "alice's two, bob's, carol's from her debug file alone, PC9's";
  // The move inside carol's debug lines still counts: 1 each for bob, carol
  // and alice's first run, none for the run-once guard's.
  ASSERT_EQ(summary.oldServers.count("OLDSRV"), 1u);
  EXPECT_EQ(summary.oldServers.at("OLDSRV").moves, 4);
  const report::PrintServerTrouble& old = Server("\\\\OLDSRV");
  EXPECT_EQ(old.name, "\\\\OLDSRV");
  EXPECT_EQ(old.unreachableRuns, 2) << "alice's last run and bob's, each once though an output file holds it too";
  EXPECT_EQ(old.callsNotMade, 0) << "a connection is removed without its server";
  EXPECT_EQ(old.slowCalls, 0);
  const report::PrintServerTrouble& far = Server("\\\\FARSRV");
  EXPECT_EQ(far.unreachableRuns, 0);
  EXPECT_EQ(far.slowCalls, farCalls) << "the crafted times are no times";
  EXPECT_EQ(far.longestMs, 1500u);
  EXPECT_EQ(far.totalMs, 1500u * static_cast<std::uint64_t>(farCalls));
  EXPECT_EQ(far.slowRuns, 1);
  const report::PrintServerTrouble& fresh = Server("\\\\NEWSRV");
  EXPECT_EQ(fresh.unreachableRuns, 1);
  EXPECT_EQ(fresh.callsNotMade, notMade);
  EXPECT_EQ(fresh.slowCalls, newCalls);
  EXPECT_EQ(fresh.slowRuns, 1);
  EXPECT_EQ(Server("\\\\SL<I>&\"OW").name, "\\\\" + hostile);
  EXPECT_EQ(Server("\\\\SL<I>&\"OW").slowCalls, hostileCalls);
  EXPECT_EQ(Server("\\\\FAR SRV").totalMs, 1100u);
  const report::PrintServerTrouble& local = Server("");
  EXPECT_EQ(local.slowCalls, 2);
  EXPECT_EQ(local.longestMs, 2500u);
  EXPECT_EQ(summary.printServerLinesNotShown, 8) << "PC9's servers beyond a run's bound";
  EXPECT_EQ(Server("\\\\E\x1b[2JV").totalMs, 1001u);
  EXPECT_EQ(summary.printServers.size(), 4 + report::kPrintServersPerRun);
  ASSERT_FALSE(summary.PrintServersByTrouble().empty());
  EXPECT_EQ(summary.PrintServersByTrouble().front()->name, "\\\\OLDSRV");
}

TEST_F(QuillonReportPrintServers, TheTextListsThemMostTroubleFirstWithoutControls) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportPrintServers, TheCsvHasARowPerServerAndTheLinesNotShown) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportPrintServers, TheJsonHasAnEntryPerServerThisComputersUnnamed) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportPrintServers, ThePageEscapesEveryServersName) {
  const std::string page = report::HtmlPage(summary);
  EXPECT_NE(page.find("<h2>Slow or unreachable print servers</h2>"), std::string::npos);
  EXPECT_NE(page.find("<tr class=\"failed\"><td>\\\\OLDSRV</td><td class=\"number\" data-sort=\"2\">2</td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td>\\\\SL&lt;i&gt;&amp;&quot;OW</td>"), std::string::npos);
  EXPECT_EQ(page.find("SL<i>"), std::string::npos) << "escaped everywhere on the page";
  EXPECT_NE(page.find("id=\"print-servers-not-shown\">and 8 more print server lines"), std::string::npos);
}

}  // namespace
}  // namespace quillon::tools
