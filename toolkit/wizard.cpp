#include "toolkit/wizard.h"

#include <algorithm>
#include <utility>

#include "toolkit/deployment.h"
#include "toolkit/help_guide.h"
#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

const std::vector<std::string> kPopulateTypes{"Local", "Networked"};
const std::vector<std::string> kPruneTypes{"Local Printer Only", "Networked Printer Only",
                                           "Local and Networked Printer Only", "Server Only",
                                           "Printer and Server"};

}  // namespace

Wizard::Wizard(Environment environment)
    : environment_(std::move(environment)), form_(WizardWindowDescription()) {
  // The pages' refreshes belong to the rule editors, made after the navigation.
  WizardNavigation::Hooks navigationHooks;
  navigationHooks.refreshPopulate = [this] { rules_->RefreshPopulatePage(); };
  navigationHooks.refreshPrune = [this] { rules_->RefreshPrunePage(); };
  navigationHooks.refreshSetDefault = [this] { rules_->RefreshSetDefaultPage(); };
  navigationHooks.refreshDrivers = [this] { rules_->RefreshDriversPage(); };
  navigationHooks.requeryDirectoryPrinters = [this](Page page) {
    rules_->RefreshDirectoryPicker(page);
  };
  navigationHooks.showHelp = [this](int context) { ShowHelp(context); };
  navigationHooks.mayLeave = [this](Page page) { return checks_->MayLeavePage(page); };
  navigation_ = std::make_unique<WizardNavigation>(form_, environment_.dialogs, document_,
                                                   std::move(navigationHooks));
  FileCommands::Hooks fileHooks;
  fileHooks.askNewType = [this] { return AskNewType(); };
  fileHooks.rebuildTree = [this] { navigation_->InitializeTreeView(); };
  fileHooks.checkBeforeSave = [this] { return checks_->ValidateBeforeSave(); };
  fileHooks.checkBeforeWrite = [this](const document::MigrationDocument& gathered) {
    return checks_->CheckBeforeWrite(gathered);
  };
  commands_ = std::make_unique<FileCommands>(form_, environment_.dialogs, environment_.files,
                                             document_, std::move(fileHooks));
  RuleEditors::Hooks ruleHooks;
  ruleHooks.variant = [this] { return navigation_->variant(); };
  ruleHooks.loadDirectoryPrinters = [this](gui::ControlModel& picker, gui::ControlModel& bar) {
    if (environment_.loadDirectoryPrinters) {
      environment_.loadDirectoryPrinters(picker, bar, form_["cboDomainName"].text());
    }
  };
  ruleHooks.loadDirectoryGroups = [this](gui::ControlModel& picker, gui::ControlModel& bar) {
    if (environment_.loadDirectoryGroups) {
      environment_.loadDirectoryGroups(picker, bar, form_["cboDomainName"].text());
    }
  };
  rules_ = std::make_unique<RuleEditors>(form_, environment_.dialogs, document_,
                                         std::move(ruleHooks));
  FieldChecks::Hooks checkHooks;
  checkHooks.folderExists = [this](const std::string& folder) { return FolderExists(folder); };
  checkHooks.refreshDrivers = [this] { rules_->RefreshDriversPage(); };
  checks_ = std::make_unique<FieldChecks>(form_, environment_.dialogs, document_, *navigation_,
                                          std::move(checkHooks));
  WatchForChanges(form_, document_);

  // New and Open show General: a field left invalid is mended first.
  form_.OnClick("ID_BTN_NEW", [this] {
    if (navigation_->LeaveCurrentPage()) commands_->NewDocument();
  });
  form_.OnClick("ID_BTN_OPEN", [this] {
    if (navigation_->LeaveCurrentPage()) commands_->OpenDocument();
  });
  form_.OnClick("ID_BTN_SAVE", [this] { commands_->SaveFromToolbar(); });
  form_.OnClick("ID_BTN_SAVE_AS", [this] { commands_->SaveAsFromToolbar(); });
  form_.OnClick("ID_BTN_EXIT", [this] { form_.Close(); });
  form_.OnCloseQuery([this] { return commands_->MayClose(); });
  form_.OnClick("ID_BTN_CONTENTS", [this] { ShowHelp(gui::kHelpContents); });
  form_.OnClick("ID_BTN_ABOUT", [this] { ShowAbout(); });
  form_.OnClick("lnkMDAC", [this] { OpenWebPage(kMdacInformationUrl); });
  form_.OnClick("lnkSupport", [this] { OpenWebPage(kSupportUrl); });
  form_.OnClick("cmdDeployNow(0)", [this] { DeployNow(); });
  form_.OnClick("cmdDeployNow(1)", [this] { DeployNow(); });
  // A chosen folder replaces the box's text; a cancelled browse leaves it.
  for (const auto& [button, box] : {std::pair{"cmdBrowseDeployment", "txtNetworkSharePath"},
                                    std::pair{"cmdBrowseDriverSharePath", "txtDriverSharePath"},
                                    std::pair{"cmdBrowseFileOutput", "txtFileOutputPath"}}) {
    const std::string target = box;
    // The deployment folder is a share the clients reach: the network's browser.
    const bool network = std::string(button) == "cmdBrowseDeployment";
    form_.OnClick(button, [this, target, network] {
      const std::string folder =
          network ? environment_.dialogs.BrowseForNetworkFolder()
                  : environment_.dialogs.BrowseForFolderAt(form_[target].text());
      if (folder.empty()) return;
      form_[target].SetText(folder);
      document_.DocumentDirty = true;
    });
  }
}

void Wizard::Load() {
  ResetDocument(form_, document_);
  form_["cboPopulateType"].SetLines(kPopulateTypes);
  form_["cboPruneType"].SetLines(kPruneTypes);
  form_["cboPruneType"].SetValue(4);
  form_["cboPopulateType"].SetValue(1);
  // Shown, never edited: the kind is fixed when a document is made.
  form_["cboConfigurationFileType"].SetEnabled(false);
  form_["txtPrinterNameViewOnly"].SetEnabled(false);
  FillFormFromDocument(form_, document_.record);
  navigation_->InitializeTreeView();
  checks_->ApplyOptionDependencies();
  navigation_->ClearADRefreshFlags();
  form_.SetCaption(WizardCaption(document_.DocumentFileName));
  LoadDomainNames();
  document_.DocumentDirty = false;
}

bool Wizard::Start(const std::string& commandLineDocument) {
  // A document that cannot be read has said so; the start dialog follows.
  if (!commandLineDocument.empty() && commands_->OpenPath(commandLineDocument)) return Started();
  return RunStartDialog();
}

bool Wizard::RunStartDialog() {
  while (true) {
    StartDialog dialog(environment_.files, environment_.dialogs, true, environment_.startFolder,
                       [this](int context) { ShowHelp(context); });
    environment_.showModal(dialog.form());
    if (dialog.Cancelled()) {
      form_.Close();
      return false;
    }
    // A document that cannot be opened has said why; the dialog comes again.
    if (dialog.CurrentTab() == StartDialog::kExistingTab) {
      if (!commands_->OpenPath(dialog.ChosenPath())) continue;
      return Started();
    }
    ResetDocument(form_, document_);
    document_.record.UseActiveDirectory = dialog.ChosenType() == DocumentType::ActiveDirectory;
    document_.record.UseManualDefinitions = !document_.record.UseActiveDirectory;
    FillFormFromDocument(form_, document_.record);
    navigation_->InitializeTreeView();
    document_.DocumentDirty = false;
    return Started();
  }
}

bool Wizard::Started() {
  navigation_->ClearADRefreshFlags();
  form_.SetCaption(WizardCaption(document_.DocumentFileName));
  return true;
}

std::optional<DocumentType> Wizard::AskNewType() {
  StartDialog dialog(environment_.files, environment_.dialogs, false, environment_.startFolder,
                     [this](int context) { ShowHelp(context); });
  environment_.showModal(dialog.form());
  if (dialog.Cancelled()) return std::nullopt;
  return dialog.ChosenType();
}

std::string Wizard::HelpFile() const {
  return platform::JoinPath(environment_.programFolder, kHelpFileName);
}

void Wizard::ShowHelp(int context) {
  // A WinHelp file beside the program is shown where the system still can.
  const std::string file = HelpFile();
  if (environment_.files.FileExists(file) && environment_.dialogs.ShowHelp(file, context)) return;
  const std::string page = GuidePage(environment_.programFolder, context);
  if (!environment_.files.FileExists(page)) {
    environment_.dialogs.ShowMessageBox(kProgramTitle,
                                        "The guide's page " + page + " could not be found.",
                                        gui::MessageIcon::Exclamation, gui::MessageButtons::Ok);
    return;
  }
  if (!environment_.dialogs.OpenGuide(page)) {
    environment_.dialogs.ShowMessageBox(
        kProgramTitle, "No web browser could be started to show the guide's page " + page + ".",
        gui::MessageIcon::Exclamation, gui::MessageButtons::Ok);
  }
}

void Wizard::OpenWebPage(const std::string& url) {
  if (!environment_.dialogs.OpenWebPage(url)) {
    environment_.dialogs.ShowMessageBox(kProgramTitle,
                                        "No web browser could be started to open " + url + ".",
                                        gui::MessageIcon::Exclamation, gui::MessageButtons::Ok);
  }
}

void Wizard::ShowAbout() {
  gui::Form about(AboutDescription());
  about.OnClick("cmdOK", [&about] { about.Close(); });
  environment_.showModal(about);
}

void Wizard::LoadDomainNames() {
  if (!environment_.listDomains) return;
  std::vector<std::string> domains;
  try {
    domains = environment_.listDomains();
  } catch (...) {
    return;  // a domain can always be typed
  }
  if (domains.empty()) return;
  gui::ControlModel& box = form_["cboDomainName"];
  std::vector<std::string> lines = box.lines();
  lines.insert(lines.end(), domains.begin(), domains.end());
  // Filling the list is not a change of the domain.
  const bool populatePending = navigation_->PopulateADRefreshPending;
  const bool prunePending = navigation_->PruneADRefreshPending;
  box.SetLines(std::move(lines));
  navigation_->PopulateADRefreshPending = populatePending;
  navigation_->PruneADRefreshPending = prunePending;
}

void Wizard::SetDeploymentHost(DeploymentHost host) { deploymentHost_.emplace(std::move(host)); }

bool Wizard::FolderExists(const std::string& folder) const {
  const DeploymentFolder reached = ResolveDeploymentFolder(
      folder, deploymentHost_ ? deploymentHost_->mountTable : std::nullopt);
  return !reached.host.empty() && environment_.files.FolderExists(reached.host);
}

namespace {

// The progress window's label and bar as a deployment drives them.
class ProgressWindow : public DeploymentProgress {
 public:
  explicit ProgressWindow(gui::Form& form) : form_(form) {}
  void SetCaption(const std::string& caption) override { form_["lblProgress"].SetText(caption); }
  void Advance() override {
    gui::ControlModel& bar = form_["prbProgress"];
    bar.SetValue(std::min(bar.value() + 1, bar.maximum()));
  }
  void ProcessEvents() override { form_.ProcessEvents(); }

 private:
  gui::Form& form_;
};

}  // namespace

bool Wizard::DeployNow() {
  gui::Dialogs& dialogs = environment_.dialogs;
  // Deployment always works from the saved file.
  if (document_.DocumentPath.empty() || document_.DocumentDirty) {
    dialogs.ShowMessageBox("Error",
                           "This INI file needs to be saved. Please save your INI file before "
                           "trying to deploy.",
                           gui::MessageIcon::Critical, gui::MessageButtons::Ok);
    return false;
  }
  if (!FolderExists(form_["txtNetworkSharePath"].text())) {
    dialogs.ShowMessageBox("Error",
                           "The deployment folder does not exist. Please check your deployment "
                           "folder and try again.",
                           gui::MessageIcon::Critical, gui::MessageButtons::Ok);
    return false;
  }
  if (!deploymentHost_) return false;
  DeploymentHost& host = *deploymentHost_;
  const bool launchPage = form_["chkCreateHTML"].checked();
  const bool batchFile = form_["chkBatchFile"].checked();
  const DeploymentInputs inputs =
      ReadDeploymentInputs(form_, document_, environment_.programFolder);

  if (host.setBusy) host.setBusy(true);
  gui::Form progressForm(ProgressDescription());
  progressForm["prbProgress"].SetRange(0, DeploymentStepCount(inputs, launchPage, batchFile));
  progressForm["lblProgress"].SetText("Initializing deployment process ...");
  const std::function<void()> closeProgress =
      host.showWindow ? host.showWindow(progressForm) : std::function<void()>();
  progressForm.ProcessEvents();
  ProgressWindow progress(progressForm);
  Deployment deployment({dialogs, environment_.files, host.clock, progress, host.userName,
                         host.computerName, host.mountTable},
                        inputs);
  deployment.DeploymentSucceeded = true;
  // A failed step has shown its own message; the window must not call the
  // deployment complete.
  const bool deployed = deployment.Deploy(launchPage, batchFile);
  progress.SetCaption(deployed ? "Deployment Complete." : "Deployment failed.");
  progress.ProcessEvents();
  if (closeProgress) closeProgress();
  if (host.setBusy) host.setBusy(false);
  const std::string unreachable = batchFile ? deployment.ClientPathProblem() : std::string();
  if (deployed && !unreachable.empty()) {
    dialogs.ShowMessageBox("Deployment Incomplete", unreachable, gui::MessageIcon::Exclamation,
                           gui::MessageButtons::Ok);
    return false;
  }
  if (deployed) {
    dialogs.ShowMessageBox("Sucess", "Deployment successfull.", gui::MessageIcon::Information,
                           gui::MessageButtons::Ok);
  }
  return deployed;
}

std::string CommandLineDocument(std::string_view arguments) {
  std::string path;
  for (const char c : arguments) {
    if (c != '"') path += c;
  }
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!path.empty() && blank(path.back())) path.pop_back();
  std::size_t start = 0;
  while (start < path.size() && blank(path[start])) ++start;
  return path.substr(start);
}

}  // namespace quillon::toolkit
