// Local time and pauses. Engine pauses go through here so that tests need not wait.
#pragma once

#include <string>

namespace quillon::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // The user's general date format: short date, then long time. The default is
  // the United States form ("3/15/2005 2:05:09 PM"); Windows asks the locale.
  virtual std::string FormatGeneralDate(const LocalTime& time);
};

}  // namespace quillon::platform
