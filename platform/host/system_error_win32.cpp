#include "platform/host/system_error_win32.h"

#include "platform/host/windows_api.h"

namespace quillon::platform::win32 {

std::string SystemErrorText(std::uint32_t code) {
  wchar_t text[512] = {};  // characters
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L' ')) {
    --length;
  }
  if (length == 0) return "Error " + std::to_string(code);
  return Utf8(std::wstring_view(text, length));
}

}  // namespace quillon::platform::win32
