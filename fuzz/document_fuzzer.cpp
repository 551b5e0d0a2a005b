// Feeds arbitrary bytes to the document reader and the profile file, and checks
// the properties that must hold for any input: serializing and parsing again
// changes no answer, a value set is the value read, and a document saved over
// any file reads back every key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/document_file.h"
#include "document/document_vocabulary.h"
#include "document/profile_file.h"
#include "platform/text.h"
#include "testing/memory_file_system.h"

namespace {

using quillon::document::MigrationDocument;
using quillon::document::ProfileFile;
namespace platform = quillon::platform;
namespace vocabulary = quillon::document::vocabulary;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Every (section, key) of the document, in document order.
struct KeyNames {
  std::vector<std::pair<std::string, std::string>> names;
  void Boolean(const char* s, const char* k, bool&) { names.emplace_back(s, k); }
  void Integer(const char* s, const char* k, std::int16_t&) { names.emplace_back(s, k); }
  void String(const char* s, const char* k, std::string&) { names.emplace_back(s, k); }
  void Path(const char* s, const char* k, std::string&) { names.emplace_back(s, k); }
  template <class Record>
  void List(const char* s, std::vector<Record>&, std::span<const vocabulary::ListKey<Record>> keys,
            vocabulary::EmptyItems) {
    for (const auto& key : keys) names.emplace_back(s, key.name);
  }
};

const std::vector<std::pair<std::string, std::string>>& DocumentKeys() {
  static const auto* names = [] {
    MigrationDocument document;
    KeyNames collector;
    vocabulary::VisitDocument(document, collector);
    return new std::vector<std::pair<std::string, std::string>>(std::move(collector.names));
  }();
  return *names;
}

// Section and key names as they appear in the input, to ask for names that
// are not in the vocabulary too.
std::vector<std::pair<std::string, std::string>> NamesInText(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size() && names.size() < 64) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.front() == '[') {
      section = std::string(line.substr(1, line.find(']') - 1));
    } else if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
      names.emplace_back(section, std::string(line.substr(0, eq)));
    }
    pos = end + 1;
  }
  return names;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  MigrationDocument document;
  std::size_t logged = 0;
  quillon::document::ReadDocumentText(
      &text, document, [&logged](const std::string& line) { logged += line.size(); });
  Check(logged > 0);

  // Parse, serialize, parse: the same lines, so the same answers.
  const ProfileFile first = ProfileFile::Parse(text);
  const std::string serialized = first.Serialize();
  const ProfileFile second = ProfileFile::Parse(serialized);
  Check(second.Serialize() == serialized);
  std::vector<std::pair<std::string, std::string>> queries = DocumentKeys();
  for (auto& name : NamesInText(text)) queries.push_back(std::move(name));
  for (const auto& [section, key] : queries) {
    Check(first.GetValue(section, key) == second.GetValue(section, key));
  }

  // A value set is found again, before and after another round trip.
  ProfileFile edited = second;
  const std::string value = "value " + std::to_string(size);
  for (const auto& [section, key] : DocumentKeys()) edited.SetValue(section, key, value);
  const ProfileFile reread = ProfileFile::Parse(edited.Serialize());
  for (const auto& [section, key] : DocumentKeys()) {
    Check(edited.GetValue(section, key) == value);
    Check(reread.GetValue(section, key) == value);
  }

  // Any one-line value reads back as set, blanks around it aside: quotes that
  // reading would take off are written inside a pair of their own.
  std::string arbitrary = text.substr(0, 64);
  std::erase_if(arbitrary, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
  // A UTF-16 file holds only what the host's text converts to and from.
  if (text.starts_with("\xFF\xFE")) {
    arbitrary = platform::Utf16ToNarrow(platform::NarrowToUtf16(arbitrary));
  }
  ProfileFile quoted = ProfileFile::Parse(text);
  quoted.SetValue("FUZZ", "Value", arbitrary);
  const std::optional<std::string> back =
      ProfileFile::Parse(quoted.Serialize()).GetValue("FUZZ", "Value");
  Check(back.has_value() && Trimmed(*back) == Trimmed(arbitrary));

  // Saving the record over the input keeps every key readable, and booleans
  // and integers come back exactly.
  quillon::platform::MemoryFileSystem files;
  const std::string path = "fuzz.ini";
  files.files[path] = text;
  MigrationDocument saved = document;
  Check(!quillon::document::WriteDocument(files, path, saved));
  const ProfileFile written = ProfileFile::Parse(files.files[path]);
  for (const auto& [section, key] : DocumentKeys()) Check(written.GetValue(section, key).has_value());
  MigrationDocument again;
  quillon::document::ReadDocument(files, path, again);
  Check(again.DebugOn == document.DebugOn && again.UseSMTP == document.UseSMTP &&
        again.MDACOption == document.MDACOption && again.DefaultType == document.DefaultType &&
        again.DeleteADOrphans == document.DeleteADOrphans);
  return 0;
}
