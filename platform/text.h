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

// Text in UTF-8 from a protocol (a directory's strings) as 8-bit text.
// `exact` is false when something was lost on the way: bytes that are not
// UTF-8, or (on Windows) a character the ANSI code page lacks, which becomes
// "?" and is never replaced by a look-alike, so a lossy name cannot pass for
// another.
struct NarrowText {
  std::string text;
  bool exact = true;
  bool operator==(const NarrowText&) const = default;
};
NarrowText Utf8ToNarrow(std::string_view utf8);

// The MIME (IANA) name of the 8-bit text's character set, for a mail's
// Content-Type: "UTF-8" on POSIX; on Windows the ANSI code page's, such as
// "windows-1252".
std::string NarrowCharsetName();
#ifdef _WIN32
// The name for one code page (1252 → "windows-1252", 932 → "Shift_JIS").
std::string CodePageCharsetName(unsigned codePage);
#endif

}  // namespace quillon::platform
