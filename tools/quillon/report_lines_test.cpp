// Tests of reading a share's files line by line: a line of text damaged into
// control characters, an overlong line, and a Windows client's bytes.
#include "tools/quillon/report_test_support.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace quillon::tools {
namespace {

using namespace report_tests;

TEST(QuillonReportLinesTest, AReportLineTurnedIntoTerminalCommandsCountsAsAFailure) {
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
}

TEST(QuillonReportLinesTest, AnOverlongLineIsKeptCutAtTheBoundAndMarked) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const report::Summary summary = report::ReadShare(files, "share");
  const report::UserSummary& formula = summary.users.begin()->second;
  EXPECT_EQ(formula.user, "=HYPERLINK(1)");
  ASSERT_EQ(formula.lastProblems.size(), 3u);
  EXPECT_EQ(formula.lastProblems[2].line.size(), report::kLongestKeptLine);
  EXPECT_EQ(formula.lastProblems[2].line.substr(report::kLongestKeptLine - 4), "w...");
}

// A Windows client's bytes, which are no UTF-8, reach the outputs as the
// characters the client meant.
TEST_F(QuillonReportEngineRuns, AWindowsClientsBytesAreReadInItsCodePage) {
  EXPECT_EQ((*UserNamed(report, "kim"))["problems"][0]["line"],
            "Error (1797) populating network printer: \\\\NEWSRV\\\xC3\x89tiquettes");
}

}  // namespace
}  // namespace quillon::tools
