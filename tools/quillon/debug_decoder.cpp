// Undoes the engine's scrambling of its debug file: the running byte sums,
// then the front-and-back reordering, then UTF-16LE.
#include <string>
#include <string_view>

#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

std::optional<std::string> DecodeDebugBytes(std::string_view bytes) {
  const std::size_t n = bytes.size();
  if (n == 0 || n % 2 != 0) return std::nullopt;
  // Scrambled position k holds byte 0 for k = 0, byte (k + 1) / 2 for odd k
  // and byte n - k / 2 for even k.
  std::string utf16(n, '\0');
  unsigned char previous = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const auto value = static_cast<unsigned char>(bytes[k]);
    const std::size_t index = (k & 1) ? (k + 1) / 2 : (k == 0 ? 0 : n - k / 2);
    utf16[index] = static_cast<char>(static_cast<unsigned char>(value - previous));
    previous = value;
  }
  std::u16string units(n / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                     (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
  }
  // Every line the engine writes ends in CR LF; random bytes almost never do,
  // and the text holds no NUL.
  if (units.size() < 2 || units[units.size() - 2] != u'\r' || units.back() != u'\n' ||
      units.find(u'\0') != std::u16string::npos) {
    return std::nullopt;
  }
  return platform::Utf16ToNarrow(units);
}

}  // namespace quillon::tools
