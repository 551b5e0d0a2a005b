// Tests of the share walk: which files it finds, reads, passes over and
// names, links and pipes never followed or waited on, bounds on what it
// reads, and folders it cannot list.
#include "tools/quillon/report_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/core/debug_log.h"
#include "platform/host/host_file_system.h"
#include "platform/text.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

using namespace report_tests;
namespace fs = std::filesystem;

TEST_F(QuillonReportEngineRuns, FilesFoundReadIgnoredSkippedAndReadInPart) {
  EXPECT_EQ(jsonRun.code, 1) << jsonRun.err;
  EXPECT_EQ(jsonRun.err, "");
  EXPECT_EQ(report["files"]["outputFiles"], 7);  // alice, bob, site, hank, judy, frank, kim
  EXPECT_EQ(report["files"]["debugFiles"], 6);
  EXPECT_EQ(report["files"]["mailBackups"], 1);
  EXPECT_EQ(report["files"]["ignored"], 3);
  EXPECT_EQ(report["files"]["skippedSummary"], skipped);
  EXPECT_EQ(report["files"]["failedUnread"], 1) << "ivan's FAILED_ file holds no report";
  EXPECT_EQ(report["files"]["readInPart"], 2);
  EXPECT_EQ(report["files"]["repaired"], platform::NarrowCharsetName() == "UTF-8" ? 1 : 0);
  std::map<std::string, std::string> issues;
  for (const json& issue : report["fileIssues"]) issues[issue["file"]] = issue["issue"];
  std::map<std::string, std::string> expectedIssues = {
      {"PC012.debug", "not a debug file of the engine"},
      {InReports("PC007_gina_SUCCESS_moves.txt"), "empty"},
      {InReports("PC009_ivan_FAILED_moves.txt"), "not a report of the engine"},
      {InReports("PC008_hank_SUCCESS_moves.txt"), "cut short, read up to the cut"},
      {InReports("PC010_judy_SUCCESS_moves.txt"), "binary junk, read around it"}};
#ifndef _WIN32
  expectedIssues[InReports("PC013_lou_SUCCESS_moves.txt")] = "not a regular file";
  expectedIssues[InReports("up")] = "link, not followed";
#endif
  // Where the host's own text is UTF-8, a Windows client's bytes are not.
  const bool utf8Host = platform::NarrowCharsetName() == "UTF-8";
  if (utf8Host) {
    expectedIssues[InReports("PC011_kim_SUCCESS_moves.txt")] = "not UTF-8, read as Windows-1252";
  }
  EXPECT_EQ(issues, expectedIssues);
}

#ifndef _WIN32
// A file only its owner may read, in a report's form, and links named as
// the engine's files to it, to a folder out of the share and to an endless
// device; a pipe named as a failed run.
class QuillonReportLinkedShare : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(share);
    WriteBytes(secret, SuccessReport(Dated(1, 9), "SECRETPC", "payroll-2026"));
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(secret.c_str(), platform::JoinPath(share, "PC1_eve_SUCCESS_moves.txt").c_str()), 0);
    ASSERT_EQ(::symlink(scratch.ProgramFolder().c_str(), platform::JoinPath(share, "up").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", platform::JoinPath(share, "PC2.debug").c_str()), 0);
    ASSERT_EQ(::mkfifo(platform::JoinPath(share, "PC3_eve_FAILED_moves.txt").c_str(), 0600), 0);
    WriteBytes(platform::JoinPath(share, "PC4_ann_SUCCESS_moves.txt"), SuccessReport(Dated(2, 9), "PC4", "ann"));
  }

  EngineWorld scratch;
  const std::string share = platform::JoinPath(scratch.ProgramFolder(), "share");
  const std::string secret = platform::JoinPath(scratch.ProgramFolder(), "private.txt");
};

TEST_F(QuillonReportLinkedShare, LinksAndPipesAreNamedNeverFollowedInEveryForm) {
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
}

TEST_F(QuillonReportLinkedShare, ThePageIsNeverWrittenOverAPipeOrALink) {
  platform::HostFileSystem files;
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
}

TEST_F(QuillonReportLinkedShare, ASwappedPipeIsNotWaitedOnAndFilesBeyondTheBoundsAreSaidSo) {
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

TEST(QuillonReportWalkTest, AFolderThatCannotBeListedMayHideAFailure) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // A folder that cannot be listed may hold a FAILED_ file.
  files.files[at("PC3_cy_SUCCESS_moves.txt")] = SuccessReport(Dated(2, 9), "PC3", "cy");
  files.folders.insert(at("locked"));
  files.unreadableFolders.insert(at("locked"));
  Output hidden = RunReport(files, {share});
  EXPECT_EQ(hidden.code, 1);
  EXPECT_NE(hidden.out.find("1 folder could not be listed: a failure may be hidden"), std::string::npos)
      << hidden.out;
}

TEST(QuillonReportWalkTest, AnEndlessBackUpIsReadInPartAndAnUnreadFailedFileCounted) {
  platform::MemoryFileSystem files;
  FillHostileShare(files);
  const report::Summary summary = report::ReadShare(files, "share");
  EXPECT_NE(std::find(summary.issues.files.begin(), summary.issues.files.end(),
                      std::make_pair(std::string("PC9_12.08.2026_18.22.18_EmailFailure.txt"),
                                     report::FileIssue::TooManyRuns)),
            summary.issues.files.end());
  EXPECT_EQ(summary.failedFilesUnread, 1);
}

}  // namespace
}  // namespace quillon::tools
