// The application event log: RegisterEventSource on the local computer,
// ReportEvent with one insertion string and raw data, DeregisterEventSource.
#pragma once

#include "platform/event_log.h"

namespace quillon::platform::win32 {

class Win32EventLog : public EventLog {
 public:
  EventSourceResult RegisterEventSource(const std::string& sourceName) override;
  EventLogResult ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint16_t category,
                             std::uint32_t eventId, const std::string& message,
                             std::string_view rawData) override;
  EventLogResult DeregisterEventSource(EventSourceHandle source) override;
  // The running program, when it carries the message table
  // (platform/win32/event_messages.mc) and its path has an ANSI form.
  std::string MessageFile() override;
};

}  // namespace quillon::platform::win32
