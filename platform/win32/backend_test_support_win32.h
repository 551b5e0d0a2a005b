// What the Windows backend's tests share: the environment, names of this
// process's own, and small text and list helpers.
#pragma once

#include "platform/host/windows_api.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quillon::platform::win32::backend_tests {

inline std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

inline std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

// A name of this process's own, so that parallel runs and leftovers of an
// aborted run never meet.
inline std::string Unique(const std::string& stem) {
  return stem + " " + std::to_string(GetCurrentProcessId());
}

inline bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace quillon::platform::win32::backend_tests
