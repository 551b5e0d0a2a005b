// The user profile's "Windows" and "PrinterPorts" entries (GetProfileString and
// WriteProfileString), which NT 4.0 and older keep the default printer in.
#pragma once

#include <optional>
#include <string>

#include "platform/status.h"

namespace quillon::platform {

class ProfileStrings {
 public:
  virtual ~ProfileStrings() = default;
  // nullopt when the section or key is absent or the call fails.
  virtual std::optional<std::string> GetProfileString(const std::string& section,
                                                      const std::string& key) = 0;
  virtual Status WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
};

}  // namespace quillon::platform
