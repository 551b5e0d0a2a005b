// The registry, addressed by full key paths such as
// "HKEY_CURRENT_USER\Software\Quillon\<section>" and string values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace quillon::platform {

class Registry {
 public:
  virtual ~Registry() = default;
  // nullopt when the key or the value does not exist (or is not a string);
  // the text is cut at its first NUL.
  virtual std::optional<std::string> GetValue(const std::string& keyPath,
                                              const std::string& valueName) = 0;
  // A number (REG_DWORD); nullopt when the key or the value does not exist or
  // the value is of another type.
  virtual std::optional<std::uint32_t> GetNumber(const std::string& keyPath,
                                                 const std::string& valueName) = 0;
  // The names of the key's subkeys; empty when the key does not exist or
  // cannot be read.
  virtual std::vector<std::string> ListSubkeys(const std::string& keyPath) = 0;
  // Creates the key chain as needed.
  virtual Status SetValue(const std::string& keyPath, const std::string& valueName,
                          const std::string& value) = 0;
};

}  // namespace quillon::platform
