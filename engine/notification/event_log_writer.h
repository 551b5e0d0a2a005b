// The engine's application event log writer: registers the message file once,
// then reports one event under the given source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::engine {

struct RunContext;

inline constexpr const char* kEventSource = "Quillon";
inline constexpr std::uint32_t kOutcomeEventId = 20001;
inline constexpr std::uint32_t kDebugFileEventId = 20002;
inline constexpr std::uint32_t kDriverStagingEventId = 20003;  // a staging run's outcome
// Windows refuses an event whose insertion string is longer.
inline constexpr std::size_t kMaxEventMessageChars = 31839;
inline constexpr const char* kEventLogApplicationKey =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\";

void WriteApplicationEvent(RunContext& context, const std::string& source,
                           const std::string& message, std::uint16_t eventType,
                           std::uint32_t eventId);

}  // namespace quillon::engine
