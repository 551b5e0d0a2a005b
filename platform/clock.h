// Local time and pauses. Engine pauses go through here so that tests need not wait.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// A local time with its offset from UTC (local minus UTC, in minutes): what a
// mail's Date header needs.
struct ZonedTime {
  LocalTime local;
  int utcOffsetMinutes = 0;
};

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
long long DaysSinceEpoch(int year, int month, int day);
// 0 = Sunday ... 6 = Saturday.
int DayOfWeek(const LocalTime& time);
// Minutes by which `local` is ahead of `utc`, both the same instant.
int OffsetMinutes(const LocalTime& local, const LocalTime& utc);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // The local time and the zone's offset at one instant.
  virtual ZonedTime NowWithOffset() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Milliseconds on a clock that only moves forward, for telling how long
  // something took; the host's steady clock unless a test keeps its own time.
  virtual std::uint64_t ElapsedMilliseconds();
  // The user's general date format: short date, then long time. The default is
  // the United States form ("3/15/2005 2:05:09 PM"); Windows asks the locale.
  virtual std::string FormatGeneralDate(const LocalTime& time);
};

}  // namespace quillon::platform
