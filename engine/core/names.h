// Printer and server names are compared the way Windows compares them: without
// regard to letter case.
#pragma once

#include <string_view>

namespace quillon::engine {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The part of a "\\server\name" printer name after the server: everything after
// the first backslash from the third character on; the whole name without one.
inline std::string_view NameAfterServer(std::string_view printerName) {
  std::size_t slash = printerName.size() > 2 ? printerName.find('\\', 2) : std::string_view::npos;
  return slash == std::string_view::npos ? printerName : printerName.substr(slash + 1);
}

}  // namespace quillon::engine
