// The user profile's "Windows" and "PrinterPorts" entries through
// GetProfileString and WriteProfileString (win.ini, or the registry that
// Windows maps it to).
#pragma once

#include "platform/profile_strings.h"

namespace quillon::platform::win32 {

class Win32ProfileStrings : public ProfileStrings {
 public:
  ProfileStringResult GetProfileString(const std::string& section, const std::string& key,
                                       std::size_t bufferChars) override;
  Status WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) override;
};

}  // namespace quillon::platform::win32
