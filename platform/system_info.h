// What the engine asks the operating system about itself: version, names and
// the folders that hold the user's profile and the system files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::platform {

// A fact about the user or the computer that a document's targeting asks
// for: the values, or why they could not be had. `fromDirectory` marks a fact
// this system does not know itself and a directory named by the document may
// give (the simulated client without its keys).
struct TargetingFact {
  bool known = false;
  std::vector<std::string> values;
  std::string reason;  // when not known
  bool fromDirectory = false;

  static TargetingFact Of(std::vector<std::string> values) {
    return {true, std::move(values), {}, false};
  }
  static TargetingFact Unknown(std::string reason) { return {false, {}, std::move(reason), false}; }
};

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

  // Targeting's facts, asked only by a document that uses them. The user's
  // security groups and the computer account's, nested membership included,
  // by name; the computer's directory site (one value); its IP addresses as
  // text. A system that cannot tell says so; it never answers "none".
  virtual TargetingFact GetUserGroups() { return TargetingFact::Unknown(kNoFactsHere); }
  virtual TargetingFact GetComputerGroups() { return TargetingFact::Unknown(kNoFactsHere); }
  virtual TargetingFact GetSiteName() { return TargetingFact::Unknown(kNoFactsHere); }
  virtual TargetingFact GetAddresses() { return TargetingFact::Unknown(kNoFactsHere); }

  static constexpr const char* kNoFactsHere = "this system cannot tell";
};

}  // namespace quillon::platform
