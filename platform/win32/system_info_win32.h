// What Windows tells the engine about itself: the version record, the NetBIOS
// computer name, the logon name, the profile, system and program folders, and
// targeting's facts (the logon token's groups, the site, the addresses).
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
  bool IsElevated() override;
  std::string GetNativeDriverEnvironment() override;
  // Each group under both names a document may use: "CORP\Floor2-Pilot" and
  // "Floor2-Pilot" (a group without a domain, "Everyone", under its one name).
  TargetingFact GetUserGroups() override;
  // Left to the directory the document names (the computer object's groups).
  TargetingFact GetComputerGroups() override;
  TargetingFact GetSiteName() override;
  TargetingFact GetAddresses() override;
};

// The spooler's name for the system's own driver environment ("Windows x64",
// "Windows NT x86", "Windows ARM64"), whatever this program's: a 32-bit
// program on 64-bit Windows left to its own sees only 32-bit drivers, while
// printers print through the native ones. Null before Windows XP, where
// there is only the one environment and the spooler knows it.
const char* NativeDriverEnvironment();

// The enabled groups of an access token (a HANDLE with TOKEN_QUERY) by name,
// as GetUserGroups gives the logon token's.
TargetingFact TokenGroupNames(void* token);

}  // namespace quillon::platform::win32
