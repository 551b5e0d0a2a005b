// The programs' 8-bit text is UTF-8 on every platform; it meets UTF-16 where a
// file format or the system wants it, and the ANSI code page of Windows in
// files that other programs of the system read and write.
#pragma once

#include <string>
#include <string_view>

namespace quillon::platform {

// Bytes that do not form a character become U+FFFD.
std::u16string NarrowToUtf16(std::string_view text);

// A lone surrogate becomes U+FFFD.
std::string Utf16ToNarrow(std::u16string_view text);

// Text and whether it came through whole. `exact` is false when something was
// lost on the way; what was lost is never replaced by a look-alike, so a lossy
// name cannot pass for another.
struct NarrowText {
  std::string text;
  bool exact = true;
  bool operator==(const NarrowText&) const = default;
};

// Text in UTF-8 from a protocol (a directory's strings) as 8-bit text: bytes
// that are not UTF-8 become U+FFFD and make it inexact.
NarrowText Utf8ToNarrow(std::string_view utf8);

// 8-bit text of files that the system's own programs read and write as the
// host's "ANSI" text: on Windows its ANSI code page, where a character it
// cannot hold becomes "?" and makes the result inexact (as do bytes that are
// not UTF-8); on POSIX the text as it is.
std::string CodePageToNarrow(std::string_view bytes);
NarrowText NarrowToCodePage(std::string_view text);

// The MIME (IANA) name of the 8-bit text's character set, for a mail's
// Content-Type: "UTF-8".
std::string NarrowCharsetName();
#ifdef _WIN32
// The name for one code page (1252 → "windows-1252", 932 → "Shift_JIS").
std::string CodePageCharsetName(unsigned codePage);
#endif

}  // namespace quillon::platform
