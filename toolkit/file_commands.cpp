#include "toolkit/file_commands.h"

#include "document/document_file.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace quillon::toolkit {
namespace {

constexpr const char* kSaveTitle = "Save?";

// The file name part of a path, either separator.
std::string FileTitle(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

gui::SaveFileOptions SaveAsOptions() {
  return {"Save INI file As ...", "ini", "UNTITLED.INI", kIniFilter, true};
}

gui::SaveFileOptions OpenOptions() { return {"Open INI File ...", "ini", "", kIniFilter, false}; }

std::string WizardCaption(const std::string& documentFileName) {
  return "Quillon - Deployment Toolkit [" + documentFileName + "]";
}

FileCommands::FileCommands(gui::Form& wizard, gui::Dialogs& dialogs, platform::FileSystem& files,
                           WizardDocument& document, Hooks hooks)
    : wizard_(wizard), dialogs_(dialogs), files_(files), document_(document), hooks_(std::move(hooks)) {
  if (!hooks_.askNewType) hooks_.askNewType = [] { return std::optional<DocumentType>(); };
  if (!hooks_.rebuildTree) hooks_.rebuildTree = [] {};
  if (!hooks_.checkBeforeSave) hooks_.checkBeforeSave = [] { return true; };
  if (!hooks_.checkBeforeWrite) {
    hooks_.checkBeforeWrite = [](const document::MigrationDocument&) { return true; };
  }
}

void FileCommands::NewDocument() {
  if (!SaveBeforeReplacing("Do you want to save your changes before creating a new INI file?")) {
    RefreshCaption();
    return;
  }
  const std::optional<DocumentType> type = hooks_.askNewType();
  // A cancel leaves the controls as they are: filling them from the record
  // would drop the edits not saved just before, with nothing said.
  if (!type) {
    RefreshCaption();
    return;
  }
  ResetDocument(wizard_, document_);
  document_.record.UseActiveDirectory = *type == DocumentType::ActiveDirectory;
  document_.record.UseManualDefinitions = *type == DocumentType::Manual;
  FillFormFromDocument(wizard_, document_.record);
  hooks_.rebuildTree();
  document_.DocumentDirty = false;
  RefreshCaption();
}

void FileCommands::OpenDocument() {
  if (!SaveBeforeReplacing("Do you want to save your changes before opening a new INI file?")) {
    RefreshCaption();
    return;
  }
  const std::string path = dialogs_.ShowOpenDialog(OpenOptions());
  if (FileTitle(path).empty()) return;
  OpenPath(path);
}

namespace {

// How many items of a list the engine reads as the file holds them.
template <class Item>
std::size_t ItemsReadWhole(const std::vector<Item>& whole, const std::vector<Item>& asEngine) {
  std::size_t read = 0;
  while (read < whole.size() && read < asEngine.size() && whole[read] == asEngine[read]) ++read;
  return read;
}

std::string Thousands(std::size_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

bool FileCommands::OfferToCutLongLists(const std::string& path,
                                       document::MigrationDocument& whole,
                                       const document::MigrationDocument& asEngine, bool& cut) {
  std::string lists;
  std::vector<std::function<void()>> cuts;
  const auto measure = [&](const char* name, auto& list, const auto& engineList) {
    const std::size_t read = ItemsReadWhole(list, engineList);
    if (read == list.size()) return;
    // The reader's empty first record is no item of the administrator's.
    const bool blankFirst = !list.empty() && list.front() == typename std::decay_t<decltype(list)>::value_type{};
    const std::size_t items = list.size() - (blankFirst ? 1 : 0);
    lists += std::string("\r\n") + name + ": " + Thousands(list.size() - read) + " of its " +
             Thousands(items) + " items";
    cuts.push_back([&list, read] { list.resize(std::max<std::size_t>(read, 1)); });
  };
  measure("Servers", whole.ServerPairs, asEngine.ServerPairs);
  measure("Printers", whole.PrinterPairs, asEngine.PrinterPairs);
  measure("Mixed", whole.MixedPairs, asEngine.MixedPairs);
  measure("Email To", whole.EmailTo, asEngine.EmailTo);
  measure("Populate", whole.PopulateRules, asEngine.PopulateRules);
  measure("Prune", whole.PruneRules, asEngine.PruneRules);
  measure("Drivers", whole.PrinterDrivers, asEngine.PrinterDrivers);
  cut = false;
  if (cuts.empty()) return true;
  const gui::MessageAnswer answer = dialogs_.ShowMessageBox(
      kListsTooLongTitle,
      "The INI file " + path + " holds lists longer than the Quillon Engine reads (" +
          Thousands(document::kEngineListCharacters) +
          " characters of each list). Items the engine does not read:" + lists +
          "\r\n\r\nLeave these items out of the document? Yes opens it without them, to be saved "
          "so. No keeps every item; the document cannot be saved until each list is short "
          "enough. Cancel opens nothing.",
      gui::MessageIcon::Exclamation, gui::MessageButtons::YesNoCancel);
  if (answer == gui::MessageAnswer::Cancel) return false;
  if (answer == gui::MessageAnswer::Yes) {
    for (const auto& cutList : cuts) cutList();
    cut = true;
  }
  return true;
}

bool FileCommands::OpenPath(const std::string& path) {
  const std::optional<std::string> content = files_.ReadFile(path);
  if (!content) {
    dialogs_.ShowMessageBox(
        kOpenErrorTitle,
        "The INI file " + path +
            (files_.FileExists(path)
                 ? " could not be read. Please check that you may read the file."
                 : " could not be found.") +
            " Nothing was opened.",
        gui::MessageIcon::Critical, gui::MessageButtons::Ok);
    return false;
  }
  document::MigrationDocument whole;
  std::string problem;
  const bool readError = document::ReadDocumentText(
      &*content, whole,
      [&problem](const std::string& line) {
        constexpr std::string_view kError = "ERROR: ";
        if (problem.empty() && line.starts_with(kError)) problem = line.substr(kError.size());
      },
      document::ListReading::Whole);
  if (readError) {
    dialogs_.ShowMessageBox(
        kOpenErrorTitle,
        "The file " + path + " is not a Quillon INI file, or it is damaged: " +
            (problem.empty() ? std::string("a setting it must hold is missing or unreadable.")
                             : problem) +
            " Nothing was opened.",
        gui::MessageIcon::Critical, gui::MessageButtons::Ok);
    return false;
  }
  document::MigrationDocument asEngine;
  document::ReadDocumentText(&*content, asEngine);
  bool cut = false;
  if (!OfferToCutLongLists(path, whole, asEngine, cut)) return false;
  document_.record = std::move(whole);
  document_.DocumentPath = path;
  document_.DocumentFileName = FileTitle(path);
  FillFormFromDocument(wizard_, document_.record);
  hooks_.rebuildTree();
  // Items left out are a change the file does not hold yet.
  document_.DocumentDirty = cut;
  RefreshCaption();
  return true;
}

void FileCommands::SaveFromToolbar() {
  if (hooks_.checkBeforeSave()) SaveDocument();
  RefreshCaption();
}

void FileCommands::SaveAsFromToolbar() {
  if (hooks_.checkBeforeSave()) SaveDocumentAs();
  RefreshCaption();
}

bool FileCommands::SaveDocument() {
  if (!document_.DocumentDirty) return true;
  const std::string path =
      document_.DocumentPath.empty() ? ChooseSaveFile() : document_.DocumentPath;
  return !path.empty() && Write(path);
}

bool FileCommands::SaveDocumentAs() {
  const std::string path = ChooseSaveFile();
  return !path.empty() && Write(path);
}

bool FileCommands::MayClose() {
  if (!document_.DocumentDirty) return true;
  switch (dialogs_.ShowMessageBox(kSaveTitle,
                                  "You have unsaved work, do you want to save before exiting?",
                                  gui::MessageIcon::Question, gui::MessageButtons::YesNoCancel)) {
    case gui::MessageAnswer::Yes:
      // Closing goes on only once the work is saved: a cancelled file
      // dialog, a refused or a failed save returns to the window.
      return SaveDocument();
    case gui::MessageAnswer::No:
      return true;
    default:
      return false;
  }
}

bool FileCommands::SaveBeforeReplacing(const std::string& question) {
  if (!document_.DocumentDirty) return true;
  if (dialogs_.ShowMessageBox(kSaveTitle, question, gui::MessageIcon::Question,
                              gui::MessageButtons::YesNo) != gui::MessageAnswer::Yes) {
    return true;
  }
  // Work that was to be saved and was not stops the command.
  return SaveDocument();
}

std::string FileCommands::ChooseSaveFile() {
  const std::string path = dialogs_.ShowSaveDialog(SaveAsOptions());
  return FileTitle(path).empty() ? std::string() : path;
}

bool FileCommands::Write(const std::string& path) {
  document::MigrationDocument gathered = document_.record;
  GatherFormIntoDocument(wizard_, gathered);
  if (!hooks_.checkBeforeWrite(gathered)) return false;
  if (document::WriteDocument(files_, path, gathered)) {
    dialogs_.ShowMessageBox(document::kWriteErrorTitle, document::kWriteErrorText,
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
    return false;
  }
  document_.record = std::move(gathered);
  document_.DocumentPath = path;
  document_.DocumentFileName = FileTitle(path);
  document_.DocumentDirty = false;
  return true;
}

void FileCommands::RefreshCaption() { wizard_.SetCaption(WizardCaption(document_.DocumentFileName)); }

}  // namespace quillon::toolkit
