// Text for the command's outputs: UTF-8 for scripts, JSON strings, and text
// from files users can write made safe for a terminal.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

std::string WithLf(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

std::size_t Utf8Sequence(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char c = p[0];
  std::size_t extra;
  char32_t code, minimum;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    extra = 1, code = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, code = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, code = c & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (extra >= text.size()) return 0;
  for (std::size_t j = 1; j <= extra; ++j) {
    if ((p[j] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[j] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return extra + 1;
}

// The programs' 8-bit text is UTF-8 on every host, so the way through UTF-16
// only replaces what is not well-formed.
std::string Utf8Text(std::string_view text) {
  return platform::Utf16ToNarrow(platform::NarrowToUtf16(text));
}

std::string JsonString(std::string_view text) {
  std::string result = "\"";
  for (char c : Utf8Text(text)) {
    switch (c) {
      case '"': result += "\\\""; break;
      case '\\': result += "\\\\"; break;
      case '\n': result += "\\n"; break;
      case '\r': result += "\\r"; break;
      case '\t': result += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          result += escaped;
        } else {
          result += c;
        }
    }
  }
  return result + "\"";
}

namespace {
// U+200E, U+200F, U+2028 to U+202E, U+2066 to U+2069 and U+FEFF, in UTF-8.
bool IsDirectionOrSeparator(std::string_view sequence) {
  const auto b0 = static_cast<unsigned char>(sequence[0]);
  const auto b1 = static_cast<unsigned char>(sequence[1]);
  const auto b2 = static_cast<unsigned char>(sequence[2]);
  if (b0 == 0xEF) return b1 == 0xBB && b2 == 0xBF;
  if (b0 != 0xE2) return false;
  if (b1 == 0x80) return b2 == 0x8E || b2 == 0x8F || (b2 >= 0xA8 && b2 <= 0xAE);
  if (b1 == 0x81) return b2 >= 0xA6 && b2 <= 0xA9;
  return false;
}
}  // namespace

std::string VisibleText(std::string_view text, bool keepLayout) {
  static const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  std::string out;
  out.reserve(text.size());
  auto hex = [&out](unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      if (keepLayout && (c == '\t' || c == '\n')) {
        out += static_cast<char>(c);
      } else {
        out += '^';
        out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
      }
      ++i;
      continue;
    }
    // In an 8-bit code page of Windows the bytes 0x80 to 0x9F are letters.
    if (c < 0x80 || !utf8) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = Utf8Sequence(text.substr(i));
    if (length == 0) {
      hex(c);  // a terminal could take a stray byte for a C1 control
      ++i;
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      hex(static_cast<unsigned char>(text[i + 1]));  // U+0080 to U+009F: C1 controls
      i += 2;
    } else if (length == 3 && IsDirectionOrSeparator(text.substr(i, 3))) {
      // A text that runs backwards on the screen, or breaks the line, shows
      // other names than it holds.
      char shown[12];
      std::snprintf(shown, sizeof shown, "<U+%04X>",
                    static_cast<unsigned>(((c & 0x0F) << 12) |
                                          ((static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                                          (static_cast<unsigned char>(text[i + 2]) & 0x3F)));
      out += shown;
      i += 3;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace quillon::tools
