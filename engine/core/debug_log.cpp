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

namespace {

// Emits the reordered, summed bytes of a UTF-16LE sequence of `size` bytes
// whose byte i is byteAt(i).
template <typename ByteAt>
platform::Status EmitScrambled(std::size_t size, ByteAt byteAt, platform::WritableFile& out) {
  constexpr std::size_t kPiece = 64 * 1024;
  std::string piece;
  piece.reserve(std::min(size, kPiece));
  unsigned char previous = 0;
  auto emit = [&](std::size_t index) -> platform::Status {
    previous = static_cast<unsigned char>(previous + byteAt(index));
    piece.push_back(static_cast<char>(previous));
    if (piece.size() == kPiece) {
      platform::Status status = out.Append(piece);
      piece.clear();
      return status;
    }
    return platform::Status::Ok();
  };
  if (size == 0) return platform::Status::Ok();
  platform::Status status = emit(0);
  std::size_t front = 1, back = size - 1;
  for (; status.ok && front < back; ++front, --back) {
    status = emit(front);
    if (status.ok) status = emit(back);
  }
  if (status.ok && front == back) status = emit(front);
  if (status.ok && !piece.empty()) status = out.Append(piece);
  return status;
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
    return EmitScrambled(
        text.size() * 2,
        [&text](std::size_t i) -> unsigned char {
          return (i % 2 == 0) ? static_cast<unsigned char>(text[i / 2]) : 0;
        },
        out);
  }
  std::u16string wide = platform::NarrowToUtf16(text);
  std::string().swap(text);
  return EmitScrambled(
      wide.size() * 2,
      [&wide](std::size_t i) -> unsigned char {
        char16_t unit = wide[i / 2];
        return static_cast<unsigned char>((i % 2 == 0) ? (unit & 0xFF) : (unit >> 8));
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
