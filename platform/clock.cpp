// The locale-free general date form, used where no locale can be asked.
#include "platform/clock.h"

#include <cstdio>

namespace quillon::platform {

std::string Clock::FormatGeneralDate(const LocalTime& time) {
  const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%04d %d:%02d:%02d %s", time.month, time.day, time.year,
                hour12, time.minute, time.second, time.hour < 12 ? "AM" : "PM");
  return text;
}

}  // namespace quillon::platform
