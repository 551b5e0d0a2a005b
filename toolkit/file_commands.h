// How a document comes into the wizard and is written back: New, Open, Save,
// Save As, the unsaved-changes prompts and the window caption. Logic on the
// wizard's control models, the dialogs interface and the files, so every
// prompt path runs with scripted answers.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/file_system.h"
#include "toolkit/document_binding.h"

namespace quillon::toolkit {

enum class DocumentType { ActiveDirectory, Manual };

inline constexpr const char* kIniFilter = "Quillon (*.ini)|*.ini";
inline constexpr const char* kOpenErrorTitle = "Open Error";
inline constexpr const char* kListsTooLongTitle = "Lists Too Long";
gui::SaveFileOptions SaveAsOptions();
gui::SaveFileOptions OpenOptions();
// "Quillon - Deployment Toolkit [" + file name + "]".
std::string WizardCaption(const std::string& documentFileName);

class FileCommands {
 public:
  // What the commands need of the rest of the wizard.
  struct Hooks {
    // The start dialog with its "New" page only; nullopt when cancelled.
    std::function<std::optional<DocumentType>()> askNewType;
    // Rebuilds the page tree for the document's variant.
    std::function<void()> rebuildTree;
    // The check before the toolbar's saves; a refusal has said why.
    std::function<bool()> checkBeforeSave;
    // The checks before every write, whichever command makes it, on the
    // record about to be written; a refusal has said why and shown where.
    std::function<bool(const document::MigrationDocument& gathered)> checkBeforeWrite;
  };

  FileCommands(gui::Form& wizard, gui::Dialogs& dialogs, platform::FileSystem& files,
               WizardDocument& document, Hooks hooks);

  void NewDocument();
  void OpenDocument();
  // The toolbar's Save and Save As: the check first, then the save.
  void SaveFromToolbar();
  void SaveAsFromToolbar();
  // Nothing unless there are changes; Save As for a document never saved.
  // False when the changes are still unsaved (cancelled, refused or failed).
  bool SaveDocument();
  // Always asks for a file. False when nothing was written.
  bool SaveDocumentAs();
  // A document named by path (the start dialog's "Existing" page, the command
  // line): read, shown, its name in the caption. False when it could not be
  // opened, which has been said; then nothing has changed.
  bool OpenPath(const std::string& path);
  // The close prompt: false keeps the window open.
  bool MayClose();

 private:
  // The "Save?" question before New and Open; false when a cancelled Save As
  // stops the command.
  bool SaveBeforeReplacing(const std::string& question);
  // Asks for a file; empty when cancelled.
  std::string ChooseSaveFile();
  // Gathers, checks and writes into `path`; only a written document takes
  // the path and loses its changes. False when nothing was written.
  bool Write(const std::string& path);
  // Lists the engine would cut: kept whole, or cut when the administrator
  // agrees. False when the document is not to be opened.
  bool OfferToCutLongLists(const std::string& path, document::MigrationDocument& whole,
                           const document::MigrationDocument& asEngine, bool& cut);
  void RefreshCaption();

  gui::Form& wizard_;
  gui::Dialogs& dialogs_;
  platform::FileSystem& files_;
  WizardDocument& document_;
  Hooks hooks_;
};

}  // namespace quillon::toolkit
