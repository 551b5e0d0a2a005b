// The host's local time and a real sleep.
#pragma once

#include "platform/clock.h"

namespace quillon::platform {

class HostClock : public Clock {
 public:
  LocalTime Now() override;
  ZonedTime NowWithOffset() override;
  void Sleep(int milliseconds) override;
};

}  // namespace quillon::platform
