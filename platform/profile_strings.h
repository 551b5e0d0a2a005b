// The user profile's "Windows" and "PrinterPorts" entries (GetProfileString and
// WriteProfileString), which NT 4.0 and older keep the default printer in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace quillon::platform {

struct ProfileStringResult {
  bool ok = false;
  std::string value;       // cut to the buffer less one character
  std::uint32_t error = 0;  // the last-error code when not ok
};

class ProfileStrings {
 public:
  virtual ~ProfileStrings() = default;
  // As GetProfileString with an empty default into a buffer of `bufferChars`:
  // ok when it returned characters; an absent entry fails with 2.
  virtual ProfileStringResult GetProfileString(const std::string& section, const std::string& key,
                                               std::size_t bufferChars) = 0;
  virtual Status WriteProfileString(const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
};

}  // namespace quillon::platform
