// The system's own text for a Windows error code, as FormatMessage gives it;
// Windows results carry it beside the number so that reports read like Windows.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::platform::win32 {

// Without its closing line break; "Error N" when the system has no text.
std::string SystemErrorText(std::uint32_t code);

}  // namespace quillon::platform::win32
