#include "platform/win32/profile_strings_win32.h"

#include <vector>

#include "platform/host/windows_api.h"
#include "platform/host/system_error_win32.h"

namespace quillon::platform::win32 {

ProfileStringResult Win32ProfileStrings::GetProfileString(const std::string& section,
                                                          const std::string& key,
                                                          std::size_t bufferChars) {
  ProfileStringResult result;
  std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
  const std::wstring wideSection = Wide(section), wideKey = Wide(key);
  SetLastError(0);
  const DWORD copied = GetProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", buffer.data(),
                                         static_cast<DWORD>(bufferChars));
  const DWORD error = GetLastError();
  if (copied == 0) {
    result.error = error;
    return result;
  }
  result.ok = true;
  result.value = Utf8(std::wstring_view(buffer.data(), copied));
  return result;
}

Status Win32ProfileStrings::WriteProfileString(const std::string& section, const std::string& key,
                                               const std::string& value) {
  const std::wstring wideSection = Wide(section), wideKey = Wide(key), wideValue = Wide(value);
  SetLastError(0);
  if (WriteProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str())) {
    return Status::Ok();
  }
  const DWORD error = GetLastError();
  return Status::Error(error, SystemErrorText(error));
}

}  // namespace quillon::platform::win32
