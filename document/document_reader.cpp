// Reads a migration document into its record. Each value is cut as a fixed
// profile buffer cuts it (length, first NUL) before it is converted, so a
// document gives the same record wherever it is read.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/document_file.h"
#include "platform/ascii_case.h"
#include "document/document_vocabulary.h"
#include "document/profile_file.h"
#include "document/targeting_values.h"

namespace quillon::document {

namespace {

// Buffer sizes in characters, the terminating NUL included.
constexpr std::size_t kStringBuffer = 1000;
constexpr std::size_t kNumberBuffer = 100;
constexpr std::size_t kListBuffer = 10000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of the leading numeric part of `text` (sign, digits, fraction,
// exponent), 0 when there is none, infinite when it exceeds a double.
double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::size_t start = i;
  bool nonZero = false;
  std::size_t digits = 0;
  auto takeDigits = [&] {
    while (i < text.size() && IsDigit(text[i])) {
      nonZero = nonZero || text[i] != '0';
      ++digits;
      ++i;
    }
  };
  takeDigits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    takeDigits();
  }
  if (digits == 0 || !nonZero) return 0.0;
  std::string number(text.substr(start, i - start));

  // The exponent is taken only when digits follow the "E"; it is clamped so
  // that a long run of digits cannot overflow the counter.
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      negativeExponent = text[j] == '-';
      ++j;
    }
    for (; j < text.size() && IsDigit(text[j]); ++j) {
      exponent = std::min(exponent * 10 + (text[j] - '0'), 100000L);
    }
    if (negativeExponent) exponent = -exponent;
  }
  number += 'e';
  number += std::to_string(exponent);

  double value = 0.0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // The mantissa has fewer than 100 digits, so only the exponent's sign
    // can make it too small or too large.
    value = exponent < 0 ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

double RoundHalfToEven(double value) {
  double below = std::floor(value);
  double fraction = value - below;
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

std::vector<std::string_view> SplitItems(std::string_view value) {
  std::vector<std::string_view> items;
  if (value.empty()) return items;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) {
      items.push_back(value.substr(start));
      return items;
    }
    items.push_back(value.substr(start, comma - start));
    start = comma + 1;
  }
}

class Reader {
 public:
  Reader(const ProfileFile* file, const DebugSink& debug, ListReading lists)
      : file_(file), debug_(debug), lists_(lists) {}

  bool failed() const { return failed_; }

  void Boolean(const char* section, const char* key, bool& field) {
    field = false;
    std::optional<std::string> value = Raw(section, key, kNumberBuffer);
    if (!value) return;
    if (ContainsIgnoringCase(*value, "true")) {
      field = true;
    } else if (!ContainsIgnoringCase(*value, "false")) {
      failed_ = true;
    }
  }

  void Integer(const char* section, const char* key, std::int16_t& field) {
    field = 0;
    std::optional<std::string> value = Raw(section, key, kNumberBuffer);
    if (!value) return;
    double number = LeadingNumber(*value);
    double rounded = std::isfinite(number) ? RoundHalfToEven(number) : number;
    if (!(rounded >= INT16_MIN && rounded <= INT16_MAX)) {
      Fail(section, key, ": \"" + *value + "\" is outside the range -32768 to 32767.");
      return;
    }
    field = static_cast<std::int16_t>(rounded);
  }

  void String(const char* section, const char* key, std::string& field) {
    field = Raw(section, key, kStringBuffer).value_or("");
  }

  void Path(const char* section, const char* key, std::string& field) {
    String(section, key, field);
    if (!field.empty() && field.back() == '\\') field.pop_back();
  }

  // The optional [TARGETING] section: an absent key sets nothing and fails
  // nothing, so every document written before it reads as it always did. Its
  // values are checked only when it is in use; each refusal gets its own line.
  void Targeting(TargetingSettings& t) {
    if (file_ == nullptr) return;
    const char* section = kTargetingSection;
    if (std::optional<std::string> use = Optional(section, "UseTargeting", kNumberBuffer)) {
      if (ContainsIgnoringCase(*use, "true")) {
        t.UseTargeting = true;
      } else if (!ContainsIgnoringCase(*use, "false")) {
        Fail(section, "UseTargeting", ": \"" + *use + "\" is neither True nor False.");
      }
    }
    t.ComputerNames = Optional(section, "ComputerNames", kListBuffer).value_or("");
    t.ExcludeComputerNames = Optional(section, "ExcludeComputerNames", kListBuffer).value_or("");
    t.UserGroups = Optional(section, "UserGroups", kListBuffer).value_or("");
    t.ComputerGroups = Optional(section, "ComputerGroups", kListBuffer).value_or("");
    t.Sites = Optional(section, "Sites", kListBuffer).value_or("");
    t.Subnets = Optional(section, "Subnets", kListBuffer).value_or("");
    t.RolloutPercent = Optional(section, "RolloutPercent", kNumberBuffer).value_or("");
    t.NotBefore = Optional(section, "NotBefore", kNumberBuffer).value_or("");
    if (!t.UseTargeting) return;
    std::vector<TargetingError> errors;
    ReadTargetingRules(t, &errors);
    for (const TargetingError& error : errors) Fail(section, error.key.c_str(), error.detail);
  }

  template <class Record>
  void List(const char* section, std::vector<Record>& list,
            std::span<const vocabulary::ListKey<Record>> keys, vocabulary::EmptyItems) {
    bool sized = false;
    for (const vocabulary::ListKey<Record>& key : keys) {
      std::string value =
          Raw(section, key.name,
              lists_ == ListReading::Whole ? std::string::npos : kListBuffer)
              .value_or("");
      std::vector<std::string_view> items = SplitItems(value);
      if (!sized) {
        list.assign(items.empty() ? 1 : items.size() == 1 ? 2 : items.size(), Record{});
        sized = true;
      } else if (items.size() > list.size()) {
        // Extra items have no record to pair with; taking the document as it is
        // would migrate printers to the wrong partners.
        Fail(section, key.name,
             " holds " + std::to_string(items.size()) + " items but the list has " +
                 std::to_string(list.size()) + (list.size() == 1 ? " record." : " records."));
      }
      for (std::size_t i = 0; i < items.size() && i < list.size(); ++i) {
        std::string_view item = Trim(items[i]);
        vocabulary::FieldOf(list[i], key.field) =
            item.empty() && key.placeholder != nullptr ? key.placeholder : std::string(item);
      }
    }
  }

 private:
  // The trimmed value as the profile API would return it into a buffer of
  // `capacity` characters; nullopt (and a failure) when it is missing.
  std::optional<std::string> Raw(const char* section, const char* key, std::size_t capacity) {
    std::optional<std::string> value = Optional(section, key, capacity);
    if (!value) failed_ = true;
    return value;
  }

  // The same without failing when the key is missing.
  std::optional<std::string> Optional(const char* section, const char* key,
                                      std::size_t capacity) {
    std::optional<std::string> value =
        file_ == nullptr ? std::nullopt : file_->GetValue(section, key);
    if (!value) return std::nullopt;
    if (value->size() > capacity - 1) value->resize(capacity - 1);
    std::size_t nul = value->find('\0');
    if (nul != std::string::npos) value->resize(nul);
    return std::string(Trim(*value));
  }

  // The refusals of a document that plain reading would take silently and
  // wrongly get a line of their own; missing keys and unreadable booleans are
  // only flagged, as the engine's log of them is fixed.
  void Fail(const char* section, const char* key, const std::string& detail) {
    failed_ = true;
    if (debug_) {
      debug_(std::string("ERROR: Reading INI file, section [") + section + "] key " + key +
             detail);
    }
  }

  const ProfileFile* file_;
  const DebugSink& debug_;
  ListReading lists_;
  bool failed_ = false;
};

bool Read(const std::string* content, MigrationDocument& document, const DebugSink& debug,
          ListReading lists) {
  document = MigrationDocument{};
  std::optional<ProfileFile> file;
  if (content != nullptr) file = ProfileFile::Parse(*content);
  Reader reader(file ? &*file : nullptr, debug, lists);
  vocabulary::VisitDocument(document, reader);
  reader.Targeting(document.Targeting);
  if (debug) LogDocumentSettings(document, debug);
  return reader.failed();
}

}  // namespace

bool ReadDocumentText(const std::string* content, MigrationDocument& document,
                      const DebugSink& debug, ListReading lists) {
  return Read(content, document, debug, lists);
}

bool ReadDocument(platform::FileSystem& files, const std::string& documentPath,
                  MigrationDocument& document, const DebugSink& debug) {
  std::optional<std::string> content = files.ReadFile(documentPath);
  return Read(content ? &*content : nullptr, document, debug, ListReading::AsEngine);
}

}  // namespace quillon::document
