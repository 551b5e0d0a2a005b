// Helpers the simulated spooler's sources share (sim_spooler*.cpp): the parts
// of a connection's name and the shape of a failed call.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/spooler.h"

namespace quillon::platform::sim::spooler_support {

struct ConnectionName {
  std::string_view server, share;
};

// "\\SERVER\share"; the share part may itself hold backslashes.
inline std::optional<ConnectionName> ParseConnectionName(std::string_view name) {
  if (name.size() < 2 || name[0] != '\\' || name[1] != '\\') return std::nullopt;
  const std::string_view rest = name.substr(2);
  const auto cut = rest.find('\\');
  if (cut == std::string_view::npos || cut == 0 || cut + 1 == rest.size()) return std::nullopt;
  return ConnectionName{rest.substr(0, cut), rest.substr(cut + 1)};
}

inline SpoolerResult Failed(std::uint32_t error) { return SpoolerResult{false, error}; }

}  // namespace quillon::platform::sim::spooler_support
