// The registry by full key paths ("HKEY_CURRENT_USER\Software\Quillon\...",
// "HKEY_LOCAL_MACHINE\System\..."): string values, numbers read, subkeys listed.
#pragma once

#include "platform/registry.h"

namespace quillon::platform::win32 {

class Win32Registry : public Registry {
 public:
  // nullopt also when the value is not a plain string (REG_SZ).
  std::optional<std::string> GetValue(const std::string& keyPath,
                                      const std::string& valueName) override;
  std::optional<std::uint32_t> GetNumber(const std::string& keyPath,
                                         const std::string& valueName) override;
  std::vector<std::string> ListSubkeys(const std::string& keyPath) override;
  // Creates the key chain and writes a REG_SZ value.
  Status SetValue(const std::string& keyPath, const std::string& valueName,
                  const std::string& value) override;
};

}  // namespace quillon::platform::win32
