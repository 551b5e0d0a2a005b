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
  };

  FileCommands(gui::Form& wizard, gui::Dialogs& dialogs, platform::FileSystem& files,
               WizardDocument& document, Hooks hooks);

  void NewDocument();
  void OpenDocument();
  // The toolbar's Save and Save As: the check first, then the save.
  void SaveFromToolbar();
  void SaveAsFromToolbar();
  // Nothing unless there are changes; Save As for a document never saved.
  void SaveDocument();
  // Always asks for a file.
  void SaveDocumentAs();
  // A document named by path (the start dialog's "Existing" page, the command
  // line): read, shown, its name in the caption. False after a read error,
  // which has been shown; what could be read is shown all the same.
  bool OpenPath(const std::string& path);
  // The close prompt: false keeps the window open.
  bool MayClose();

 private:
  // The "Save?" question before New and Open; false when a cancelled Save As
  // stops the command.
  bool SaveBeforeReplacing(const std::string& question);
  // Asks for a file; false when cancelled. Takes its path and name.
  bool ChooseSaveFile();
  void Write();
  void ShowAfterRead(bool readError);
  void RefreshCaption();

  gui::Form& wizard_;
  gui::Dialogs& dialogs_;
  platform::FileSystem& files_;
  WizardDocument& document_;
  Hooks hooks_;
};

}  // namespace quillon::toolkit
