// QuillonToolkit's main window as logic: frmWizard's models with the document
// binding, the file commands, the page navigation, the start dialog, help,
// the link labels, the about box and the domain box. A front end shows the
// forms and answers `showModal`; everything else runs without a window.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/clock.h"
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
    std::string programFolder;  // where the help file and the guide lie
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
    // The same with the domain's groups.
    std::function<void(gui::ControlModel& picker, gui::ControlModel& bar,
                       const std::string& domain)>
        loadDirectoryGroups;
  };

  // What Deploy Now needs of the host besides the files and the dialogs.
  struct DeploymentHost {
    platform::Clock& clock;
    std::string userName, computerName;
    std::optional<std::string> mountTable;  // where folders are reached through CIFS mounts
    // Shows a window that does not wait for the user; the answer closes it.
    std::function<std::function<void()>(gui::Form&)> showWindow;
    // The hourglass over a disabled main window while deploying, and back.
    std::function<void(bool busy)> setBusy;
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

  // Help at a topic (kHelpContents: the contents): the WinHelp file where it
  // is there and can be shown, else the HTML guide at the topic's section.
  void ShowHelp(int context);
  std::string HelpFile() const;

  void SetDeploymentHost(DeploymentHost host);
  // Deploy Now: the saved document into the deployment folder; true when
  // every step succeeded.
  bool DeployNow();
  // Whether a folder the clients name is there, as this computer reaches it.
  bool FolderExists(const std::string& folder) const;

 private:
  bool RunStartDialog();
  // A document in place at start-up: no refresh pending, its name shown.
  bool Started();
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
  std::optional<DeploymentHost> deploymentHost_;
};

// The document a command line names, as Explorer's "Open with" passes it:
// everything after the program's own name, blanks trimmed and the quotes
// removed. Empty when there is none.
std::string CommandLineDocument(std::string_view argumentsAfterProgram);

}  // namespace quillon::toolkit
