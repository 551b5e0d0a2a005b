// Tests of the `quillon report` command: its arguments, its output forms
// (text, CSV, JSON, the page) and its progress, and what the forms make of a
// hostile share.
#include "tools/quillon/report_test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace quillon::tools {
namespace {

using namespace report_tests;

// Three users' runs, an unreadable file, an unlisted folder below, and
// beside the share a file and an unlisted folder to name instead of it.
class QuillonReportCommandShare : public ::testing::Test {
 protected:
  void SetUp() override {
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
  }

  std::string at(const std::string& name) const { return platform::JoinPath(share, name); }

  platform::MemoryFileSystem files;
  const std::string share = "share";
};

TEST_F(QuillonReportCommandShare, HelpAndArgumentsItRefuses) {
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
}

TEST_F(QuillonReportCommandShare, CsvIsOneTableEveryRowWithTheHeadersFields) {
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
}

TEST_F(QuillonReportCommandShare, JsonHasTheShapeScriptsRelyOn) {
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
}

TEST_F(QuillonReportCommandShare, ThePageIsWrittenThroughTheFilesAndStandardOutputSaysSo) {
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
}

TEST_F(QuillonReportCommandShare, ProgressOnATerminalOnlyOnStandardErrorWipedBeforeTheReport) {
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

TEST_F(QuillonReportEngineRuns, TheTextSaysTheSameTheSkippedFilesFirst) {
  const Output& text = textRun;
  const bool utf8Host = platform::NarrowCharsetName() == "UTF-8";
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
                          InReports("PC002_bob_FAILED_moves.txt") +
                          "\n    Error (1801) populating network printer: \\\\NEWSRV\\HP6\n      What error 1801 means: "),
            std::string::npos)
      << text.out;
}

TEST(QuillonReportCommandTest, TheTextOfAHostileShareNamesWhatItLeftOutAndObeysNoControl) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const std::string share = "share";
  const std::string c1 = HostileC1();
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
}

TEST(QuillonReportCommandTest, TheCsvOfAHostileShareIsStrictAndBeginsNoCellAsAFormula) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const std::string share = "share";
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
}

TEST(QuillonReportCommandTest, TheJsonOfAHostileShareSaysWhatWasNotShown) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const std::string share = "share";
  const json jsonReport = json::parse(RunReport(files, {"--json", share}).out);
  EXPECT_EQ(jsonReport["notShown"], (json{{"runsOfUsers", 0},
                                               {"failedRunsOfUsers", 0},
                                               {"moves", 5301},
                                               {"driverNeeds", 0},
                                               {"stagingRuns", 0},
                                               {"printServerLines", 0}}));
  EXPECT_EQ(jsonReport["files"]["failedUnread"], 1);
  EXPECT_EQ(jsonReport["exit"], 1);
}

TEST(QuillonReportCommandTest, ThePageOfAHostileShareIsBounded) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const std::string share = "share";
  const report::Summary summary = report::ReadShare(files, share);
  const std::string page = report::HtmlPage(summary);
  EXPECT_NE(page.find("<p class=\"muted\" id=\"users-not-shown\">and 120 more computers and users not shown on "
                      "this page (more than 5,000)"),
            std::string::npos);
  EXPECT_NE(page.find("id=\"moves-not-shown\">and 5,301 more moves"), std::string::npos);
  EXPECT_NE(page.find("id=\"failed-unread\">1 file named FAILED_"), std::string::npos);
  EXPECT_LT(page.size(), 5'000'000u);
}

}  // namespace
}  // namespace quillon::tools
