// Writes the record into its INI file so that reading it back gives the same
// values. The existing file is edited, not replaced, so an administrator's
// comments and foreign keys survive a save; it is written once, atomically.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/document_vocabulary.h"
#include "document/profile_file.h"

namespace quillon::document {

namespace {

class Writer {
 public:
  explicit Writer(ProfileFile& file) : file_(file) {}

  void Boolean(const char* section, const char* key, bool& field) {
    file_.SetValue(section, key, field ? "True" : "False");
  }

  void Integer(const char* section, const char* key, std::int16_t& field) {
    file_.SetValue(section, key, std::to_string(field));
  }

  // Saved as a single blank, which reads back as empty; the record is set to
  // what the file now holds.
  void String(const char* section, const char* key, std::string& field) {
    // assign(1, c) rather than = " ": GCC 12 warns falsely (-Wrestrict) on the latter.
    if (field.empty()) field.assign(1, ' ');
    file_.SetValue(section, key, field);
  }

  void Path(const char* section, const char* key, std::string& field) {
    String(section, key, field);
  }

  template <class Record>
  void List(const char* section, std::vector<Record>& list,
            std::span<const vocabulary::ListKey<Record>> keys,
            vocabulary::EmptyItems emptyItems) {
    for (const vocabulary::ListKey<Record>& key : keys) {
      std::string joined;
      bool first = true;
      for (const Record& record : list) {
        const std::string& value = vocabulary::FieldOf(record, key.field);
        if (value.empty() && emptyItems == vocabulary::EmptyItems::Dropped) continue;
        if (!first) joined += ',';
        joined += value;
        first = false;
      }
      file_.SetValue(section, key.name, joined.empty() ? " " : joined);
    }
  }

 private:
  ProfileFile& file_;
};

}  // namespace

bool WriteDocument(platform::FileSystem& files, const std::string& documentPath,
                   MigrationDocument& document) {
  ProfileFile file;
  if (files.FileExists(documentPath)) {
    std::optional<std::string> content = files.ReadFile(documentPath);
    // Writing without the old content would drop whatever else the file holds.
    if (!content) return true;
    file = ProfileFile::Parse(*content);
  }
  Writer writer(file);
  vocabulary::VisitDocument(document, writer);
  return !files.SaveDocumentFile(documentPath, file.Serialize()).ok;
}

}  // namespace quillon::document
