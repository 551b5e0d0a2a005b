// Reading a migration document from its INI file, logging its settings, and
// writing it back so that a read gives the same record.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "document/migration_document.h"
#include "platform/file_system.h"

namespace quillon::document {

// Receives debug lines (the engine's WriteDebugLine); may be empty.
using DebugSink = std::function<void(const std::string&)>;

// Texts of the toolkit's message boxes after a failed read or write.
inline constexpr const char* kReadErrorTitle = "Write Error";
inline constexpr const char* kReadErrorText =
    "Unable to read INI file. Please check your permissions to the folder and file you are "
    "attempting to read.";
inline constexpr const char* kWriteErrorTitle = "Write Error";
inline constexpr const char* kWriteErrorText =
    "Unable to save INI file. Please check your permissions to the folder and file you are "
    "attempting to save.";

// Reads every key of the document at `documentPath` into `document`, replacing
// every field. Returns ReadError: true when the file, a section or a key is
// missing, a boolean is neither "True" nor "False", an integer is out of range,
// or a list key holds more items than its list has records. Fields that could
// be read are kept. With a sink, the out-of-range integer and the over-long list
// key each get an "ERROR: " line naming section and key, and the settings are
// logged (LogDocumentSettings) at the end.
bool ReadDocument(platform::FileSystem& files, const std::string& documentPath,
                  MigrationDocument& document, const DebugSink& debug = {});

// How much of a list key is read: as the engine reads it (the first 9,999
// characters), or whole, so that an editor can keep what the engine would cut.
enum class ListReading { AsEngine, Whole };

// The same over the file's bytes; nullptr content means the file could not be
// opened.
bool ReadDocumentText(const std::string* content, MigrationDocument& document,
                      const DebugSink& debug = {},
                      ListReading lists = ListReading::AsEngine);

// The most characters of a list key the engine reads.
inline constexpr std::size_t kEngineListCharacters = 9999;

// A list key whose written value the engine would cut.
struct ListBeyondEngine {
  std::string section, key;
  std::size_t items = 0;       // in the list, the writer's empty first one aside
  std::size_t characters = 0;  // of the value written
};
// Every list key of `document` that WriteDocument would write longer than the
// engine reads, in document order.
std::vector<ListBeyondEngine> ListsBeyondEngine(const MigrationDocument& document);

// One debug line per setting, labels and order fixed.
void LogDocumentSettings(const MigrationDocument& document, const DebugSink& debug);

// Writes every field into the file at `documentPath`, keeping comment lines,
// foreign sections and keys. Empty strings are written, and set in `document`,
// as a single blank. A key whose stored text already reads as the field's
// value (a list: as the whole list) keeps its text, and a file in which every
// key does is written back byte for byte. Returns WriteError.
bool WriteDocument(platform::FileSystem& files, const std::string& documentPath,
                   MigrationDocument& document);

}  // namespace quillon::document
