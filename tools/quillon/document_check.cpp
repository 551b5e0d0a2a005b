// Checks a document with the engine's own reader: a document is refused
// exactly when ReadDocumentText refuses it, and the refusals the reader words
// itself keep its words. Line numbers come from the profile file.
#include <algorithm>
#include <cstdint>
#include <set>
#include <span>
#include <string>

#include "document/document_file.h"
#include "platform/ascii_case.h"
#include "document/document_vocabulary.h"
#include "document/migration_document.h"
#include "document/profile_file.h"
#include "document/targeting_values.h"
#include "engine/core/targeting.h"
#include "platform/file_system.h"
#include "toolkit/deployment.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

namespace {

// The reader's buffers, the terminating NUL included.
constexpr std::size_t kStringBuffer = 1000;
constexpr std::size_t kNumberBuffer = 100;
constexpr std::size_t kListBuffer = 10000;
constexpr unsigned kHighestPort = 65535;

// A port the engine's connect can use: decimal digits naming 1 to 65535.
bool UsablePort(std::string_view port) {
  if (port.empty()) return false;
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > kHighestPort) return false;
  }
  return value != 0;
}

std::string Trim(std::string value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!value.empty() && blank(value.back())) value.pop_back();
  std::size_t start = 0;
  while (start < value.size() && blank(value[start])) ++start;
  return value.substr(start);
}

// The value as a buffer of `capacity` characters returns it.
std::string Cut(std::string value, std::size_t capacity) {
  if (value.size() > capacity - 1) value.resize(capacity - 1);
  std::size_t nul = value.find('\0');
  if (nul != std::string::npos) value.resize(nul);
  return Trim(value);
}

std::vector<std::string> SplitItems(const std::string& value) {
  std::vector<std::string> items;
  if (value.empty()) return items;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = value.find(',', start);
    items.push_back(Trim(value.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// Walks the document's keys in the reader's order and finds what the reader
// refuses without a line of its own (missing sections and keys, unreadable
// booleans) and what it takes but should be looked at.
class Walker {
 public:
  Walker(const document::ProfileFile& file, std::vector<Finding>& refusals,
         std::vector<Finding>& warnings)
      : file_(file), refusals_(refusals), warnings_(warnings) {}

  void Boolean(const char* section, const char* key, bool&) {
    std::optional<std::string> value = Value(section, key, kNumberBuffer);
    if (!value) return;
    std::string cut = Cut(*value, kNumberBuffer);
    if (!ContainsIgnoringCase(cut, "true") && !ContainsIgnoringCase(cut, "false")) {
      Refuse(section, key, std::string("[") + section + "] " + key + ": \"" + cut +
                               "\" is neither True nor False.");
    }
  }
  void Integer(const char* section, const char* key, std::int16_t&) {
    Value(section, key, kNumberBuffer);
  }
  void String(const char* section, const char* key, std::string&) {
    Value(section, key, kStringBuffer);
  }
  void Path(const char* section, const char* key, std::string&) {
    Value(section, key, kStringBuffer);
  }

  template <class Record>
  void List(const char* section, std::vector<Record>&,
            std::span<const document::vocabulary::ListKey<Record>> keys,
            document::vocabulary::EmptyItems emptyItems) {
    std::size_t records = 0;
    std::size_t firstCount = 0;
    const char* firstKey = nullptr;
    for (const auto& key : keys) {
      std::optional<std::string> raw = Value(section, key.name, kListBuffer);
      if (!raw) continue;
      if (raw->size() > kListBuffer - 1) {
        Warn(section, key.name,
             std::string("[") + section + "] " + key.name + " is " +
                 std::to_string(raw->size()) + " characters long; the engine reads only the first " +
                 std::to_string(kListBuffer - 1) + " and cuts the rest off.");
      }
      std::vector<std::string> items = SplitItems(Cut(*raw, kListBuffer));
      if (firstKey == nullptr) {
        firstKey = key.name;
        firstCount = items.size();
        records = items.empty() ? 1 : items.size() == 1 ? 2 : items.size();
      } else if (items.size() != firstCount && items.size() <= records &&
                 // Where empty items are kept, an empty key is a list of empty
                 // fields (a driver record without a port), not a short one.
                 !(items.empty() && emptyItems == document::vocabulary::EmptyItems::Kept)) {
        Warn(section, key.name,
             std::string("[") + section + "] " + key.name + " has " +
                 std::to_string(items.size()) + " items but " + firstKey + " has " +
                 std::to_string(firstCount) +
                 ": items pair by position, so one left out pairs every later item with "
                 "the wrong partner.");
      }
      for (std::size_t i = 0; i < items.size() && i < records; ++i) {
        if (items[i].empty() && key.placeholder != nullptr) {
          Warn(section, key.name,
               std::string("[") + section + "] " + key.name + " item " + std::to_string(i + 1) +
                   " is empty and will read as \"" + key.placeholder + "\".");
        }
      }
    }
  }

 private:
  // The raw value; a NUL within what the engine reads of it is told.
  std::optional<std::string> Value(const char* section, const char* key, std::size_t capacity) {
    std::optional<std::string> value = file_.GetValue(section, key);
    if (value) {
      const std::size_t nul = value->find('\0');
      if (nul != std::string::npos && nul < capacity - 1) {
        Warn(section, key,
             std::string("[") + section + "] " + key + " (line " +
                 std::to_string(file_.LineOfKey(section, key)) +
                 ") holds a NUL character after " + std::to_string(nul) +
                 " characters; the engine reads the value only up to it, as \"" +
                 Cut(*value, capacity) + "\".");
      }
      return value;
    }
    if (file_.LineOfSection(section) == 0) {
      if (missingSections_.insert(section).second) {
        refusals_.push_back(
            {true, section, "", 0, std::string("Section [") + section + "] is missing."});
      }
    } else {
      refusals_.push_back({true, section, key, file_.LineOfSection(section),
                           std::string("[") + section + "] " + key + " is missing."});
    }
    return std::nullopt;
  }
  void Refuse(const char* section, const char* key, std::string message) {
    refusals_.push_back({true, section, key, file_.LineOfKey(section, key), std::move(message)});
  }
  void Warn(const char* section, const char* key, std::string message) {
    warnings_.push_back({false, section, key, file_.LineOfKey(section, key), std::move(message)});
  }

  const document::ProfileFile& file_;
  std::vector<Finding>& refusals_;
  std::vector<Finding>& warnings_;
  std::set<std::string> missingSections_;
};

// The section and key an "ERROR: " line of the reader names.
bool NamesKey(const std::string& line, const char* section, const char* key) {
  const std::string prefix = std::string("Reading INI file, section [") + section + "] key " + key;
  return line.compare(0, prefix.size(), prefix) == 0 &&
         (line.size() == prefix.size() || line[prefix.size()] == ':' ||
          line[prefix.size()] == ' ');
}

// Finds the keys the reader's own "ERROR: " lines name, in document order.
class ErrorLocator {
 public:
  ErrorLocator(const document::ProfileFile& file, std::vector<std::string>& errors,
               std::vector<Finding>& found)
      : file_(file), errors_(errors), found_(found) {}
  void Boolean(const char* s, const char* k, bool&) { Locate(s, k); }
  void Integer(const char* s, const char* k, std::int16_t&) { Locate(s, k); }
  void String(const char*, const char*, std::string&) {}
  void Path(const char*, const char*, std::string&) {}
  template <class Record>
  void List(const char* section, std::vector<Record>&,
            std::span<const document::vocabulary::ListKey<Record>> keys,
            document::vocabulary::EmptyItems) {
    for (const auto& key : keys) Locate(section, key.name);
  }

 private:
  void Locate(const char* section, const char* key) {
    for (auto it = errors_.begin(); it != errors_.end();) {
      if (NamesKey(*it, section, key)) {
        found_.push_back({true, section, key, file_.LineOfKey(section, key), *it});
        it = errors_.erase(it);
      } else {
        ++it;
      }
    }
  }
  const document::ProfileFile& file_;
  std::vector<std::string>& errors_;
  std::vector<Finding>& found_;
};

// Names as Windows compares them: without regard to letter case.
bool Same(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Whether a run of the document may connect a user to a queue of another
// server or name: the connection needs that queue's driver on the client.
bool MovesNeedDrivers(const document::MigrationDocument& d) {
  if (d.UseActiveDirectory) return true;
  if (d.UseManualDefinitions) {
    for (const document::ServerPair& pair : d.ServerPairs) {
      if (!pair.ToServer.empty() && !Same(pair.FromServer, pair.ToServer)) return true;
    }
    for (const document::PrinterPair& pair : d.PrinterPairs) {
      if (!pair.ToPrinter.empty() && !Same(pair.FromPrinter, pair.ToPrinter)) return true;
    }
    for (const document::MixedPair& pair : d.MixedPairs) {
      if (!pair.ToPrinter.empty() &&
          (!Same(pair.FromServer, pair.ToServer) || !Same(pair.FromPrinter, pair.ToPrinter))) {
        return true;
      }
    }
  }
  for (const document::PopulateRule& rule : d.PopulateRules) {
    if (!rule.ServerName.empty() && rule.ServerName != ".") return true;
  }
  return false;
}

// Whether every name `included` matches is also matched by `exclude`: a
// pattern of stars, a literal name it matches, or a prefix it extends.
bool PatternCovers(const std::string& exclude, const std::string& included) {
  if (exclude.find_first_not_of('*') == std::string::npos) return true;
  if (included.find_first_of("*?") == std::string::npos) {
    return engine::MatchesNamePattern(exclude, included);
  }
  const std::size_t star = exclude.find('*');
  if (star == exclude.size() - 1 && exclude.find('?') == std::string::npos) {
    const std::string prefix = exclude.substr(0, star);
    return included.size() >= prefix.size() && Same(included.substr(0, prefix.size()), prefix) &&
           included.substr(0, prefix.size()).find_first_of("*?") == std::string::npos;
  }
  return false;
}

bool FindingBefore(const Finding& a, const Finding& b) {
  // Findings without a line (whole missing sections) first, then by line.
  return a.line < b.line;
}

}  // namespace

std::vector<Finding> CheckDocumentText(std::string_view bytes, platform::FileSystem& files,
                                       std::string_view documentFileName) {
  const std::string content(bytes);
  document::MigrationDocument document;
  std::vector<std::string> errors;
  const bool refused = document::ReadDocumentText(&content, document, [&errors](const std::string& line) {
    if (line.rfind("ERROR: ", 0) == 0) errors.push_back(line.substr(7));
  });

  const document::ProfileFile file = document::ProfileFile::Parse(bytes);
  std::vector<Finding> refusals;
  std::vector<Finding> warnings;
  document::MigrationDocument scratch;
  Walker walker(file, refusals, warnings);
  document::vocabulary::VisitDocument(scratch, walker);
  ErrorLocator locator(file, errors, refusals);
  document::vocabulary::VisitDocument(scratch, locator);
  for (const char* key : {"UseTargeting", "ComputerNames", "ExcludeComputerNames", "UserGroups",
                          "ComputerGroups", "Sites", "Subnets", "RolloutPercent", "NotBefore"}) {
    for (auto it = errors.begin(); it != errors.end();) {
      if (NamesKey(*it, document::kTargetingSection, key)) {
        refusals.push_back(
            {true, document::kTargetingSection, key,
             file.LineOfKey(document::kTargetingSection, key), *it});
        it = errors.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const std::string& left : errors) refusals.push_back({true, "", "", 0, left});
  if (refused && refusals.empty()) {
    // Never report a refused document as clean, whatever the reason.
    refusals.push_back({true, "", "", 0, "The engine refuses this document."});
  }
  std::stable_sort(refusals.begin(), refusals.end(), FindingBefore);

  auto warn = [&](const char* section, const char* key, std::string message) {
    warnings.push_back({false, section, key,
                        key[0] ? file.LineOfKey(section, key) : file.LineOfSection(section),
                        std::move(message)});
  };
  const document::MigrationDocument& d = document;
  if (d.UseSMTP) {
    if (d.SMTPServerNameOrIP.empty()) {
      warn("NOTIFICATION SMTP", "SMTPServerNameOrIP",
           "Mail is switched on (UseSMTP) but SMTPServerNameOrIP is empty.");
    }
    bool anyRecipient = std::any_of(d.EmailTo.begin(), d.EmailTo.end(),
                                    [](const std::string& to) { return !to.empty(); });
    if (!anyRecipient) {
      warn("NOTIFICATION SMTP", "EmailTo",
           "Mail is switched on (UseSMTP) but EmailTo names no recipient.");
    }
  }
  // An empty port is what the toolkit keeps for a document without mail.
  if ((d.UseSMTP || !d.ServerPort.empty()) && !UsablePort(d.ServerPort)) {
    warn("NOTIFICATION SMTP", "ServerPort",
         "ServerPort \"" + d.ServerPort +
             "\" is not a port the mail can go through: give decimal digits naming 1 to " +
             std::to_string(kHighestPort) + ".");
  }
  if (d.UseFileOutput) {
    if (d.FileOutputPath.empty()) {
      warn("NOTIFICATION FILE OUTPUT", "FileOutputPath",
           "File output is switched on (UseFileOutput) but FileOutputPath is empty.");
    }
    if (d.FileOutputName.empty()) {
      warn("NOTIFICATION FILE OUTPUT", "FileOutputName",
           "File output is switched on (UseFileOutput) but FileOutputName is empty.");
    }
  }
  if (d.DefaultType == 2 && d.DefaultPrinterName.empty()) {
    warn("SET_DEFAULT", "DefaultPrinterName",
         "DefaultType 2 forces a default printer but DefaultPrinterName is empty.");
  }
  for (const document::PopulateRule& rule : d.PopulateRules) {
    if (rule.ServerName != ".") continue;
    // The engine looks the driver up by the exact name, letter case included.
    bool hasDriver = std::any_of(d.PrinterDrivers.begin(), d.PrinterDrivers.end(),
                                 [&rule](const document::PrinterDriverRule& driver) {
                                   return driver.PrinterName == rule.PrinterName;
                                 });
    if (!hasDriver) {
      warn("POPULATE", "PrinterNames",
           "The local printer \"" + rule.PrinterName +
               "\" (server \".\") has no [PRINTER_DRIVER] record of exactly that name; "
               "it will not be created.");
    }
  }
  if (!d.DeploymentPath.empty() && !files.FolderExists(d.DeploymentPath)) {
    warn("DEPLOYMENT", "DeploymentPath",
         "The deployment folder \"" + d.DeploymentPath + "\" does not exist here.");
  } else if (!d.DeploymentPath.empty() && !documentFileName.empty() && MovesNeedDrivers(d)) {
    // Since the 2021 print spooler hardening a standard user may not install
    // the new queues' drivers: without the staging run those moves fail.
    const std::string script = toolkit::StagingBatchFileName(documentFileName);
    if (!files.FileExists(platform::JoinPath(d.DeploymentPath, script))) {
      warn("DEPLOYMENT", "DeploymentPath",
           "The moves of this document need the new printers' drivers on the clients, and the "
           "deployment folder \"" + d.DeploymentPath + "\" has no start-up batch file " + script +
               " to install them: standard users may not install printer drivers since the 2021 "
               "print spooler hardening, so their moves would fail (error 3019). Deploy with the "
               "batch file ('quillon deploy --batch' or Deploy Now) and run " + script +
               " as a Group Policy computer start-up script, or as a scheduled task at start-up "
               "running as SYSTEM.");
    }
  }
  if (!d.FileOutputPath.empty() && !files.FolderExists(d.FileOutputPath)) {
    warn("NOTIFICATION FILE OUTPUT", "FileOutputPath",
         "The output folder \"" + d.FileOutputPath + "\" does not exist here.");
  }
  if (d.Targeting.UseTargeting) {
    const document::TargetingRules rules = document::ReadTargetingRules(d.Targeting, nullptr);
    const char* section = document::kTargetingSection;
    if (rules.rolloutPercent == 0 && !d.Targeting.RolloutPercent.empty()) {
      warn(section, "RolloutPercent",
           "RolloutPercent is 0: the document applies to no computer until it is raised.");
    }
    if (!rules.computerGroups.empty() &&
        d.DomainName.find_first_not_of(" \t") == std::string::npos) {
      warn(section, "ComputerGroups",
           "ComputerGroups needs the computer's groups, which Windows clients read from the "
           "directory that DomainName names; this document names none, so on Windows the "
           "condition never holds and no computer is targeted.");
    }
    std::vector<std::string> included = rules.computerNames;
    if (included.empty()) included.push_back("*");
    for (const std::string& exclude : rules.excludeComputerNames) {
      if (std::all_of(included.begin(), included.end(), [&](const std::string& name) {
            return PatternCovers(exclude, name);
          })) {
        warn(section, "ExcludeComputerNames",
             "ExcludeComputerNames \"" + exclude + "\" excludes every computer " +
                 (rules.computerNames.empty() ? std::string("(no ComputerNames limit them)")
                                              : "that ComputerNames includes") +
                 ": the document applies to no computer.");
        break;
      }
    }
  }
  std::stable_sort(warnings.begin(), warnings.end(), FindingBefore);
  refusals.insert(refusals.end(), warnings.begin(), warnings.end());
  return refusals;
}

}  // namespace quillon::tools
