// ANSI code page to UTF-16 and back through the system's own tables.
#include "platform/host/windows_api.h"

#include <string>

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

NarrowText Utf8ToNarrow(std::string_view utf8) {
  NarrowText result;
  if (utf8.empty()) return result;
  const int bytes = static_cast<int>(utf8.size());
  int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, nullptr, 0);
  DWORD strict = MB_ERR_INVALID_CHARS;
  if (units == 0) {
    // Not UTF-8 throughout: converted with U+FFFD for what is not, and marked.
    result.exact = false;
    strict = 0;
    units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  }
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, strict, utf8.data(), bytes, wide.data(), units);

  const UINT codePage = GetACP();
  if (codePage == CP_UTF8) {
    // A system whose ANSI code page is UTF-8 loses nothing (and refuses the
    // flags below for it).
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr,
                                           nullptr);
    result.text.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, result.text.data(), length, nullptr,
                        nullptr);
    return result;
  }
  // No best fit: "\u0141" must not quietly become "L" and name another printer.
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units,
                                         nullptr, 0, "?", &usedDefault);
  result.text.assign(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, result.text.data(),
                      length, "?", &usedDefault);
  if (usedDefault) result.exact = false;
  return result;
}

}  // namespace quillon::platform
