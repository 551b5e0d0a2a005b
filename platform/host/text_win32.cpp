// ANSI code page to UTF-16 and back through the system's own tables.
#include "platform/host/windows_api.h"

#include "platform/text.h"

namespace quillon::platform {

std::string CodePageCharsetName(unsigned codePage) {
  switch (codePage) {
    case 874: return "windows-874";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "EUC-KR";
    case 950: return "Big5";
    case 20127: return "US-ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28599: return "ISO-8859-9";
    case 28605: return "ISO-8859-15";
    case 51932: return "EUC-JP";
    case 54936: return "GB18030";
    case 65001: return "UTF-8";
    default: break;
  }
  // 1250 to 1258, and IANA's names for the DOS code pages (IBM437, IBM850...).
  if (codePage >= 1250 && codePage <= 1258) return "windows-" + std::to_string(codePage);
  if (codePage < 1000) return "IBM" + std::to_string(codePage);
  return "windows-" + std::to_string(codePage);
}

std::string NarrowCharsetName() { return CodePageCharsetName(GetACP()); }

std::u16string NarrowToUtf16(std::string_view text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

std::string Utf16ToNarrow(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, units, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace quillon::platform
