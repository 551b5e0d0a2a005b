// The lines of the files a share holds: read piece by piece and bounded, junk
// told apart from text, and text that is no UTF-8 repaired, so that no file a
// user puts there can fill memory or pass its bytes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace quillon::tools::report {

// A line as the summary keeps it: at most kLongestKeptLine bytes, cut at a
// character's start and marked, so that no user's file can fill memory.
std::string Kept(std::string_view line);

bool IsUtf8(std::string_view text);

// Whether this host's 8-bit text is UTF-8.
bool HostTextIsUtf8();

// The lines of a file read piece by piece, without their line ends. A line
// with bytes no text holds, or longer than any the engine writes, comes back
// as junk, without its bytes and without ever being held whole: a client that
// crashed while appending leaves zeros, and the reports after them still count.
class LineSource {
 public:
  struct Line {
    std::string_view text;
    bool junk = false;
    // Junk that is text with control characters in it, not the zeros or the
    // endless bytes a crash leaves: a report line someone or something changed.
    bool damagedText = false;
  };

  // Reads at most `limit` bytes of the file.
  LineSource(platform::ReadableFile& file, std::uint64_t limit) : file_(file), limit_(limit) {}

  // The next line; nullopt at the end of the file or after a read error.
  std::optional<Line> Next();

  bool readError() const { return readError_; }
  // The last line had no line end: the file was cut inside it (or at the bound).
  bool cutLine() const { return cutLine_; }
  // The file holds more than the bound; what lies beyond was not read.
  bool truncated() const { return truncated_; }
  std::uint64_t bytes() const { return bytes_; }

 private:
  static Line Checked(std::string_view line);

  platform::ReadableFile& file_;
  const std::uint64_t limit_;
  std::string buffer_;
  std::size_t at_ = 0;
  bool ended_ = false;
  bool overlong_ = false;
  bool readError_ = false;
  bool cutLine_ = false;
  bool truncated_ = false;
  std::uint64_t bytes_ = 0;
};

// The lines of one file as the summary keeps them: on a UTF-8 host, a line
// that is no UTF-8 is read in a client's code page and the file noted once.
class TextRepair {
 public:
  // The line, or its repair, valid until the next call.
  std::string_view Text(std::string_view line);
  // Some line of the file needed repair.
  bool repaired() const { return repaired_; }

 private:
  bool repaired_ = false;
  std::string line_;
};

}  // namespace quillon::tools::report
