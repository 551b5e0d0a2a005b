// The notification channels on the simulated client: which channel runs, the
// output file's name and content, the pop-up texts and the event log entries.
#include "engine/notification/notification.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/engine_test_support.h"
#include "engine/notification/event_log_writer.h"

namespace quillon::engine {
namespace {

using testing::Banner;
using testing::EngineWorld;

const char* const kMessageFileKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\Quillon";

// The Windows client's event log, whose program carries the message table.
class EventLogWithMessageFile : public platform::EventLog {
 public:
  EventLogWithMessageFile(platform::EventLog& log, std::string file)
      : log_(log), file_(std::move(file)) {}
  platform::EventSourceResult RegisterEventSource(const std::string& name) override {
    return log_.RegisterEventSource(name);
  }
  platform::EventLogResult ReportEvent(platform::EventSourceHandle source, std::uint16_t type,
                                       std::uint16_t category, std::uint32_t eventId,
                                       const std::string& message,
                                       std::string_view rawData) override {
    return log_.ReportEvent(source, type, category, eventId, message, rawData);
  }
  platform::EventLogResult DeregisterEventSource(platform::EventSourceHandle source) override {
    return log_.DeregisterEventSource(source);
  }
  std::string MessageFile() override { return file_; }

 private:
  platform::EventLog& log_;
  std::string file_;
};

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

  // Logs the run's event through an event log that names `program` as its
  // message file, as the Windows client does; gives the run's debug text.
  std::string LogWithMessageFile(const std::string& program) {
    auto base = Context(false);
    platform::Platform& client = base->platform;
    EventLogWithMessageFile log(client.eventLog, program);
    platform::Platform services{client.system,  client.registry,  client.profileStrings,
                                client.files,   client.ui,        client.clock,
                                client.spooler, client.directory, log,
                                client.network};
    RunContext context(services);
    context.document = base->document;
    context.RunMessage = base->RunMessage;
    LogNotificationEvent(context);
    EXPECT_FALSE(context.AbortStatus) << "the event log never fails the run";
    return context.debugLog.text();
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

// A run whose printer operations failed stores "False" and runs again: every
// channel says it failed, as one that stopped early does.
TEST_F(NotificationTest, EveryChannelReportsTheOutcomeThatIsStored) {
  struct Case {
    bool stoppedEarly, operationsSucceeded, failed;
  };
  const Case cases[] = {{false, true, false}, {true, true, true}, {false, false, true},
                        {true, false, true}};
  const std::string folder = OutputFolder();
  for (const Case& c : cases) {
    world_.state.messageBoxes.clear();
    world_.state.eventLog.clear();
    auto context = Context(c.stoppedEarly);
    context->OperationsSucceeded = c.operationsSucceeded;
    document::MigrationDocument& doc = context->document;
    doc.UseFileOutput = doc.IncludeOutcome = doc.WriteToEventLog = true;
    doc.UseClientPopup = doc.UseSuccessClientPopup = doc.UseFailureClientPopup = true;
    doc.SuccessMessage = "moved";
    doc.FailureMessage = "not moved";
    doc.FileOutputPath = folder;
    doc.FileOutputName = "moves.txt";
    const std::string label = std::to_string(&c - cases);
    EXPECT_EQ(RunFailed(*context), c.failed) << label;
    SendNotifications(*context);
    EXPECT_NE(ReadFile(platform::JoinPath(folder, c.failed ? "FAILED_moves.txt"
                                                            : "SUCCESS_moves.txt")),
              "<missing>")
        << label;
    ASSERT_EQ(world_.state.messageBoxes.size(), 1u) << label;
    EXPECT_EQ(world_.state.messageBoxes[0].text, c.failed ? "not moved" : "moved") << label;
    ASSERT_EQ(world_.state.eventLog.size(), 1u) << label;
    EXPECT_EQ(world_.state.eventLog[0].type,
              c.failed ? platform::kEventTypeWarning : platform::kEventTypeInformation)
        << label;
    std::filesystem::remove(platform::JoinPath(folder, "FAILED_moves.txt"));
    std::filesystem::remove(platform::JoinPath(folder, "SUCCESS_moves.txt"));
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

// The simulated client's boxes on a desktop that nobody sees (a start-up
// script, a scheduled task), as the Windows client reports it.
class UnseenDesktop : public platform::UserInterface {
 public:
  explicit UnseenDesktop(platform::UserInterface& shown) : shown_(shown) {}
  bool DesktopIsSeen(std::string& why) override {
    why = "the program runs in session 0";
    return false;
  }
  platform::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                         platform::MessageIcon icon,
                                         platform::MessageButtons buttons) override {
    return shown_.ShowMessageBox(title, text, icon, buttons);
  }
  std::unique_ptr<platform::ProgressWindow> CreateProgressWindow(
      const std::string& caption, const std::string& label) override {
    return shown_.CreateProgressWindow(caption, label);
  }

 private:
  platform::UserInterface& shown_;
};

TEST_F(NotificationTest, PopupOnADesktopNobodySeesIsNotShownAndTheLogSaysWhy) {
  auto seen = Context(true);
  platform::Platform& client = seen->platform;
  UnseenDesktop unseen(client.ui);
  platform::Platform services{client.system,  client.registry,  client.profileStrings,
                              client.files,   unseen,           client.clock,
                              client.spooler, client.directory, client.eventLog,
                              client.network};
  RunContext context(services);
  context.document = seen->document;
  context.AbortStatus = true;
  context.document.UseClientPopup = context.document.UseFailureClientPopup = true;
  context.document.FailureMessage = "Call the help desk";
  ShowClientPopup(context);
  EXPECT_TRUE(world_.state.messageBoxes.empty());
  EXPECT_EQ(context.debugLog.text(),
            ">> Showing client pop-up failure message. <<\r\n"
            ">> Message box \"Quillon\" not shown: the program runs in session 0\r\n");
  // The answer of a box nobody could answer is the declining one.
  EXPECT_EQ(ShowMessageToUser(context, "Refresh", "?", platform::MessageIcon::Question,
                              platform::MessageButtons::YesNo),
            platform::MessageAnswer::No);
  EXPECT_TRUE(world_.state.messageBoxes.empty());

  // Where the desktop is seen, the same box is shown.
  seen->document = context.document;
  ShowClientPopup(*seen);
  ASSERT_EQ(world_.state.messageBoxes.size(), 1u);
  EXPECT_EQ(world_.state.messageBoxes[0].text, "Call the help desk");
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

  // The simulated client's program carries no message table: nothing to name.
  EXPECT_EQ(MessageFile(), "<missing>");
}

TEST_F(NotificationTest, TheProgramIsRegisteredAsMessageFileUnlessAnotherFileIs) {
  const std::string engine = "\\\\FS1\\Deploy\\QuillonEngine.exe";
  EXPECT_EQ(LogWithMessageFile(engine), ">> Logged event in application event log.\r\n");
  EXPECT_EQ(MessageFile(), engine);
  // A run from another folder keeps the first registration.
  LogWithMessageFile("C:\\Elsewhere\\QuillonEngine.exe");
  EXPECT_EQ(MessageFile(), engine);

  // Earlier versions named a file that Windows does not have: it is replaced.
  platform::Registry& registry = world_.NewContext()->platform.registry;
  const std::string system = world_.NewContext()->platform.system.GetSystemFolder();
  registry.SetValue(kMessageFileKey, "EventMessageFile",
                    platform::JoinPath(system, "EVNTMSG.DLL"));
  LogWithMessageFile(engine);
  EXPECT_EQ(MessageFile(), engine);

  // An administrator's own file stays.
  registry.SetValue(kMessageFileKey, "EventMessageFile", "C:\\Custom\\Messages.dll");
  LogWithMessageFile(engine);
  EXPECT_EQ(MessageFile(), "C:\\Custom\\Messages.dll");
  EXPECT_EQ(world_.state.eventLog.size(), 4u);
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
    EXPECT_EQ(LogWithMessageFile("C:\\Deploy\\QuillonEngine.exe"), c.expectedLog) << c.call;
    EXPECT_EQ(world_.state.eventLog.size(), c.events) << c.call;
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
