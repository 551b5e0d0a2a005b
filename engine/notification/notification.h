// Reporting the run's outcome through the channels the document enables:
// e-mail, output file, client pop-up and event log, always in that order.
#pragma once

#include <string>

#include "platform/user_interface.h"

namespace quillon::engine {

struct RunContext;

void SendNotifications(RunContext& context);
// The outcome every channel reports: the one the run stores.
bool RunFailed(const RunContext& context);
// Appends the report, behind its "Report At: " header, to the output file.
void WriteOutputFile(RunContext& context);
// Shows the success or failure message the outcome calls for, if it is on.
void ShowClientPopup(RunContext& context);
void LogNotificationEvent(RunContext& context);
// A message box, only where someone can answer it: on a desktop nobody sees
// it is not shown (the debug log says why) and counts as declined.
platform::MessageAnswer ShowMessageToUser(RunContext& context, const std::string& title,
                                          const std::string& text, platform::MessageIcon icon,
                                          platform::MessageButtons buttons);

// The output file's full name for this run's outcome.
std::string OutputFileName(RunContext& context);
// "^CRLF" markers (exact case) as line breaks.
std::string DecodePopupText(const std::string& text);

}  // namespace quillon::engine
