// Plain result values for the platform seam: no exceptions cross a module edge.
// `Status` carries the Windows-style error number and a readable description.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace quillon::platform {

// Windows' codes that several services give.
inline constexpr std::uint32_t kErrorInvalidHandle = 6;

struct Status {
  bool ok = true;
  std::uint32_t errorNumber = 0;
  std::string description;

  static Status Ok() { return {}; }
  static Status Error(std::uint32_t number, std::string text) {
    return {false, number, std::move(text)};
  }
  explicit operator bool() const { return ok; }
};

}  // namespace quillon::platform
