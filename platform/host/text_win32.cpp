// UTF-8 to UTF-16 and back, and the ANSI code page for files other programs
// of the system write and read, through the system's own tables.
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

std::string NarrowCharsetName() { return "UTF-8"; }

std::u16string NarrowToUtf16(std::string_view text) {
  const std::wstring wide = win32::Wide(text);
  return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::string Utf16ToNarrow(std::u16string_view text) {
  return win32::Utf8(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

NarrowText Utf8ToNarrow(std::string_view utf8) {
  NarrowText result;
  if (utf8.empty()) return result;
  result.text = Utf16ToNarrow(NarrowToUtf16(utf8));
  result.exact = result.text == utf8;
  return result;
}

std::string CodePageToNarrow(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), units);
  return win32::Utf8(wide);
}

NarrowText NarrowToCodePage(std::string_view text) {
  NarrowText result;
  if (text.empty()) return result;
  const std::wstring wide = win32::Wide(text);
  const int units = static_cast<int>(wide.size());
  // Text that is not UTF-8 became U+FFFD, which no 8-bit code page holds.
  result.exact = win32::Utf8(wide) == text;
  const UINT codePage = GetACP();
  if (codePage == CP_UTF8) {
    // A system whose ANSI code page is UTF-8 refuses the flags below for it.
    result.text = win32::Utf8(wide);
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
