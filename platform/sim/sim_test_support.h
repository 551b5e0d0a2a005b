// Small helpers shared by the simulated client's tests.
#pragma once

#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/profile_strings.h"

namespace quillon::platform::sim {

// A clock that never waits and always tells the same time.
class NoClock : public Clock {
 public:
  LocalTime Now() override { return {2024, 1, 2, 3, 4, 5}; }
  ZonedTime NowWithOffset() override { return {Now(), 0}; }
  void Sleep(int) override {}
};

// The value GetProfileString returned, or nullopt when it returned nothing.
inline std::optional<std::string> ProfileValue(ProfileStrings& strings, const std::string& section,
                                               const std::string& key) {
  ProfileStringResult result = strings.GetProfileString(section, key, 1024);
  if (!result.ok) return std::nullopt;
  return result.value;
}

}  // namespace quillon::platform::sim
