// What the engine asks the operating system about itself: version, names and
// the folders that hold the user's profile and the system files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::platform {

// The part of GetVersionEx's record that the engine decides on.
struct OsVersion {
  std::uint32_t error = 0;  // non-zero: the query failed with this last-error code
  int platformId = 2;       // 1 = Windows 95/98/ME, 2 = NT family
  int majorVersion = 10;
  // The build, also where the major version is held back from programs
  // without a manifest (Windows 10 1511 is 10586); 0 when not known.
  std::uint32_t buildNumber = 0;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual OsVersion GetVersion() = 0;
  // The computer's network name; nullopt when it cannot be had.
  virtual std::optional<std::string> GetComputerName() = 0;
  // The computer's fully qualified DNS name (Windows'
  // ComputerNameDnsFullyQualified); nullopt when it has none or it cannot be had.
  virtual std::optional<std::string> GetDnsFullName() = 0;
  // The logged-on user's logon name (empty when it cannot be had).
  virtual std::string GetUserName() = 0;
  // The current user's profile folder, from the process token.
  virtual std::string GetProfileFolder() = 0;
  virtual std::string GetSystemFolder() = 0;
  // The folder that holds the running program (the deployment folder in practice).
  virtual std::string GetProgramFolder() = 0;
  // The system's message text for a Windows error number; empty when it has none.
  virtual std::string GetErrorText(std::uint32_t code) = 0;
  // Whether this program runs with an administrator's rights (on NT an
  // elevated token, not a filtered one): what installing a printer driver or
  // adding a port takes. Always true on Windows 95/98/ME.
  virtual bool IsElevated() = 0;
  // The spooler's name for the system's own driver environment ("Windows x64",
  // "Windows NT x86"), whatever this program's; empty where the spooler knows
  // only one and needs none named.
  virtual std::string GetNativeDriverEnvironment() = 0;
};

}  // namespace quillon::platform
