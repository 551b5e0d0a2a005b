// Feeds arbitrary bytes to `quillon report` as one file of a share (an output
// file named for success or failure or for no one, an e-mail back-up, a debug
// file) and checks what must hold for any input: the totals add up, what is
// kept stays within its bounds, the text form holds no control character,
// every CSV row has the header's fields, and the page runs no script but its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "testing/memory_file_system.h"
#include "tools/quillon/report.h"

namespace {

namespace platform = quillon::platform;
namespace report = quillon::tools::report;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Text as the engine stores its debug file, so that the fuzzer's bytes reach
// the debug lines' reader: UTF-16LE, reordered front and back, as running sums.
std::string Scrambled(std::string_view text) {
  std::string utf16;
  for (char16_t unit : platform::NarrowToUtf16(text)) {
    utf16 += static_cast<char>(unit & 0xFF);
    utf16 += static_cast<char>(unit >> 8);
  }
  const std::size_t n = utf16.size();
  std::string bytes(n, '\0');
  unsigned char sum = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t index = (k & 1) ? (k + 1) / 2 : (k == 0 ? 0 : n - k / 2);
    sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(utf16[index]));
    bytes[k] = static_cast<char>(sum);
  }
  return bytes;
}

// Fields of each CSV record, quoted fields read whole; every record must
// have `fields`.
void CheckCsv(const std::string& text, std::size_t fields) {
  std::size_t count = 1;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        ++i;
      } else if (c == '"') {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      ++count;
    } else if (c == '\r') {
      Check(i + 1 < text.size() && text[i + 1] == '\n');
      Check(count == fields);
      count = 1;
      ++i;
    } else {
      Check(c != '\n');
    }
  }
  Check(!quoted && count == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t kind = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  platform::MemoryFileSystem files;
  files.folders.insert("share");
  const auto at = [](const char* name) { return platform::JoinPath("share", name); };
  switch (kind % 5) {
    case 0: files.files[at("PC1_ann_SUCCESS_moves.txt")] = bytes; break;
    case 1: files.files[at("PC1_ann_FAILED_moves.txt")] = bytes; break;
    case 2: files.files[at("site.txt")] = bytes; break;
    case 3: files.files[at("PC1_12.08.2026_18.22.18_EmailFailure.txt")] = bytes; break;
    default:
      files.files[at("PC1.debug")] = (kind & 0x80) ? bytes : Scrambled(bytes);
      break;
  }
  // The same report in an e-mail back-up too, to be matched with it.
  if (kind % 5 < 3 && (kind & 0x40)) files.files[at("PC1_12.08.2026_18.22.18_EmailFailure.txt")] = bytes;

  const report::Summary summary = report::ReadShare(files, "share");
  Check(summary.runs == summary.succeeded + summary.failed + summary.alreadyDone);
  long perDay = 0, perUser = 0;
  for (const auto& [day, counts] : summary.days) perDay += counts.Total();
  for (const auto& [key, user] : summary.users) {
    perUser += user.runs;
    Check(user.runs == user.succeeded + user.failed + user.alreadyDone);
    Check(user.lastProblems.size() <= report::kProblemsPerRun);
    for (const report::Problem& problem : user.lastProblems) {
      Check(problem.line.size() <= report::kLongestKeptLine);
      Check(problem.explanation.size() <= report::kLongestKeptLine);
    }
  }
  Check(perDay == summary.runs);
  Check(perUser + summary.runsOfUsersNotShown == summary.runs);
  Check(summary.oldServers.size() <= report::kKeptServers);

  std::ostringstream text, csv, json;
  report::WriteText(summary, text);
  for (char c : text.str()) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte >= 0x20 || c == '\n');
    Check(byte != 0x7F);
  }
  Check(text.str().find("\xC2\x9B") == std::string::npos);
  report::WriteCsv(summary, csv);
  CheckCsv(csv.str(), 15);
  report::WriteJson(summary, json);
  Check(!json.str().empty() && json.str().back() == '\n');
  const std::string page = report::HtmlPage(summary);
  const std::size_t script = page.find("<script");
  Check(script != std::string::npos && page.find("<script", script + 1) == std::string::npos);
  return 0;
}
