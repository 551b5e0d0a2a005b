#include "engine/core/run_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_status.h"
#include "platform/file_system.h"

namespace quillon::engine {
namespace {

using testing::Banner;
using testing::CompleteDocument;

const std::string kStars(80, '*');

std::string SettingsLog() {
  return
      ">> UseActiveDirectory: False\r\n>> UseManualDefinitions: True\r\n>> AlwaysRun: False\r\n"
      ">> ShowProgress: False\r\n>> DomainName: \r\n>> Server to Server Pairs <<\r\n"
      ">> From Server: OLDSRV\r\n>> To Server: NEWSRV\r\n>> From Server: \r\n>> To Server: \r\n"
      ">> Printer to Printer Pairs <<\r\n>> From Printer: \r\n>> To Printer: \r\n"
      ">> Mixed to Mixed Pairs <<\r\n>> From Server: \r\n>> From Printer: \r\n"
      ">> To Server: \r\n>> To Printer: \r\n>> UseSMTP: False\r\n>> SMTPServerNameOrIP: \r\n"
      ">> ServerPort: 25\r\n>> EmailSubject: \r\n>> Email To Addresses <<\r\n"
      ">> To Email Address: \r\n>> EmailFrom: \r\n>> UseFileOutput: False\r\n"
      ">> FileOutputPath: \r\n>> FileOutputName: \r\n>> IncludeComputerName: False\r\n"
      ">> IncludeOutcome: False\r\n>> WriteToEventLog: False\r\n>> UseClientPopup: False\r\n"
      ">> UseSuccessClientPopup: False\r\n>> SuccessMessage: \r\n"
      ">> UseFailureClientPopup: False\r\n>> FailureMessage: \r\n>> DeploymentPath: \r\n"
      ">> CreateHTMLLaunchPage: False\r\n>> CreateBatchFile: False\r\n>> IncludeMDAC: False\r\n"
      ">> MDACOption: 0\r\n>> Populate <<\r\n>> Server Name: \r\n>> Printer Name: \r\n"
      ">> Prune <<\r\n>> Server Name: \r\n>> Printer Name: \r\n>> Delete AD Orphans: False\r\n"
      ">> Delete All Non-Networked: False\r\n>> Printer Driver <<\r\n>> Printer Name: \r\n"
      ">> Driver Name: \r\n>> Driver File Name: \r\n>> Port Name: \r\n"
      ">> Driver Share Path: \r\n>> DebugOn: True\r\n";
}

std::string Opening(const std::string& commandLine) {
  return Banner(30, "     BEGIN DEBUG     ", 29) +
         Banner(24, "     COMMAND LINE PARAMETERS    ", 23) +
         ">> Command line parameter: " + commandLine + "\r\n";
}

const std::string kClosing = Banner(31, "     END DEBUG     ", 30);
const std::string kEmptyInventory =
    ">> Getting client's list of printers <<\r\n>> * ----- My Printers ----- * <<\r\n";
const std::string kNoDefault = "ERROR: No default printer set.\r\nSYSTEM ERROR: 2\r\n";

class RunSequenceTest : public ::testing::Test {
 protected:
  std::string StatusFile() const {
    return platform::JoinPath(world_.ProfileFolder(), kStatusFileName);
  }
  std::vector<std::string> BoxTitles() const {
    std::vector<std::string> titles;
    for (const auto& box : world_.state.messageBoxes) titles.push_back(box.title);
    return titles;
  }
  testing::EngineWorld world_;
};

TEST_F(RunSequenceTest, SuccessfulRunLogsEveryStepAndTheGuardStopsTheNext) {
  const std::string path = world_.WriteFile(world_.Path("migrate.ini"), CompleteDocument());
  auto first = world_.Run(path);
  EXPECT_FALSE(first->AbortStatus);
  EXPECT_EQ(first->DocumentPath, path);
  EXPECT_EQ(world_.DebugFileText(),
            Opening(path) + ">> Opening INI File: " + path + "\r\n" + SettingsLog() +
                ">> Running Quillon, abort status: False\r\n" +
                Banner(28, "     NETWORK PRINTERS    ", 27) + kEmptyInventory +
                ">> Finished getting network printers, abort status: False\r\n" + kNoDefault +
                Banner(20, "     MOVING USING SERVER TO SERVER    ", 20) +
                ">> * ----- Migrating Networked Printers Between Servers ----- * <<\r\n"
                ">> Finished maintenance: False\r\n"
                ">> Finished moving manual, abort status: False\r\n"
                ">> Finished notification, abort status: False\r\n" +
                kClosing);
  EXPECT_EQ(world_.files.ReadFile(StatusFile()), std::optional<std::string>(path + ",True\r\n"));
  EXPECT_TRUE(world_.state.messageBoxes.empty());
  EXPECT_EQ(first->RunMessage,
            "\r\n* ----- Computer: PC042 Username: alice Printers ----- *"
            "\r\nWarning no currently set default printer."
            "\r\n\r\n* ----- Migrating Networked Printers Between Servers ----- *");

  auto second = world_.Run(path);
  EXPECT_EQ(world_.DebugFileText(),
            Opening(path) + ">> Opening INI File: " + path + "\r\n" + SettingsLog() +
                ">> This INI file has already successed on this machine.\r\n"
                ">> Finished notification, abort status: False\r\n" +
                kClosing);
  EXPECT_EQ(second->RunMessage,
            "\r\nThis INI file has already succeeded on this machine."
            "\r\nIf you would like to run this INI file again, please save it as a different name or "
            "\r\nplease select the Always Run feature on the General step.");
  EXPECT_EQ(world_.files.ReadFile(StatusFile()), std::optional<std::string>(path + ",True\r\n"))
      << "the guard's exit saves nothing";

  // "AlwaysRun" still asks the guard but runs, and saves again.
  world_.WriteFile(path, CompleteDocument({{"AlwaysRun=", "AlwaysRun=True"}}));
  auto third = world_.Run(path);
  EXPECT_NE(world_.DebugFileText()->find(">> Running Quillon, abort status: False"),
            std::string::npos);
  EXPECT_EQ(world_.files.ReadFile(StatusFile()),
            std::optional<std::string>(path + ",True\r\n\r\n"));
}

TEST_F(RunSequenceTest, CommandLineQuotesAreRemovedAndNothingElse) {
  const std::string folder = world_.Path("Print Migration");
  const std::string path = world_.WriteFile(platform::JoinPath(folder, "My Doc.ini"),
                                            CompleteDocument());
  struct Case {
    std::string commandLine;
    bool found;
  } cases[] = {
      {"\"" + path + "\"", true},
      {path, true},
      {"\"" + folder + "\"" + std::string(1, platform::PathSeparator()) + "\"My Doc.ini\"", true},
      {path + " /extra", false},  // further words become part of the path
      {" " + path, false},        // no trimming
  };
  for (const Case& c : cases) {
    world_.state.messageBoxes.clear();
    auto context = world_.Run(c.commandLine);
    EXPECT_EQ(context->DocumentPath.find('"'), std::string::npos);
    EXPECT_EQ(context->AbortStatus, !c.found) << c.commandLine;
    EXPECT_EQ(BoxTitles(), c.found ? std::vector<std::string>{}
                                   : std::vector<std::string>{"Quillon"})
        << c.commandLine;
  }
}

TEST_F(RunSequenceTest, EmptyCommandLineTakesTheFirstListedDocument) {
  world_.WriteFile(world_.Path("notes.txt"), "");
  world_.WriteFile(world_.Path("b.ini"), CompleteDocument());
  world_.WriteFile(world_.Path("A.INI"), CompleteDocument());
  const std::string first = world_.files.ListFiles(world_.ProgramFolder(), ".ini").front();
  auto context = world_.Run("");
  EXPECT_EQ(context->DocumentPath, world_.Path(first));
  EXPECT_FALSE(context->AbortStatus);
  const std::string log = *world_.DebugFileText();
  EXPECT_EQ(log.substr(0, Opening("").size()), Opening(""));
  EXPECT_NE(log.find(">> First found INI file : " + first + "\r\n>> Opening INI File: " +
                     world_.Path(first) + "\r\n"),
            std::string::npos);
}

TEST_F(RunSequenceTest, NoDocumentAnywhereRunsHarmlesslyWithDebugOn) {
  auto context = world_.Run("");
  EXPECT_FALSE(context->AbortStatus);
  EXPECT_EQ(context->DocumentPath, "");
  ASSERT_EQ(world_.state.messageBoxes.size(), 1u);
  EXPECT_EQ(world_.state.messageBoxes[0].title, "Error");
  EXPECT_EQ(world_.state.messageBoxes[0].text,
            "Unable to find INI file. Please check your deployment and try again.");
  EXPECT_EQ(world_.state.messageBoxes[0].icon, "Critical");
  EXPECT_EQ(world_.state.messageBoxes[0].buttons, "OK");
  EXPECT_EQ(world_.DebugFileText(),
            Opening("") + ">> First found INI file : \r\n"
                          "ERROR: Unable to find an INI File.\r\n"
                          ">> Running Quillon, abort status: False\r\n" +
                Banner(28, "     NETWORK PRINTERS    ", 27) + kEmptyInventory +
                ">> Finished getting network printers, abort status: False\r\n" + kNoDefault +
                ">> Finished notification, abort status: False\r\n" +
                kClosing);
  EXPECT_FALSE(world_.files.FileExists(StatusFile()));
}

TEST_F(RunSequenceTest, UnreadableDocumentStopsBeforeEveryPhase) {
  const std::string unquoted =
      "Unable to get INI file contents, please check your file path and permissions.";
  // Missing file: "DebugOn" reads as false, so not even a debug file.
  auto missing = world_.Run(world_.Path("absent.ini"));
  EXPECT_TRUE(missing->AbortStatus);
  EXPECT_TRUE(missing->ReadError);
  EXPECT_EQ(BoxTitles(), std::vector<std::string>{"Quillon"});
  EXPECT_EQ(world_.state.messageBoxes[0].text, unquoted);
  EXPECT_EQ(world_.state.messageBoxes[0].icon, "Critical");
  EXPECT_EQ(world_.state.messageBoxes[0].buttons, "OK");
  EXPECT_FALSE(world_.DebugFileText().has_value());

  // One key missing with debugging on: the log shows the read and the stop.
  const std::string path = world_.WriteFile(
      world_.Path("partial.ini"), CompleteDocument({{"[SUPPORT]", "[SUPPORT]"},
                                                    {"ServerPort=", ""}}));
  auto partial = world_.Run(path);
  EXPECT_TRUE(partial->AbortStatus);
  const std::string log = *world_.DebugFileText();
  EXPECT_NE(log.find(">> DebugOn: True\r\n" + unquoted + "\r\n" + kClosing), std::string::npos);
  EXPECT_EQ(log.find(">> Running Quillon"), std::string::npos);
  EXPECT_FALSE(world_.files.FileExists(StatusFile()));
  EXPECT_EQ(BoxTitles(), (std::vector<std::string>{"Quillon", "Quillon"}));

  // Binary junk and an empty file are unreadable documents too.
  for (const std::string& junk : {std::string(), std::string("\0\xff\xfe[\x01=\n", 7)}) {
    auto context = world_.Run(world_.WriteFile(world_.Path("junk.ini"), junk));
    EXPECT_TRUE(context->AbortStatus);
  }
}

TEST_F(RunSequenceTest, DebugOffLeavesTheEarlierDebugFileAlone) {
  world_.WriteFile(world_.DebugFilePath(), "earlier");
  const std::string path = world_.WriteFile(world_.Path("quiet.ini"),
                                            CompleteDocument({{"DebugOn=", "DebugOn=False"}}));
  auto context = world_.Run(path);
  EXPECT_FALSE(context->AbortStatus);
  EXPECT_EQ(world_.files.ReadFile(world_.DebugFilePath()), std::optional<std::string>("earlier"));
  EXPECT_TRUE(world_.files.FileExists(StatusFile()));
}

TEST_F(RunSequenceTest, ProgressPausesOnlyWithShowProgress) {
  const std::string path = world_.WriteFile(world_.Path("p.ini"), CompleteDocument());
  world_.Run(path);
  EXPECT_TRUE(world_.clock.sleeps.empty());
  world_.WriteFile(path, CompleteDocument({{"ShowProgress=", "ShowProgress=True"},
                                           {"AlwaysRun=", "AlwaysRun=True"}}));
  world_.Run(path);
  EXPECT_EQ(world_.clock.sleeps, (std::vector<int>{250, 2000}));
}

TEST_F(RunSequenceTest, AStatusFileThatCannotBeWrittenStillEndsInNotification) {
  world_.WriteFile(platform::JoinPath(world_.ProfileFolder(), "blocker"), "");
  world_.state.profileFolder = platform::JoinPath(world_.ProfileFolder(), "blocker");
  const std::string path = world_.WriteFile(world_.Path("m.ini"), CompleteDocument());
  auto context = world_.Run(path);
  const std::string log = *world_.DebugFileText();
  const std::size_t error = log.find("ERROR: Unable to save Quillon status to ");
  ASSERT_NE(error, std::string::npos);
  EXPECT_NE(log.find(">> Finished notification, abort status: False\r\n", error),
            std::string::npos);
  EXPECT_FALSE(context->AbortStatus);
}

TEST_F(RunSequenceTest, ASpoolerThatCannotBeAskedFailsTheRunAndSaysWhy) {
  world_.AddQueue("NEWSRV", "HP4");
  world_.AddConnection("OLDSRV", "HP4");
  const std::string path = world_.WriteFile(world_.Path("m.ini"), CompleteDocument());
  const std::string stopped =
      "The Print Spooler service is not running on this computer: start it, and have an "
      "administrator set it to start automatically (it may have been stopped or disabled on "
      "purpose since the 2021 print spooler hardening). No printer was moved, and the run is not "
      "recorded as done, so it runs again next time.";
  struct Case {
    const char* call;
    std::uint32_t error;
    std::string report;  // the failure's own line
    std::string words;
  };
  const Case cases[] = {
      {"EnumPrinters", 1722,
       "Error (1722) getting the list of printers from the Print Spooler.", stopped},
      {"EnumPrinters", 5, "Error (5) getting the list of printers from the Print Spooler.",
       "The Print Spooler service on this computer could not be asked: the user is not allowed"},
      {"GetDefaultPrinter", 1722, "Error (1722) determining default printer.", stopped},
  };
  for (const Case& c : cases) {
    world_.state.failures = {{c.call, std::nullopt, c.error, {}}};
    world_.state.spoolerCalls.clear();
    auto run = world_.Run(path);
    EXPECT_TRUE(run->AbortStatus) << c.call;
    const std::string status = world_.files.ReadFile(StatusFile()).value_or("");
    EXPECT_NE(status.find(path + ",False\r\n"), std::string::npos) << c.call;
    EXPECT_EQ(status.find(",True"), std::string::npos) << c.call;
    EXPECT_TRUE(world_.Calls({"AddPrinterConnection", "DeletePrinterConnection"}).empty());
    EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\OLDSRV\\HP4"});
    const std::string words = "What error " + std::to_string(c.error) + " means: " + c.words;
    const std::size_t line = run->RunMessage.find("\r\n" + c.report + "\r\n" + words);
    EXPECT_NE(line, std::string::npos) << run->RunMessage;
    const std::string log = world_.DebugFileText().value_or("");
    EXPECT_NE(log.find("SYSTEM ERROR: " + std::to_string(c.error) + "\r\n>> " + words),
              std::string::npos)
        << log;
    // One failure, one report: a failed listing does not go on to the default.
    EXPECT_EQ(world_.Calls({"GetDefaultPrinter"}).size(),
              std::string(c.call) == "EnumPrinters" ? 0u : 1u);
  }

  // "No default printer" in either form Windows gives is no failure: the run moves and is done.
  world_.state.failures = {{"GetDefaultPrinter", std::nullopt, 1168, {}}};
  auto run = world_.Run(path);
  EXPECT_FALSE(run->AbortStatus) << run->RunMessage;
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\HP4"});
  EXPECT_NE(world_.files.ReadFile(StatusFile()).value_or("").find(path + ",True"),
            std::string::npos);
}

TEST_F(RunSequenceTest, RecordFailureAbortsAndReportsTheError) {
  auto context = world_.NewContext();
  RecordFailure(*context, "Error querying Active Directory", -2147217865,
                "Table does not exist.");
  EXPECT_TRUE(context->AbortStatus);
  EXPECT_EQ(context->RunMessage,
            "\r\nError querying Active Directory\r\n> Error Number: -2147217865"
            "\r\n> Error Description: Table does not exist.");
  EXPECT_EQ(GetComputerName(*context), "PC042");
}

}  // namespace
}  // namespace quillon::engine
