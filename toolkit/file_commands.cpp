#include "toolkit/file_commands.h"

#include "document/document_file.h"

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

bool FileCommands::OpenPath(const std::string& path) {
  document_.DocumentPath = path;
  document_.DocumentFileName = FileTitle(path);
  document_.DocumentDirty = false;
  const bool readError = document::ReadDocument(files_, path, document_.record);
  ShowAfterRead(readError);
  return !readError;
}

void FileCommands::ShowAfterRead(bool readError) {
  if (readError) {
    dialogs_.ShowMessageBox(document::kReadErrorTitle, document::kReadErrorText,
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  }
  FillFormFromDocument(wizard_, document_.record);
  hooks_.rebuildTree();
  document_.DocumentDirty = false;
  RefreshCaption();
}

void FileCommands::SaveFromToolbar() {
  if (hooks_.checkBeforeSave()) SaveDocument();
  RefreshCaption();
}

void FileCommands::SaveAsFromToolbar() {
  if (hooks_.checkBeforeSave()) SaveDocumentAs();
  RefreshCaption();
}

void FileCommands::SaveDocument() {
  if (!document_.DocumentDirty) return;
  if (document_.DocumentPath.empty() && !ChooseSaveFile()) return;
  Write();
}

void FileCommands::SaveDocumentAs() {
  if (!ChooseSaveFile()) return;
  Write();
}

bool FileCommands::MayClose() {
  if (!document_.DocumentDirty) return true;
  switch (dialogs_.ShowMessageBox(kSaveTitle,
                                  "You have unsaved work, do you want to save before exiting?",
                                  gui::MessageIcon::Question, gui::MessageButtons::YesNoCancel)) {
    case gui::MessageAnswer::Yes:
      // A never-saved document asks for a file; cancelling it closes unsaved.
      SaveDocument();
      return true;
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
  if (document_.DocumentPath.empty() && !ChooseSaveFile()) return false;
  Write();
  return true;
}

bool FileCommands::ChooseSaveFile() {
  const std::string path = dialogs_.ShowSaveDialog(SaveAsOptions());
  if (FileTitle(path).empty()) return false;
  document_.DocumentPath = path;
  document_.DocumentFileName = FileTitle(path);
  document_.DocumentDirty = false;
  return true;
}

void FileCommands::Write() {
  GatherFormIntoDocument(wizard_, document_.record);
  if (document::WriteDocument(files_, document_.DocumentPath, document_.record)) {
    dialogs_.ShowMessageBox(document::kWriteErrorTitle, document::kWriteErrorText,
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  }
  document_.DocumentDirty = false;
}

void FileCommands::RefreshCaption() { wizard_.SetCaption(WizardCaption(document_.DocumentFileName)); }

}  // namespace quillon::toolkit
