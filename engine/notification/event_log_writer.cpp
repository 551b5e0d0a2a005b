#include "engine/notification/event_log_writer.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"

namespace quillon::engine {
namespace {

void WriteEventError(RunContext& context, std::uint32_t number, const std::string& description) {
  WriteErrorLines(context, "ERROR: Writing event to application event log << ", number,
                  description);
}

// The message file lets the event viewer show the text: the engine's own
// program, which carries the message table. A value already there is kept (an
// administrator may have pointed it elsewhere), except the system folder's
// EvntMsg.dll that earlier versions registered and Windows does not have.
// Without it the event is still worth having, so a failed registration (a
// user without rights on the machine's key, as at most logons) is noted and
// the event reported.
void RegisterMessageFile(RunContext& context, const std::string& source) {
  const std::string key = kEventLogApplicationKey + source;
  const std::string present =
      context.platform.registry.GetValue(key, "EventMessageFile").value_or("");
  const std::string missing =
      platform::JoinPath(context.platform.system.GetSystemFolder(), "EvntMsg.dll");
  if (!present.empty() && !EqualsIgnoringCase(present, missing)) return;

  const std::string messageFile = context.platform.eventLog.MessageFile();
  if (messageFile.empty()) return;
  const platform::Status written =
      context.platform.registry.SetValue(key, "EventMessageFile", messageFile);
  if (!written) {
    WriteErrorLines(context, "ERROR: Registering event message file << " + key,
                    written.errorNumber, written.description);
  }
}

}  // namespace

void WriteApplicationEvent(RunContext& context, const std::string& source,
                           const std::string& message, std::uint16_t eventType,
                           std::uint32_t eventId) {
  platform::EventLog& log = context.platform.eventLog;
  RegisterMessageFile(context, source);

  const platform::EventSourceResult registered = log.RegisterEventSource(source);
  if (registered.handle == 0) {
    WriteEventError(context, registered.error, registered.description);
    return;
  }
  // A long report would lose the whole event; its beginning is worth keeping
  // (the output file and the mail carry all of it).
  std::string text = message;
  if (text.size() > kMaxEventMessageChars) {
    text.resize(kMaxEventMessageChars);
    WriteDebugLine(context, ">> Event message cut to its first " +
                                std::to_string(kMaxEventMessageChars) + " of " +
                                std::to_string(message.size()) + " characters.");
  }
  std::string rawData = text;
  rawData.push_back('\0');
  const platform::EventLogResult reported =
      log.ReportEvent(registered.handle, eventType, 0, eventId, text, rawData);
  if (reported.ok) {
    WriteDebugLine(context, ">> Logged event in application event log.");
  } else {
    WriteEventError(context, reported.error, reported.description);
  }
  log.DeregisterEventSource(registered.handle);
}

}  // namespace quillon::engine
