// QuillonToolkit's main window as logic: frmWizard's models with the document
// binding, the file commands, the page navigation, the start dialog, help,
// the link labels, the about box and the domain box. A front end shows the
// forms and answers `showModal`; everything else runs without a window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/file_system.h"
#include "toolkit/document_binding.h"
#include "toolkit/field_checks.h"
#include "toolkit/file_commands.h"
#include "toolkit/rule_editors.h"
#include "toolkit/start_dialog.h"
#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit {

class Wizard {
 public:
  struct Environment {
    gui::Dialogs& dialogs;
    platform::FileSystem& files;
    std::string programFolder;  // where the help file lies
    std::string startFolder;    // where the start dialog's folder list begins
    // The domains for the domain box; empty on any error.
    std::function<std::vector<std::string>()> listDomains;
    // Shows a dialog's form modally and returns when it has closed.
    std::function<void(gui::Form&)> showModal;
    // Fills a directory picker with the printers the domain publishes,
    // advancing its progress bar.
    std::function<void(gui::ControlModel& picker, gui::ControlModel& bar,
                       const std::string& domain)>
        loadDirectoryPrinters;
  };

  explicit Wizard(Environment environment);
  Wizard(const Wizard&) = delete;
  Wizard& operator=(const Wizard&) = delete;

  gui::Form& form() { return form_; }
  WizardDocument& document() { return document_; }
  WizardNavigation& navigation() { return *navigation_; }
  FileCommands& commands() { return *commands_; }
  RuleEditors& rules() { return *rules_; }

  // The window's load, before it is shown: the new-document defaults, the
  // page tree, the domain box.
  void Load();
  // Once the window shows: the document named on the command line, or else
  // (also when it cannot be read) the start dialog. False when the start
  // dialog was cancelled: the window closes and the program ends.
  bool Start(const std::string& commandLineDocument);

  // The help file at a topic (kHelpContents: its contents).
  void ShowHelp(int context);
  std::string HelpFile() const;

 private:
  bool RunStartDialog();
  std::optional<DocumentType> AskNewType();
  void OpenWebPage(const std::string& url);
  void ShowAbout();
  void LoadDomainNames();

  Environment environment_;
  gui::Form form_;
  WizardDocument document_;
  std::unique_ptr<WizardNavigation> navigation_;
  std::unique_ptr<FileCommands> commands_;
  std::unique_ptr<RuleEditors> rules_;
  std::unique_ptr<FieldChecks> checks_;
};

// The document a command line names, as Explorer's "Open with" passes it:
// everything after the program's own name, blanks trimmed and the quotes
// removed. Empty when there is none.
std::string CommandLineDocument(std::string_view argumentsAfterProgram);

}  // namespace quillon::toolkit
