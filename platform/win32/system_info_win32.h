// What Windows tells the engine about itself: the version record, the NetBIOS
// computer name, the logon name, and the profile, system and program folders.
#pragma once

#include "platform/system_info.h"

namespace quillon::platform::win32 {

class Win32SystemInfo : public SystemInfo {
 public:
  OsVersion GetVersion() override;
  std::optional<std::string> GetComputerName() override;
  std::optional<std::string> GetDnsFullName() override;
  std::string GetUserName() override;
  std::string GetProfileFolder() override;
  std::string GetSystemFolder() override;
  std::string GetProgramFolder() override;
  std::string GetErrorText(std::uint32_t code) override;
};

}  // namespace quillon::platform::win32
