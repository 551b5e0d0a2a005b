#include "platform/host/host_clock.h"

#include <ctime>

#include "platform/host/process.h"

namespace quillon::platform {

namespace {

LocalTime FromTm(const std::tm& parts) {
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

LocalTime Broken(std::time_t at, bool utc) {
  std::tm parts{};
#ifdef _WIN32
  if (utc) gmtime_s(&parts, &at);
  else localtime_s(&parts, &at);
#else
  if (utc) gmtime_r(&at, &parts);
  else localtime_r(&at, &parts);
#endif
  return FromTm(parts);
}

}  // namespace

LocalTime HostClock::Now() { return Broken(std::time(nullptr), false); }

ZonedTime HostClock::NowWithOffset() {
  const std::time_t now = std::time(nullptr);
  const LocalTime local = Broken(now, false);
  return {local, OffsetMinutes(local, Broken(now, true))};
}

void HostClock::Sleep(int milliseconds) { SleepMilliseconds(milliseconds); }

}  // namespace quillon::platform
