// The settings log a read of a migration document ends with, line by line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/document_reader_test_support.h"

namespace quillon::document {
namespace {

using namespace reader_tests;

TEST(DocumentReaderTest, SettingsLogIsExact) {
  MigrationDocument d;
  d.UseActiveDirectory = true;
  d.DomainName = "corp.example";
  d.ServerPairs = {{"OLD", "NEW"}, {"", ""}};
  d.PrinterPairs = {{"\\\\A\\P", "\\\\B\\P"}};
  d.MixedPairs = {{"FS", "FP", "TP", "TS"}};
  d.ServerPort = "25";
  d.EmailTo = {"a@example", "b@example"};
  d.SuccessMessage = "Done.^CRLFBye.";
  d.FileOutputPath = "C:\\out";
  d.CreateWebLaunchPage = true;
  d.MDACOption = -3;
  d.PopulateRules = {{"PS", "PP"}};
  d.PruneRules = {{"RS", ""}, {"", "RP"}};
  d.DeleteAllNonNetworked = true;
  d.PrinterDrivers = {{"DP", "DN", "DF", "PN"}};
  d.DriverSharePath = "\\\\srv\\drivers";
  d.DefaultType = 5;
  d.DefaultPrinterName = "not logged";
  d.DebugOn = true;
  std::string log;
  LogDocumentSettings(d, [&](const std::string& line) { log += line + "\n"; });
  EXPECT_EQ(log,
            ">> UseActiveDirectory: True\n"
            ">> UseManualDefinitions: False\n"
            ">> AlwaysRun: False\n"
            ">> ShowProgress: False\n"
            ">> DomainName: corp.example\n"
            ">> Server to Server Pairs <<\n"
            ">> From Server: OLD\n"
            ">> To Server: NEW\n"
            ">> From Server: \n"
            ">> To Server: \n"
            ">> Printer to Printer Pairs <<\n"
            ">> From Printer: \\\\A\\P\n"
            ">> To Printer: \\\\B\\P\n"
            ">> Mixed to Mixed Pairs <<\n"
            ">> From Server: FS\n"
            ">> From Printer: FP\n"
            ">> To Server: TS\n"
            ">> To Printer: TP\n"
            ">> UseSMTP: False\n"
            ">> SMTPServerNameOrIP: \n"
            ">> ServerPort: 25\n"
            ">> EmailSubject: \n"
            ">> Email To Addresses <<\n"
            ">> To Email Address: a@example\n"
            ">> To Email Address: b@example\n"
            ">> EmailFrom: \n"
            ">> UseFileOutput: False\n"
            ">> FileOutputPath: C:\\out\n"
            ">> FileOutputName: \n"
            ">> IncludeComputerName: False\n"
            ">> IncludeOutcome: False\n"
            ">> WriteToEventLog: False\n"
            ">> UseClientPopup: False\n"
            ">> UseSuccessClientPopup: False\n"
            ">> SuccessMessage: Done.^CRLFBye.\n"
            ">> UseFailureClientPopup: False\n"
            ">> FailureMessage: \n"
            ">> DeploymentPath: \n"
            ">> CreateHTMLLaunchPage: True\n"
            ">> CreateBatchFile: False\n"
            ">> IncludeMDAC: False\n"
            ">> MDACOption: -3\n"
            ">> Populate <<\n"
            ">> Server Name: PS\n"
            ">> Printer Name: PP\n"
            ">> Prune <<\n"
            ">> Server Name: RS\n"
            ">> Printer Name: \n"
            ">> Server Name: \n"
            ">> Printer Name: RP\n"
            ">> Delete AD Orphans: False\n"
            ">> Delete All Non-Networked: True\n"
            ">> Printer Driver <<\n"
            ">> Printer Name: DP\n"
            ">> Driver Name: DN\n"
            ">> Driver File Name: DF\n"
            ">> Port Name: PN\n"
            ">> Driver Share Path: \\\\srv\\drivers\n"
            ">> DebugOn: True\n");
}

TEST(DocumentReaderTest, ReadEndsWithTheSettingsLog) {
  std::vector<std::string> lines;
  MigrationDocument d;
  const std::string text = CompleteWith({{"SET_DEFAULT", "DefaultType", "99999"}});
  ReadDocumentText(&text, d, [&](const std::string& l) { lines.push_back(l); });
  std::vector<std::string> logged;
  LogDocumentSettings(d, [&](const std::string& l) { logged.push_back(l); });
  ASSERT_EQ(lines.size(), logged.size() + 1);
  EXPECT_EQ(lines.front().rfind("ERROR: ", 0), 0u);
  EXPECT_TRUE(std::equal(logged.begin(), logged.end(), lines.begin() + 1));
}

}  // namespace
}  // namespace quillon::document
