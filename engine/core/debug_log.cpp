#include "engine/core/debug_log.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "platform/text.h"

namespace quillon::engine {

void WriteDebugLine(RunContext& context, std::string_view text) {
  if (context.document.DebugOn) context.debugLog.Append(text);
}

void ClearDebugText(RunContext& context) { context.debugLog.Clear(); }

void WriteErrorLines(RunContext& context, std::string_view what, std::int64_t number,
                     std::string_view description) {
  WriteDebugLine(context, what);
  WriteDebugLine(context, "ERROR: " + std::to_string(number));
  WriteDebugLine(context, std::string("ERROR DESCRIPTION: ").append(description));
}

namespace {

// Writes the summed bytes of a UTF-16LE sequence of `size` bytes, reordered,
// a piece at a time. Output position k holds byte 0 for k = 0, byte (k + 1) / 2
// for odd k (from the front) and byte size - k / 2 for even k (from the back);
// where front and back meet, that byte comes once, last. byteAt must read
// through plain pointers held by value: a store through the char buffer could
// alias anything reached through a reference, which would then be reloaded for
// every byte.
template <typename ByteAt>
platform::Status EmitScrambled(std::size_t size, ByteAt byteAt, platform::WritableFile& out) {
  constexpr std::size_t kPiece = 64 * 1024;
  std::string piece(std::min(size, kPiece), '\0');
  char* const buffer = piece.data();
  unsigned char sum = 0;
  for (std::size_t start = 0; start < size; start += kPiece) {
    const std::size_t end = std::min(size, start + kPiece);
    for (std::size_t k = start; k < end; ++k) {
      const std::size_t index = (k & 1) ? (k + 1) / 2 : (k == 0 ? 0 : size - k / 2);
      sum = static_cast<unsigned char>(sum + byteAt(index));
      buffer[k - start] = static_cast<char>(sum);
    }
    platform::Status status = out.Append(std::string_view(buffer, end - start));
    if (!status.ok) return status;
  }
  return platform::Status::Ok();
}

class StringFile : public platform::WritableFile {
 public:
  explicit StringFile(std::string& target) : target_(target) {}
  platform::Status Append(std::string_view bytes) override {
    target_.append(bytes);
    return platform::Status::Ok();
  }
  platform::Status Close() override { return platform::Status::Ok(); }

 private:
  std::string& target_;
};

}  // namespace

platform::Status WriteScrambledDebugText(std::string text, platform::WritableFile& out) {
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    // Plain ASCII is its own UTF-16 code units: no converted copy needed.
    const auto* chars = reinterpret_cast<const unsigned char*>(text.data());
    return EmitScrambled(
        text.size() * 2,
        [chars](std::size_t i) -> unsigned char { return (i & 1) ? 0 : chars[i / 2]; }, out);
  }
  std::u16string wide = platform::NarrowToUtf16(text);
  std::string().swap(text);
  const char16_t* units = wide.data();
  return EmitScrambled(
      wide.size() * 2,
      [units](std::size_t i) -> unsigned char {
        const char16_t unit = units[i / 2];
        return static_cast<unsigned char>((i & 1) ? (unit >> 8) : (unit & 0xFF));
      },
      out);
}

std::string ScrambleDebugText(std::string text) {
  std::string bytes;
  StringFile file(bytes);
  WriteScrambledDebugText(std::move(text), file);
  return bytes;
}

platform::Status FlushDebugLog(RunContext& context) {
  if (context.debugLog.text().empty() || !context.document.DebugOn) {
    return platform::Status::Ok();
  }
  const std::string path = platform::JoinPath(context.platform.system.GetProgramFolder(),
                                              GetComputerName(context) + ".debug");
  platform::Status status;
  auto file = context.platform.files.OpenForWriting(path, &status);
  if (!file) return status;
  status = WriteScrambledDebugText(context.debugLog.TakeText(), *file);
  platform::Status closed = file->Close();
  return status.ok ? closed : status;
}

}  // namespace quillon::engine
