// Conversion of the 8-bit code page text (UTF-8 on POSIX, the ANSI code page on
// Windows) to UTF-16, used where a file format wants UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace quillon::platform {

// Bytes that do not form a character become U+FFFD.
std::u16string NarrowToUtf16(std::string_view text);

}  // namespace quillon::platform
