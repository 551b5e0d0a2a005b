// Writes the record into its INI file so that reading it back gives the same
// values. The existing file is edited, not replaced, so an administrator's
// comments and foreign keys survive a save; it is written once, atomically.
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <span>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/document_vocabulary.h"
#include "document/profile_file.h"
#include "document/targeting_values.h"

namespace quillon::document {

namespace {

// A list key's value: the key's field of every record, joined by commas.
template <class Record>
std::string JoinedValue(const std::vector<Record>& list, const vocabulary::ListKey<Record>& key,
                        vocabulary::EmptyItems emptyItems) {
  std::string joined;
  bool first = true;
  for (const Record& record : list) {
    const std::string& value = vocabulary::FieldOf(record, key.field);
    if (value.empty() && emptyItems == vocabulary::EmptyItems::Dropped) continue;
    if (!first) joined += ',';
    joined += value;
    first = false;
  }
  return joined;
}

// Each key's value as read, one entry per scalar key and per list (all its
// keys together), so that two records can be compared key by key.
class ReadValues {
 public:
  struct Entry {
    std::string section;
    std::vector<std::string> keys;
    std::string value;
  };
  std::vector<Entry> entries;

  void Boolean(const char* section, const char* key, bool& field) {
    entries.push_back({section, {key}, field ? "1" : "0"});
  }
  void Integer(const char* section, const char* key, std::int16_t& field) {
    entries.push_back({section, {key}, std::to_string(field)});
  }
  void String(const char* section, const char* key, std::string& field) {
    entries.push_back({section, {key}, field});
  }
  void Path(const char* section, const char* key, std::string& field) {
    String(section, key, field);
  }
  template <class Record>
  void List(const char* section, std::vector<Record>& list,
            std::span<const vocabulary::ListKey<Record>> keys, vocabulary::EmptyItems) {
    Entry entry{section, {}, std::to_string(list.size())};
    for (const vocabulary::ListKey<Record>& key : keys) {
      entry.keys.push_back(key.name);
      for (const Record& record : list) {
        entry.value += '\x1f';
        entry.value += vocabulary::FieldOf(record, key.field);
      }
    }
    entries.push_back(std::move(entry));
  }
};

std::vector<ReadValues::Entry> ValuesOf(MigrationDocument document) {
  ReadValues values;
  vocabulary::VisitDocument(document, values);
  return std::move(values.entries);
}

// Measures list keys against what the engine reads.
class ListMeasure {
 public:
  std::vector<ListBeyondEngine> beyond;

  void Boolean(const char*, const char*, bool&) {}
  void Integer(const char*, const char*, std::int16_t&) {}
  void String(const char*, const char*, std::string&) {}
  void Path(const char*, const char*, std::string&) {}
  template <class Record>
  void List(const char* section, std::vector<Record>& list,
            std::span<const vocabulary::ListKey<Record>> keys,
            vocabulary::EmptyItems emptyItems) {
    for (const vocabulary::ListKey<Record>& key : keys) {
      const std::size_t length = JoinedValue(list, key, emptyItems).size();
      if (length > kEngineListCharacters) {
        const bool blankFirst = !list.empty() && list.front() == Record{};
        beyond.push_back({section, key.name, list.size() - (blankFirst ? 1 : 0), length});
      }
    }
  }
};

class Writer {
 public:
  explicit Writer(ProfileFile& file) : file_(file) {}

  void Boolean(const char* section, const char* key, bool& field) {
    Set(section, key, field ? "True" : "False");
  }

  void Integer(const char* section, const char* key, std::int16_t& field) {
    Set(section, key, std::to_string(field));
  }

  // Saved as a single blank, which reads back as empty; the record is set to
  // what the file now holds.
  void String(const char* section, const char* key, std::string& field) {
    // assign(1, c) rather than = " ": GCC 12 warns falsely (-Wrestrict) on the latter.
    if (field.empty()) field.assign(1, ' ');
    Set(section, key, field);
  }

  void Path(const char* section, const char* key, std::string& field) {
    String(section, key, field);
  }

  template <class Record>
  void List(const char* section, std::vector<Record>& list,
            std::span<const vocabulary::ListKey<Record>> keys,
            vocabulary::EmptyItems emptyItems) {
    for (const vocabulary::ListKey<Record>& key : keys) {
      const std::string joined = JoinedValue(list, key, emptyItems);
      Set(section, key.name, joined.empty() ? " " : joined);
    }
  }

  // Keys whose stored text is kept as it is.
  std::set<std::pair<std::string, std::string>> kept;

 private:
  void Set(const char* section, const char* key, const std::string& value) {
    if (!kept.contains({section, key})) file_.SetValue(section, key, value);
  }

 private:
  ProfileFile& file_;
};

// The [TARGETING] keys: a key is written when its value changed from what
// the file read as, so a document that never used the section gets none, and
// one that did keeps the text of every key it did not change.
void WriteTargeting(ProfileFile& file, const TargetingSettings& stored,
                    const TargetingSettings& wanted) {
  const char* section = kTargetingSection;
  if (stored.UseTargeting != wanted.UseTargeting) {
    file.SetValue(section, "UseTargeting", wanted.UseTargeting ? "True" : "False");
  }
  const struct {
    const char* key;
    std::string TargetingSettings::*field;
  } keys[] = {
      {"ComputerNames", &TargetingSettings::ComputerNames},
      {"ExcludeComputerNames", &TargetingSettings::ExcludeComputerNames},
      {"UserGroups", &TargetingSettings::UserGroups},
      {"ComputerGroups", &TargetingSettings::ComputerGroups},
      {"Sites", &TargetingSettings::Sites},
      {"Subnets", &TargetingSettings::Subnets},
      {"RolloutPercent", &TargetingSettings::RolloutPercent},
      {"NotBefore", &TargetingSettings::NotBefore},
  };
  for (const auto& [key, field] : keys) {
    const std::string& value = wanted.*field;
    if (stored.*field != value) file.SetValue(section, key, value.empty() ? " " : value);
  }
}

}  // namespace

std::vector<ListBeyondEngine> ListsBeyondEngine(const MigrationDocument& document) {
  MigrationDocument copy = document;
  ListMeasure measure;
  vocabulary::VisitDocument(copy, measure);
  return std::move(measure.beyond);
}

bool WriteDocument(platform::FileSystem& files, const std::string& documentPath,
                   MigrationDocument& document) {
  ProfileFile file;
  std::optional<std::string> content;
  if (files.FileExists(documentPath)) {
    content = files.ReadFile(documentPath);
    // Writing without the old content would drop whatever else the file holds.
    if (!content) return true;
    file = ProfileFile::Parse(*content);
  }
  Writer writer(file);
  if (content) {
    // The text of a key that already reads as the value to be written stays
    // as the administrator or an earlier save left it: a reader's rule (a
    // single item, a placeholder for an empty one, letter case) would
    // otherwise change the file on a save that changes nothing.
    MigrationDocument stored;
    ReadDocumentText(&*content, stored, {}, ListReading::Whole);
    const std::vector<ReadValues::Entry> before = ValuesOf(stored);
    const std::vector<ReadValues::Entry> after = ValuesOf(document);
    bool everyKeyKept = true;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
      bool present = true;
      for (const std::string& key : before[i].keys) {
        present = present && file.GetValue(before[i].section, key).has_value();
      }
      if (present && before[i].value == after[i].value) {
        for (const std::string& key : before[i].keys) writer.kept.insert({before[i].section, key});
      } else {
        everyKeyKept = false;
      }
    }
    vocabulary::VisitDocument(document, writer);
    WriteTargeting(file, stored.Targeting, document.Targeting);
    everyKeyKept = everyKeyKept && stored.Targeting == document.Targeting;
    if (everyKeyKept) return !files.SaveDocumentFile(documentPath, *content).ok;
    return !files.SaveDocumentFile(documentPath, file.Serialize()).ok;
  }
  vocabulary::VisitDocument(document, writer);
  WriteTargeting(file, TargetingSettings{}, document.Targeting);
  return !files.SaveDocumentFile(documentPath, file.Serialize()).ok;
}

}  // namespace quillon::document
