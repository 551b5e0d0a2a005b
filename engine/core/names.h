// Printer and server names are compared the way Windows compares them: without
// regard to letter case.
#pragma once

#include <string_view>

#include "platform/ascii_case.h"

namespace quillon::engine {

using ::quillon::EqualsIgnoringCase;
using ::quillon::LowerAscii;

// The part of a "\\server\name" printer name after the server: everything after
// the first backslash from the third character on; the whole name without one.
inline std::string_view NameAfterServer(std::string_view printerName) {
  std::size_t slash = printerName.size() > 2 ? printerName.find('\\', 2) : std::string_view::npos;
  return slash == std::string_view::npos ? printerName : printerName.substr(slash + 1);
}

}  // namespace quillon::engine
