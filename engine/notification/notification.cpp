#include "engine/notification/notification.h"

#include "engine/core/progress.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"
#include "engine/notification/event_log_writer.h"
#include "engine/notification/smtp_mail.h"

namespace quillon::engine {

// What the run stored: a run that stopped early, or whose printer operations
// failed, is a failure on every channel, so that the file listing, the user and
// the event log say what the run-once status says.
bool RunFailed(const RunContext& context) {
  return context.AbortStatus || !context.OperationsSucceeded;
}

std::string OutputFileName(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  std::string name = doc.FileOutputPath;
  name += platform::PathSeparator();
  if (doc.IncludeComputerName) {
    name += GetComputerName(context) + "_" + GetLoggedOnUserName(context) + "_";
  }
  if (doc.IncludeOutcome) name += RunFailed(context) ? "FAILED_" : "SUCCESS_";
  name += doc.FileOutputName;
  return name;
}

void WriteOutputFile(RunContext& context) {
  const std::string path = OutputFileName(context);
  WriteDebugLine(context, ">> Writing to notification output file: " + path);
  const std::string header =
      "\r\n\r\nReport At: " +
      context.platform.clock.FormatGeneralDate(context.platform.clock.Now()) + "\r\n\r\n";
  context.RunMessage.insert(0, header);
  const platform::Status written =
      context.platform.files.AppendToFile(path, context.RunMessage + "\r\n");
  if (!written) {
    WriteErrorLines(context, "ERROR: Saving notification output file <<", written.errorNumber,
                    written.description);
  }
}

std::string DecodePopupText(const std::string& text) {
  static constexpr std::string_view kMarker = "^CRLF";
  std::string decoded;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(kMarker, from)) != std::string::npos;
       from = at + kMarker.size()) {
    decoded.append(text, from, at - from);
    decoded += "\r\n";
  }
  decoded.append(text, from, std::string::npos);
  return decoded;
}

platform::MessageAnswer ShowMessageToUser(RunContext& context, const std::string& title,
                                          const std::string& text, platform::MessageIcon icon,
                                          platform::MessageButtons buttons) {
  std::string why;
  if (context.StagingRun) why = "a staging run shows none";
  if (!why.empty() || !context.platform.ui.DesktopIsSeen(why)) {
    WriteDebugLine(context, ">> Message box \"" + title + "\" not shown: " + why);
    return platform::DeclinedAnswer(buttons);
  }
  return context.platform.ui.ShowMessageBox(title, text, icon, buttons);
}

void ShowClientPopup(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  const std::string* message = nullptr;
  if (!RunFailed(context) && doc.UseSuccessClientPopup) {
    WriteDebugLine(context, ">> Showing client pop-up success message. <<");
    message = &doc.SuccessMessage;
  } else if (RunFailed(context) && doc.UseFailureClientPopup) {
    WriteDebugLine(context, ">> Showing client pop-up failure message. <<");
    message = &doc.FailureMessage;
  }
  if (!message) return;
  ShowMessageToUser(context, "Quillon", DecodePopupText(*message), platform::MessageIcon::None,
                    platform::MessageButtons::Ok);
}

void LogNotificationEvent(RunContext& context) {
  WriteApplicationEvent(
      context, kEventSource, context.RunMessage,
      RunFailed(context) ? platform::kEventTypeWarning : platform::kEventTypeInformation,
      context.StagingRun ? kDriverStagingEventId : kOutcomeEventId);
}

void SendNotifications(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  if (doc.UseSMTP) {
    WriteBanner(context, 24, "     NOTFICATION VIA EMAIL    ", 24);
    UpdateProgress(context, "Sending SMTP mail ...");
    SendSmtpMail(context);
  }
  if (doc.UseFileOutput) {
    WriteBanner(context, 22, "     NOTIFICATION VIA FILE OUTPUT     ", 21);
    UpdateProgress(context, "Saving migration file ...");
    WriteOutputFile(context);
  }
  if (doc.UseClientPopup && !context.StagingRun) {
    WriteBanner(context, 21, "     NOTIFICATION VIA CLIENT POP-UP    ", 20);
    ShowClientPopup(context);
  }
  if (doc.WriteToEventLog) {
    WriteBanner(context, 23, "     NOTIFICATION VIA EVENT LOG    ", 22);
    UpdateProgress(context, "Writing to event log ...");
    LogNotificationEvent(context);
  }
}

}  // namespace quillon::engine
