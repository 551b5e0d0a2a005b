// The report's own small text helpers, shared by its readers: the parts of
// paths and printer names as clients write them (letter case is
// platform/ascii_case.h's).
#pragma once

#include <string>
#include <string_view>

#include "platform/ascii_case.h"

namespace quillon::tools::report {

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The last part of a path as a client wrote it (either separator).
inline std::string_view BaseName(std::string_view path) {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

// The server of a printer name "\\SERVER\share".
inline std::string_view ServerOf(std::string_view printer) {
  if (!StartsWith(printer, "\\\\")) return {};
  printer.remove_prefix(2);
  return printer.substr(0, printer.find('\\'));
}

}  // namespace quillon::tools::report
