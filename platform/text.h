// Conversion between the 8-bit code page text (UTF-8 on POSIX, the ANSI code
// page on Windows) and UTF-16, used where a file format wants UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace quillon::platform {

// Bytes that do not form a character become U+FFFD.
std::u16string NarrowToUtf16(std::string_view text);

// A lone surrogate becomes U+FFFD on POSIX; Windows maps what its code page
// lacks to the nearest character it has, or "?".
std::string Utf16ToNarrow(std::u16string_view text);

// The MIME (IANA) name of the 8-bit text's character set, for a mail's
// Content-Type: "UTF-8" on POSIX; on Windows the ANSI code page's, such as
// "windows-1252".
std::string NarrowCharsetName();
#ifdef _WIN32
// The name for one code page (1252 → "windows-1252", 932 → "Shift_JIS").
std::string CodePageCharsetName(unsigned codePage);
#endif

}  // namespace quillon::platform
