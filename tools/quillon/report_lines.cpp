// Reading a share's files line by line within their bounds, and repairing
// their text: junk, overlong lines and an earlier client's code page.
#include "tools/quillon/report_lines.h"

#include <algorithm>
#include <array>

#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report.h"

namespace quillon::tools::report {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// No line the engine writes comes near this; a longer one is binary junk.
constexpr std::size_t kLongestLine = 64 * 1024;

// An earlier Windows client wrote its reports in its ANSI code page. On
// Windows a line that is not UTF-8 is read in this host's ANSI code page (a
// client of the same site); elsewhere as Windows-1252, the code page of
// Western European and American clients.
std::string FromClientCodePage(std::string_view text) {
#ifdef _WIN32
  return platform::CodePageToNarrow(text);
#else
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::u16string units;
  units.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    units += byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte);
  }
  // Only called on a host whose 8-bit text is UTF-8.
  return platform::Utf16ToNarrow(units);
#endif
}

// Bytes no text of the engine holds: NUL and the other controls but tab.
bool IsJunk(std::string_view line) {
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::string Kept(std::string_view line) {
  if (line.size() <= kLongestKeptLine) return std::string(line);
  std::size_t end = kLongestKeptLine - 3;
  while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
  return std::string(line.substr(0, end)) + "...";
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Sequence(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool HostTextIsUtf8() {
  static const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  return utf8;
}

std::optional<LineSource::Line> LineSource::Next() {
  while (true) {
    const std::size_t end = buffer_.find('\n', at_);
    if (end != std::string::npos) {
      std::string_view line(buffer_.data() + at_, end - at_);
      at_ = end + 1;
      if (overlong_) {
        overlong_ = false;
        return Line{{}, true};
      }
      return Checked(line);
    }
    if (buffer_.size() - at_ > kLongestLine) {
      buffer_.clear();
      at_ = 0;
      overlong_ = true;
    }
    if (ended_) {
      if (at_ == buffer_.size() && !overlong_) return std::nullopt;
      std::string_view line(buffer_.data() + at_, buffer_.size() - at_);
      at_ = buffer_.size();
      if (overlong_) {
        overlong_ = false;
        return Line{{}, true};
      }
      const Line last = Checked(line);
      cutLine_ = !last.junk;
      return last;
    }
    buffer_.erase(0, at_);
    at_ = 0;
    if (bytes_ >= limit_) {
      // Whether anything lies beyond the bound, without reading it.
      char beyond;
      const std::optional<std::size_t> more = file_.Read(&beyond, 1);
      truncated_ = more && *more > 0;
      ended_ = true;
      continue;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, limit_ - bytes_));
    const std::size_t had = buffer_.size();
    buffer_.resize(had + want);
    const std::optional<std::size_t> got = file_.Read(buffer_.data() + had, want);
    buffer_.resize(had + got.value_or(0));
    bytes_ += got.value_or(0);
    if (!got) {
      readError_ = true;
      ended_ = true;
    } else if (*got == 0) {
      ended_ = true;
    }
  }
}

LineSource::Line LineSource::Checked(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (IsJunk(line)) {
    const bool zeros = line.find_first_not_of('\0') == std::string_view::npos;
    return Line{{}, true, !zeros};
  }
  return Line{line, false};
}

std::string_view TextRepair::Text(std::string_view line) {
  if (!HostTextIsUtf8() || IsUtf8(line)) return line;
  repaired_ = true;
  line_ = FromClientCodePage(line);
  return line_;
}

std::string Utf8(std::string_view narrow) {
  // Reports are mostly UTF-8 already on a UTF-8 host: no conversion then.
  if (HostTextIsUtf8() && IsUtf8(narrow)) return std::string(narrow);
  return Utf8Text(narrow);
}

}  // namespace quillon::tools::report
