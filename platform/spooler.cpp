#include "platform/spooler.h"

#include <charconv>

namespace quillon::platform {

namespace {
constexpr std::uint32_t kErrorCallNotImplemented = 120;
}  // namespace

std::optional<DriverVersion> ParseDriverVersion(std::string_view text) {
  DriverVersion version = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    // Digits only: from_chars would take a sign or leave blanks unread.
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    unsigned value = 0;
    if (digits == 0 || digits > 5 ||
        std::from_chars(text.data(), text.data() + digits, value).ec != std::errc() ||
        value > 0xFFFF) {
      return std::nullopt;
    }
    version = (version << 16) | value;
    text.remove_prefix(digits);
  }
  if (!text.empty()) return std::nullopt;
  return version;
}

std::string DriverVersionText(DriverVersion version) {
  std::string text;
  for (int shift = 48; shift >= 0; shift -= 16) {
    if (!text.empty()) text += '.';
    text += std::to_string((version >> shift) & 0xFFFF);
  }
  return text;
}

ServerQueueList Spooler::ListServerQueues(const std::string&) {
  return {false, kErrorCallNotImplemented, {}};
}

InstalledDriverList Spooler::ListInstalledDrivers(const std::string&) {
  return {false, kErrorCallNotImplemented, {}};
}

SpoolerResult Spooler::InstallDriverFromServer(const std::string&) {
  return {false, kErrorCallNotImplemented};
}

ProfileConnectionList Spooler::ListProfileConnections() {
  return {false, kErrorCallNotImplemented, {}};
}

std::vector<ServerProbe> Spooler::ProbeServers(const std::vector<std::string>& servers) {
  std::vector<ServerProbe> answers;
  answers.reserve(servers.size());
  for (const std::string& server : servers) answers.push_back({server, true, 0});
  return answers;
}

}  // namespace quillon::platform
