// Local time, pauses, and the general date in the user's own format.
#pragma once

#include "platform/clock.h"

namespace quillon::platform::win32 {

class Win32Clock : public Clock {
 public:
  LocalTime Now() override;
  ZonedTime NowWithOffset() override;
  void Sleep(int milliseconds) override;
  // The user's short date, a blank, then the user's time format.
  std::string FormatGeneralDate(const LocalTime& time) override;
};

}  // namespace quillon::platform::win32
