// Where Windows keeps two facts about a user's printers that the spooler's
// calls do not tell: whether Windows manages the default printer, and which
// connections the computer gives every user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::platform {

// The user's "Windows" settings; LegacyDefaultPrinterMode 1 there turns
// Windows' management of the default printer off (the user policy "Turn off
// Windows default printer management" writes the same value).
inline constexpr std::string_view kUserWindowsSettingsKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr std::string_view kLegacyDefaultPrinterModeValue = "LegacyDefaultPrinterMode";

// Windows 10 1511, the first build that manages the default printer.
inline constexpr std::uint32_t kFirstBuildManagingDefaultPrinter = 10586;

// Per-machine connections (Group Policy's computer deployment, printui /ga):
// one subkey per connection, named ",,SERVER,SHARE".
inline constexpr std::string_view kPerMachineConnectionsKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Connections";

// ",,SERVER,SHARE" as the connection's name "\\SERVER\SHARE"; nullopt for a
// subkey of another form.
inline std::optional<std::string> ConnectionNameOfSubkey(std::string_view subkey) {
  if (subkey.size() < 5 || subkey.substr(0, 2) != ",,") return std::nullopt;
  subkey.remove_prefix(2);
  const std::size_t comma = subkey.find(',');
  if (comma == 0 || comma == std::string_view::npos || comma + 1 == subkey.size()) {
    return std::nullopt;
  }
  const std::string_view server = subkey.substr(0, comma);
  const std::string_view share = subkey.substr(comma + 1);
  if (share.find(',') != std::string_view::npos) return std::nullopt;
  return "\\\\" + std::string(server) + "\\" + std::string(share);
}

// "\\SERVER\SHARE" as its subkey's name; nullopt for a name of another form.
inline std::optional<std::string> SubkeyOfConnectionName(std::string_view name) {
  if (name.size() < 5 || name.substr(0, 2) != "\\\\") return std::nullopt;
  name.remove_prefix(2);
  const std::size_t slash = name.find('\\');
  if (slash == 0 || slash == std::string_view::npos || slash + 1 == name.size()) {
    return std::nullopt;
  }
  return ",," + std::string(name.substr(0, slash)) + "," + std::string(name.substr(slash + 1));
}

}  // namespace quillon::platform
