// Tests of the summary's counting: each run once, each user's last run,
// runs per day and by old server, the drivers users could not get and the
// staging runs per computer, the bounds of a hostile share, and the runs the
// document's targeting left out.
#include "tools/quillon/report_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/debug_log.h"
#include "engine/core/targeting.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/host_file_system.h"

namespace quillon::tools {
namespace {

using namespace report_tests;
namespace fs = std::filesystem;
using engine::testing::CompleteDocument;

TEST_F(QuillonReportEngineRuns, EachRunCountsOnceThoughTwoFilesHoldIt) {
  // Carol's run counts once although two files hold it; every other computer's
  // debug file holds a run its output file already holds, except dave's.
  EXPECT_EQ(report["runs"], (json{{"total", 12}, {"succeeded", 6}, {"failed", 4}, {"alreadyDone", 2}}));
  EXPECT_EQ(report["computers"], 8);
  EXPECT_EQ(report["usersFailing"], 3);
}

TEST_F(QuillonReportEngineRuns, EachUsersLastRunIsTheLatestByItsTime) {
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
  }}

TEST_F(QuillonReportEngineRuns, RunsPerDayTheUnknownDayLast) {
  // Per day; dave's debug file is dated by when it was written.
  std::map<std::string, json> days;
  for (const json& day : report["days"]) {
    days[day["day"].is_null() ? "unknown" : day["day"].get<std::string>()] = day;
  }
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportEngineRuns, MovesAndFailedMovesByOldServer) {
  EXPECT_EQ(report["oldServers"],
            json::parse(R"([{"server": "OLDSRV", "moves": 7, "failedMoves": 2},
                            {"server": "OLDSRV2", "moves": 1, "failedMoves": 1}])"));
}

// Logon runs refused a driver, then the start-up staging runs of the same
// computers: the users' rows and totals hold only the users' runs, each
// driver is counted by the users it still holds back, and each computer's
// staging is one row of its own, in every form.
class QuillonReportStaging : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch = std::make_unique<EngineWorld>();
    share = platform::JoinPath(scratch->ProgramFolder(), "share");
    const std::string reports = platform::JoinPath(share, "reports");
    fs::create_directories(reports);
    const std::string perUser = OutputDocument(reports, "moves.txt", true);
    const auto restricted = [](Client& client) {
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
    const auto stage = [](Client& client, platform::LocalTime at) {
      client.world.clock.now = at;
      client.world.state.elevated = true;
      auto context = client.world.NewContext();
      const int status = engine::RunStagingEngine(*context, client.world.Path("doc.ini"));
      client.world.state.elevated = false;
      return status;
    };
    ann = std::make_unique<Client>(share, "PC1", "ann");
    restricted(*ann);
    ann->Run(perUser, {2026, 12, 1, 8, 0, 0});
    annStaged = stage(*ann, {2026, 12, 2, 7, 0, 0});
    ann->Run(perUser, {2026, 12, 2, 8, 0, 0});  // moved now
    bob = std::make_unique<Client>(share, "PC2", "bob");
    restricted(*bob);
    bob->Run(perUser, {2026, 12, 1, 8, 5, 0});
    bob->world.state.failures.push_back({"InstallDriverFromServer", std::nullopt, 1722, {}});
    bobStaged = stage(*bob, {2026, 12, 2, 7, 0, 0});
    bob->Run(perUser, {2026, 12, 2, 8, 5, 0});  // still refused

    platform::HostFileSystem files;
    summary = report::ReadShare(files, share);
  }

  static void TearDownTestSuite() {
    ann.reset(), bob.reset();
    scratch.reset();
  }

  static inline const std::string driver = "Color <b>&Drv";  // the page must escape it
  static inline std::unique_ptr<EngineWorld> scratch;  // only for its temporary folder
  static inline std::string share;
  static inline std::unique_ptr<Client> ann, bob;
  static inline int annStaged = -1, bobStaged = -1;  // the staging runs' exit codes
  static inline report::Summary summary;
};

TEST_F(QuillonReportStaging, UsersRunsApartFromStagingRunsAndDriversByTheUsersHeldBack) {
  EXPECT_EQ(annStaged, 0);
  EXPECT_EQ(bobStaged, 1);
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
}

TEST_F(QuillonReportStaging, TheTextHasTheDriversAndARowPerStagingComputer) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportStaging, TheJsonHasTheDriversAndTheStagingComputers) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportStaging, TheCsvHasStagingAndDriverRows) {
  platform::HostFileSystem files;
  const Output csv = RunReport(files, {"--csv", share});
  EXPECT_NE(csv.out.find("\r\nstaging,PC2,SYSTEM,,,"), std::string::npos) << csv.out;
  EXPECT_NE(csv.out.find("\r\ndriver_needed,,,,\\\\NEWSRV,,,,3,,1,,,,1 user could not get driver "),
            std::string::npos)
      << csv.out;
}

TEST_F(QuillonReportStaging, ThePageEscapesTheDriversName) {
  const std::string page = report::HtmlPage(summary);
  EXPECT_EQ(page.find(driver), std::string::npos) << "escaped everywhere on the page";
  EXPECT_NE(page.find("1 user could not get driver Color &lt;b&gt;&amp;Drv from \\\\NEWSRV"),
            std::string::npos);
  EXPECT_NE(page.find("<table id=\"staging\""), std::string::npos);
}

TEST(QuillonReportSummaryTest, AHostileShareIsCountedWholeAndListedWithinTheBounds) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  report::Summary summary = report::ReadShare(files, "share");
  EXPECT_EQ(summary.runs, 5'104 + static_cast<long>(report::kRunsPerBackup));  EXPECT_EQ(summary.days.at(report::kUnknownDay).Total(), 1) << "-1/-1/2026 is no day";
  EXPECT_EQ(summary.oldServers.size(), report::kKeptServers);
  // 1,200 moves of one run: 1,000 counted, of them 999 by servers kept after
  // +EVIL; then 5,100 users' servers, none kept.
  EXPECT_EQ(summary.movesNotShown, 200 + 1 + 5'100);}

TEST(QuillonReportSummaryTest, PilotRingThenEveryoneCountsTheComputersLeftOut) {
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

TEST(QuillonReportSummaryTest, NotTargetedComputersByReasonInTheCsvAndThePage) {
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
