// The report's own small text helpers, shared by its readers: ASCII letter
// case as Windows compares computer, user and printer names, and the parts
// of paths and printer names as clients write them.
#pragma once

#include <string>
#include <string_view>

namespace quillon::tools::report {

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

inline std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

inline bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         StartsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
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
