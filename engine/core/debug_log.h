// The engine's debug log: lines collected in memory during the run and written
// once at the end, scrambled, to "<computer name>.debug" beside the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/status.h"

namespace quillon::engine {

struct RunContext;

class DebugLog {
 public:
  void Append(std::string_view line) {
    text_ += line;
    text_ += "\r\n";
  }
  void Clear() { text_.clear(); }
  const std::string& text() const { return text_; }
  std::string TakeText() { return std::move(text_); }

 private:
  std::string text_;
};

// Appends the line to the debug text when the document's "DebugOn" is true.
void WriteDebugLine(RunContext& context, std::string_view text);
void ClearDebugText(RunContext& context);
// The three lines of a failure: what failed, "ERROR: " and the number,
// "ERROR DESCRIPTION: " and the description.
void WriteErrorLines(RunContext& context, std::string_view what, std::int64_t number,
                     std::string_view description);

// Writes the debug file when "DebugOn" is true and there is text. The status
// tells whether the file could be written; the text is consumed.
platform::Status FlushDebugLog(RunContext& context);

// The file's bytes: the text as UTF-16LE, reordered (first byte, then one from
// the front and one from the back in turn) and summed byte by byte modulo 256.
// Written to `out` in pieces, so that no second copy of the whole output is held.
platform::Status WriteScrambledDebugText(std::string text, platform::WritableFile& out);
std::string ScrambleDebugText(std::string text);

}  // namespace quillon::engine
