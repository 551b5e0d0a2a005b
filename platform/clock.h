// Local time and pauses. Engine pauses go through here so that tests need not wait.
#pragma once

namespace quillon::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  virtual void Sleep(int milliseconds) = 0;
};

}  // namespace quillon::platform
