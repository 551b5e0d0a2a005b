// The application event log, shaped like the Windows calls the engine makes: a
// source is registered, reported to and deregistered, each call returning its
// own result and last-error code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::platform {

// A registered event source; 0 is none.
using EventSourceHandle = std::uint64_t;

inline constexpr std::uint16_t kEventTypeWarning = 2;
inline constexpr std::uint16_t kEventTypeInformation = 4;

struct EventSourceResult {
  EventSourceHandle handle = 0;
  std::uint32_t error = 0;  // the last-error code when `handle` is 0
  std::string description;  // the system's text for `error`
};

struct EventLogResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::string description;
};

class EventLog {
 public:
  virtual ~EventLog() = default;
  // On the local computer.
  virtual EventSourceResult RegisterEventSource(const std::string& sourceName) = 0;
  // One event with one insertion string; `rawData` is the event's binary data.
  virtual EventLogResult ReportEvent(EventSourceHandle source, std::uint16_t type,
                                     std::uint16_t category, std::uint32_t eventId,
                                     const std::string& message, std::string_view rawData) = 0;
  virtual EventLogResult DeregisterEventSource(EventSourceHandle source) = 0;
  // The file whose message table lets the event viewer show this program's
  // event texts; empty when there is none to name.
  virtual std::string MessageFile() { return {}; }
};

}  // namespace quillon::platform
