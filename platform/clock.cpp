// The locale-free general date form, used where no locale can be asked.
#include "platform/clock.h"

#include <chrono>
#include <cstdio>

namespace quillon::platform {

std::uint64_t Clock::ElapsedMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

long long DaysSinceEpoch(int year, int month, int day) {
  // Howard Hinnant's days_from_civil.
  const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long mp = (month + 9) % 12;
  const long long doy = (153 * mp + 2) / 5 + day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DayOfWeek(const LocalTime& time) {
  const long long days = DaysSinceEpoch(time.year, time.month, time.day);
  // 1970-01-01 was a Thursday.
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

int OffsetMinutes(const LocalTime& local, const LocalTime& utc) {
  const auto minutes = [](const LocalTime& t) {
    return DaysSinceEpoch(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
  };
  return static_cast<int>(minutes(local) - minutes(utc));
}

std::string Clock::FormatGeneralDate(const LocalTime& time) {
  const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%04d %d:%02d:%02d %s", time.month, time.day, time.year,
                hour12, time.minute, time.second, time.hour < 12 ? "AM" : "PM");
  return text;
}

}  // namespace quillon::platform
