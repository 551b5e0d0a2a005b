#include "engine/core/run_sequence.h"

#include "document/document_file.h"
#include "engine/core/run_context.h"
#include "engine/core/run_status.h"
#include "engine/core/targeting.h"
#include "engine/migration/directory_migration.h"
#include "engine/migration/manual_migration.h"
#include "engine/notification/event_log_writer.h"
#include "engine/notification/notification.h"
#include "engine/printers/client_printers.h"
#include "engine/printers/default_printer.h"

namespace quillon::engine {

const char* BooleanText(bool value) { return value ? "True" : "False"; }

void WriteBanner(RunContext& context, int left, std::string_view title, int right) {
  const std::string stars(80, '*');
  WriteDebugLine(context, stars);
  std::string middle(static_cast<std::size_t>(left), '*');
  middle += title;
  middle.append(static_cast<std::size_t>(right), '*');
  WriteDebugLine(context, middle);
  WriteDebugLine(context, stars);
}

void RecordFailure(RunContext& context, std::string_view contextText, std::int64_t errorNumber,
                   std::string_view errorDescription) {
  context.AbortStatus = true;
  context.AppendRunMessage(contextText);
  context.AppendRunMessage("> Error Number: " + std::to_string(errorNumber));
  context.AppendRunMessage(std::string("> Error Description: ").append(errorDescription));
}

std::string GetComputerName(RunContext& context) {
  return context.platform.system.GetComputerName().value_or("Computer UNKNOWN");
}

namespace {

void ReadDocumentInto(RunContext& context) {
  WriteDebugLine(context, ">> Opening INI File: " + context.DocumentPath);
  // Lines written while reading are kept whatever "DebugOn" is meanwhile: the
  // document's own value decides at the end whether any of them is written.
  context.ReadError = document::ReadDocument(
      context.platform.files, context.DocumentPath, context.document,
      [&context](const std::string& line) { context.debugLog.Append(line); });
  if (context.ReadError) context.AbortStatus = true;
}

}  // namespace

bool DecideRunTargeting(RunContext& context) {
  const document::TargetingSettings& settings = context.document.Targeting;
  if (!settings.UseTargeting) return true;
  const TargetingDecision decision =
      DecideTargeting(settings, context.document.DomainName, context.platform.system,
                      context.platform.directory, context.platform.clock);
  auto line = [&context](const std::string& text) {
    context.TargetingLines.push_back(text.substr(3));
    WriteDebugLine(context, text);
  };
  context.Targeted = decision.targeted;
  if (!decision.targeted) {
    line(std::string(kNotTargetedPrefix) + decision.reason);
    return false;
  }
  if (decision.met.empty()) line(">> Targeted: no condition is set");
  for (const std::string& met : decision.met) line(">> Targeted: " + met);
  return true;
}

void LocateDocument(RunContext& context, const std::string& commandLine) {
  WriteBanner(context, 24, "     COMMAND LINE PARAMETERS    ", 23);
  WriteDebugLine(context, ">> Command line parameter: " + commandLine);
  if (!commandLine.empty()) {
    std::string path;
    for (char c : commandLine) {
      if (c != '"') path += c;
    }
    context.DocumentPath = path;
    ReadDocumentInto(context);
    return;
  }

  const std::string folder = context.platform.system.GetProgramFolder();
  const std::vector<std::string> found = context.platform.files.ListFiles(folder, ".ini");
  const std::string first = found.empty() ? std::string() : found.front();
  WriteDebugLine(context, ">> First found INI file : " + first);
  if (!first.empty()) {
    context.DocumentPath = platform::JoinPath(folder, first);
    ReadDocumentInto(context);
    return;
  }
  ShowMessageToUser(context, "Error",
                    "Unable to find INI file. Please check your deployment and try again.",
                    platform::MessageIcon::Critical, platform::MessageButtons::Ok);
  WriteDebugLine(context, "ERROR: Unable to find an INI File.");
}

void RunMigration(RunContext& context) {
  const document::MigrationDocument& doc = context.document;

  // The guard is asked in every run so that its debug lines always appear.
  const bool alreadySucceeded = HasAlreadySucceeded(context);
  if (alreadySucceeded && !doc.AlwaysRun) {
    WriteDebugLine(context, ">> This INI file has already successed on this machine.");
    context.AppendRunMessage(kAlreadySucceededText);
    context.AppendRunMessage(
        "If you would like to run this INI file again, please save it as a different name or ");
    context.AppendRunMessage("please select the Always Run feature on the General step.");
  } else {
    WriteDebugLine(context, std::string(">> Running Quillon, abort status: ") +
                                BooleanText(context.AbortStatus));
    WriteBanner(context, 28, "     NETWORK PRINTERS    ", 27);

    UpdateProgress(context, "Getting current list of client printers ...");
    GetClientPrinters(context, /*report=*/true);
    WriteDebugLine(context, std::string(">> Finished getting network printers, abort status: ") +
                                BooleanText(context.AbortStatus));
    UpdateProgress(context, context.AbortStatus ? "Error getting list of client printers ..."
                                                : "Completed getting list of client printers ...");

    UpdateProgress(context, "Getting current default printer ...");
    // Without the printers' list the default is not asked: one failure, one report.
    if (!context.AbortStatus) context.InitialDefaultPrinter = GetDefaultPrinterName(context);
    UpdateProgress(context, "Finished getting current default printer ...");

    if (!context.AbortStatus) {
      if (doc.UseActiveDirectory) {
        WriteBanner(context, 28, "     MOVING USING AD    ", 27);
        UpdateProgress(context, "Initializing migration via Active Directory ...");
        RunDirectoryMigration(context);
        UpdateProgress(context, context.AbortStatus ? "Error migrating via Active Directory ..."
                                                    : "Completed migration via Active Directory ...");
        WriteDebugLine(context, std::string(">> Finished moving via AD, abort status: ") +
                                    BooleanText(context.AbortStatus));
      }
      if (!context.AbortStatus && doc.UseManualDefinitions) {
        UpdateProgress(context, "Initializing migration via Manual Configuration ...");
        RunManualMigration(context);
        UpdateProgress(context, context.AbortStatus
                                    ? "Error migrating via Manual Configuration ..."
                                    : "Completed migration via Manual Configuration ...");
        WriteDebugLine(context, std::string(">> Finished moving manual, abort status: ") +
                                    BooleanText(context.AbortStatus));
      }
    }

    UpdateProgress(context, "Saving Quillon status ...");
    SaveRunStatus(context);
  }

  UpdateProgress(context, "Initializing notification methods ...");
  SendNotifications(context);
  WriteDebugLine(context, std::string(">> Finished notification, abort status: ") +
                              BooleanText(context.AbortStatus));
}

void RunEngine(RunContext& context, const std::string& commandLine) {
  context.document.DebugOn = true;
  context.AbortStatus = false;
  context.OperationsSucceeded = true;
  ClearDebugText(context);

  WriteBanner(context, 30, "     BEGIN DEBUG     ", 29);
  LocateDocument(context, commandLine);

  if (context.AbortStatus) {
    const char* text =
        "Unable to get INI file contents, please check your file path and permissions.";
    ShowMessageToUser(context, "Quillon", text, platform::MessageIcon::Critical,
                      platform::MessageButtons::Ok);
    WriteDebugLine(context, text);
  } else if (DecideRunTargeting(context)) {
    // A run that is not targeted leaves no outcome behind, so it runs again
    // at the next logon and acts once the roll-out reaches it.
    StartProgress(context);
    RunMigration(context);
    FinishProgress(context);
  }

  FinishDebugLog(context);
}

void FinishDebugLog(RunContext& context) {
  WriteBanner(context, 31, "     END DEBUG     ", 30);
  context.debugFlushStatus = FlushDebugLog(context);
  if (!context.debugFlushStatus) {
    WriteApplicationEvent(context, kEventSource,
                          "Unable to create debug file within folder: " +
                              std::to_string(context.debugFlushStatus.errorNumber) + ": " +
                              context.debugFlushStatus.description,
                          platform::kEventTypeWarning, kDebugFileEventId);
  }
}

bool AsksForVersion(std::string_view commandLine) {
  const std::size_t first = commandLine.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  const std::size_t last = commandLine.find_last_not_of(" \t");
  return commandLine.substr(first, last - first + 1) == "--version";
}

}  // namespace quillon::engine
