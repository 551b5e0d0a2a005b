// The notification channels on the simulated client: which channel runs, the
// output file's name and content, the pop-up texts and the event log entries.
#include "engine/notification/notification.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/notification/event_log_writer.h"

namespace quillon::engine {
namespace {

using testing::Banner;
using testing::EngineWorld;

const char* const kMessageFileKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\Quillon";

class NotificationTest : public ::testing::Test {
 protected:
  std::unique_ptr<RunContext> Context(bool failed) {
    auto context = world_.NewContext();
    context->AbortStatus = failed;
    context->RunMessage = "\r\nComputer: PC042\r\n.Moved \\\\OLDSRV\\HP4";
    return context;
  }
  std::string ReadFile(const std::string& path) {
    return world_.files.ReadFile(path).value_or("<missing>");
  }
  std::string OutputFolder() {
    const std::string folder = world_.Path("reports");
    world_.files.CreateFolders(folder);
    return folder;
  }

  std::string MessageFile() {
    return world_.NewContext()
        ->platform.registry.GetValue(kMessageFileKey, "EventMessageFile")
        .value_or("<missing>");
  }

  EngineWorld world_;
};

TEST_F(NotificationTest, AllChannelsOffDoNothing) {
  auto context = Context(false);
  SendNotifications(*context);
  EXPECT_EQ(context->debugLog.text(), "");
  EXPECT_TRUE(world_.state.messageBoxes.empty());
  EXPECT_TRUE(world_.state.eventLog.empty());
  EXPECT_TRUE(world_.state.registry.empty());
}

TEST_F(NotificationTest, ChannelsRunInOrderWithBannersAndCaptions) {
  auto context = Context(false);
  document::MigrationDocument& doc = context->document;
  doc.UseFileOutput = doc.UseClientPopup = doc.UseSuccessClientPopup = doc.WriteToEventLog = true;
  doc.FileOutputPath = OutputFolder();
  doc.FileOutputName = "moves.txt";
  doc.SuccessMessage = "Done";
  SendNotifications(*context);

  const std::string file = doc.FileOutputPath + platform::PathSeparator() + "moves.txt";
  EXPECT_EQ(context->debugLog.text(),
            Banner(22, "     NOTIFICATION VIA FILE OUTPUT     ", 21) +
                ">> Writing to notification output file: " + file + "\r\n" +
                Banner(21, "     NOTIFICATION VIA CLIENT POP-UP    ", 20) +
                ">> Showing client pop-up success message. <<\r\n" +
                Banner(23, "     NOTIFICATION VIA EVENT LOG    ", 22) +
                ">> Logged event in application event log.\r\n");
  ASSERT_EQ(world_.state.messageBoxes.size(), 1u);
  EXPECT_EQ(world_.state.messageBoxes[0].title, "Quillon");
  EXPECT_EQ(world_.state.messageBoxes[0].icon, "None");
  EXPECT_EQ(world_.state.messageBoxes[0].buttons, "OK");
  // The event carries the header the file step put in front of the report.
  ASSERT_EQ(world_.state.eventLog.size(), 1u);
  EXPECT_EQ(world_.state.eventLog[0].message.rfind("\r\n\r\nReport At: 12/8/2026 9:30:15 AM\r\n\r\n", 0),
            0u)
      << world_.state.eventLog[0].message;
}

TEST_F(NotificationTest, OutputFileNameFollowsTheSwitches) {
  struct Case {
    bool computer, outcome, failed;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {false, false, false, "moves.txt"},
      {true, false, false, "PC042_alice_moves.txt"},
      {false, true, true, "FAILED_moves.txt"},
      {true, true, false, "PC042_alice_SUCCESS_moves.txt"},
      {true, true, true, "PC042_alice_FAILED_moves.txt"},
  };
  for (const Case& c : cases) {
    auto context = Context(c.failed);
    context->document.FileOutputPath = "C:\\Logs";
    context->document.FileOutputName = "moves.txt";
    context->document.IncludeComputerName = c.computer;
    context->document.IncludeOutcome = c.outcome;
    EXPECT_EQ(OutputFileName(*context), std::string("C:\\Logs") + platform::PathSeparator() + c.expected)
        << c.computer << c.outcome << c.failed;
  }
}

TEST_F(NotificationTest, TwoRunsAppendTwoReportsEachWithItsHeader) {
  const std::string folder = OutputFolder();
  for (int run = 0; run < 2; ++run) {
    auto context = Context(false);
    context->document.FileOutputPath = folder;
    context->document.FileOutputName = "moves.txt";
    WriteOutputFile(*context);
  }
  const std::string report =
      "\r\n\r\nReport At: 12/8/2026 9:30:15 AM\r\n\r\n\r\nComputer: PC042\r\n.Moved "
      "\\\\OLDSRV\\HP4\r\n";
  EXPECT_EQ(ReadFile(platform::JoinPath(folder, "moves.txt")), report + report);
}

TEST_F(NotificationTest, AnUnwritableOutputFileIsLoggedAndLaterChannelsStillRun) {
  auto context = Context(true);
  document::MigrationDocument& doc = context->document;
  doc.UseFileOutput = doc.WriteToEventLog = true;
  doc.FileOutputPath = world_.Path("no-such-folder");
  doc.FileOutputName = "moves.txt";
  SendNotifications(*context);

  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Saving notification output file <<\r\nERROR: "), std::string::npos)
      << log;
  EXPECT_NE(log.find("\r\nERROR DESCRIPTION: "), std::string::npos);
  ASSERT_EQ(world_.state.eventLog.size(), 1u);
  EXPECT_EQ(world_.state.eventLog[0].type, 2);
  EXPECT_TRUE(context->AbortStatus);
}

TEST_F(NotificationTest, PopupShowsOnlyTheMessageTheOutcomeCallsFor) {
  struct Case {
    bool failed, useSuccess, useFailure;
    std::string shown;  // empty: no box
  };
  const std::vector<Case> cases = {
      {false, false, true, ""},          {false, true, true, "Good"},
      {true, true, false, ""},           {true, true, true, "Bad"},
      {false, true, false, "Good"},      {true, false, true, "Bad"},
  };
  for (const Case& c : cases) {
    world_.state.messageBoxes.clear();
    auto context = Context(c.failed);
    context->document.UseClientPopup = true;
    context->document.UseSuccessClientPopup = c.useSuccess;
    context->document.UseFailureClientPopup = c.useFailure;
    context->document.SuccessMessage = "Good";
    context->document.FailureMessage = "Bad";
    SendNotifications(*context);
    if (c.shown.empty()) {
      EXPECT_TRUE(world_.state.messageBoxes.empty()) << c.failed << c.useSuccess << c.useFailure;
      EXPECT_EQ(context->debugLog.text(), Banner(21, "     NOTIFICATION VIA CLIENT POP-UP    ", 20));
    } else {
      ASSERT_EQ(world_.state.messageBoxes.size(), 1u);
      EXPECT_EQ(world_.state.messageBoxes[0].text, c.shown);
    }
  }
}

TEST_F(NotificationTest, PopupMarkersBecomeLineBreaksOnlyInTheirExactForm) {
  EXPECT_EQ(DecodePopupText("Printers moved.^CRLFThank you."), "Printers moved.\r\nThank you.");
  EXPECT_EQ(DecodePopupText("a^crlfb"), "a^crlfb");
  EXPECT_EQ(DecodePopupText("^CRLF^CRLF"), "\r\n\r\n");
  EXPECT_EQ(DecodePopupText("^CRL^CRLFF"), "^CRL\r\nF");
  EXPECT_EQ(DecodePopupText(""), "");
}

TEST_F(NotificationTest, EventTypesAndTheMessageFileRegisteredOnce) {
  auto first = Context(false);
  LogNotificationEvent(*first);
  auto second = Context(true);
  second->RunMessage.clear();
  LogNotificationEvent(*second);

  ASSERT_EQ(world_.state.eventLog.size(), 2u);
  EXPECT_EQ(world_.state.eventLog[0].source, "Quillon");
  EXPECT_EQ(world_.state.eventLog[0].eventId, 20001);
  EXPECT_EQ(world_.state.eventLog[0].type, 4);
  EXPECT_EQ(world_.state.eventLog[0].message, first->RunMessage);
  EXPECT_EQ(world_.state.eventLog[1].type, 2);
  // An empty report is still an event: no text, one byte of raw data.
  EXPECT_EQ(world_.state.eventLog[1].message, "");
  EXPECT_EQ(world_.state.eventLog[1].extra["rawDataBytes"], 1);

  const std::string expectedFile = platform::JoinPath(
      world_.NewContext()->platform.system.GetSystemFolder(), "EvntMsg.dll");
  EXPECT_EQ(MessageFile(), expectedFile);

  // A later run finds the value and leaves it as it is.
  world_.NewContext()->platform.registry.SetValue(kMessageFileKey, "EventMessageFile",
                                                  "C:\\Custom\\Messages.dll");
  LogNotificationEvent(*Context(false));
  EXPECT_EQ(MessageFile(), "C:\\Custom\\Messages.dll");
}

TEST_F(NotificationTest, AReportTooLongForOneEventIsCutNotLost) {
  auto context = Context(false);
  context->RunMessage = std::string(40000, 'x');
  LogNotificationEvent(*context);
  ASSERT_EQ(world_.state.eventLog.size(), 1u);
  EXPECT_EQ(world_.state.eventLog[0].message, std::string(31839, 'x'));
  EXPECT_EQ(world_.state.eventLog[0].extra["rawDataBytes"], 31840);
  EXPECT_EQ(context->debugLog.text(),
            ">> Event message cut to its first 31839 of 40000 characters.\r\n"
            ">> Logged event in application event log.\r\n");
  EXPECT_EQ(context->RunMessage.size(), 40000u);
}

TEST_F(NotificationTest, EventLogFailuresAreLoggedAndNeverClaimedAsLogged) {
  struct Case {
    std::string call;
    std::string expectedLog;
    std::size_t events;
  };
  const std::string errorLines =
      "ERROR: Writing event to application event log << \r\nERROR: 1502\r\n"
      "ERROR DESCRIPTION: Injected failure\r\n";
  const std::vector<Case> cases = {
      {"RegisterEventSource", errorLines, 0},
      // A report call that fails is an error, not a logged event.
      {"ReportEvent", errorLines, 0},
      // Without rights on the machine's key the event is still reported.
      {"RegSetValueEx",
       "ERROR: Registering event message file << " + std::string(kMessageFileKey) +
           "\r\nERROR: 1502\r\nERROR DESCRIPTION: Injected failure\r\n"
           ">> Logged event in application event log.\r\n",
       1},
  };
  for (const Case& c : cases) {
    world_.state.eventLog.clear();
    world_.state.registry.clear();
    world_.state.failures = {{c.call, std::nullopt, 1502, {}}};
    auto context = Context(false);
    LogNotificationEvent(*context);
    EXPECT_EQ(context->debugLog.text(), c.expectedLog) << c.call;
    EXPECT_EQ(world_.state.eventLog.size(), c.events) << c.call;
    EXPECT_FALSE(context->AbortStatus);
  }
}

TEST_F(NotificationTest, AFailedDebugFileWritesItsWarningEvent) {
  // A folder of that name stands where the debug file should be written.
  world_.files.CreateFolders(world_.Path("PC042.debug"));
  world_.WriteFile(world_.Path("run.ini"), testing::CompleteDocument());
  auto context = world_.Run("");
  ASSERT_FALSE(context->debugFlushStatus.ok);
  ASSERT_EQ(world_.state.eventLog.size(), 1u);
  const auto& event = world_.state.eventLog[0];
  EXPECT_EQ(event.eventId, 20002);
  EXPECT_EQ(event.type, 2);
  EXPECT_EQ(event.message, "Unable to create debug file within folder: " +
                               std::to_string(context->debugFlushStatus.errorNumber) + ": " +
                               context->debugFlushStatus.description);
  EXPECT_TRUE(world_.state.messageBoxes.empty());
}

}  // namespace
}  // namespace quillon::engine
