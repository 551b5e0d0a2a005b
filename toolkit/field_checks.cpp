#include "toolkit/field_checks.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/document_file.h"
#include "document/targeting_values.h"
#include "toolkit/rule_editors.h"

namespace quillon::toolkit {
namespace {

using gui::MessageButtons;
using gui::MessageIcon;

constexpr const char* kFolderNotFound = "Folder not found.";
constexpr const char* kInvalidPortTitle = "Invalid Port Number";
constexpr const char* kInvalidPortText =
    "Incorrect port number. Please enter a valid port number (i.e. 1025)";

// The page that edits a list section, and what the administrator calls it.
struct ListPage {
  const char* section;
  const char* name;
  Page page;
};
constexpr ListPage kListPages[] = {
    {"MANUAL DEFINITIONS SERVERS", "server pairs", Page::Servers},
    {"MANUAL DEFINITIONS PRINTERS", "printer pairs", Page::Printers},
    {"MANUAL DEFINITIONS MIXED", "server and printer pairs", Page::Mixed},
    {"NOTIFICATION SMTP", "e-mail recipients", Page::SmtpMail},
    {"POPULATE", "populate rules", Page::Populate},
    {"PRUNE", "prune rules", Page::Prune},
    {"PRINTER_DRIVER", "printer drivers", Page::Drivers},
};

std::string Thousands(std::size_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}
constexpr const char* kPortField = "txtSMTPServerPort";
constexpr const char* kSenderField = "txtSMTPEmailAddress";

// The targeting values the engine refuses a document for, by the page's words.
struct TargetingCheck {
  const char* control;
  const char* key;  // in [TARGETING]
  const char* words;
  std::string document::TargetingSettings::*field;
};
constexpr TargetingCheck kTargetingChecks[] = {
    {"txtSubnets", "Subnets", "Subnets", &document::TargetingSettings::Subnets},
    {"txtRolloutPercent", "RolloutPercent", "Roll-out percent",
     &document::TargetingSettings::RolloutPercent},
    {"txtNotBefore", "NotBefore", "Not before", &document::TargetingSettings::NotBefore},
};
constexpr const char* kInvalidTargetingTitle = "Invalid Targeting Value";

// Why the engine would refuse `settings`, said for the first value it
// cannot read, with that value's field; nullopt when it reads them all.
std::optional<std::pair<std::string, const char*>> TargetingRefusal(
    const document::TargetingSettings& settings) {
  std::vector<document::TargetingError> errors;
  document::ReadTargetingRules(settings, &errors);
  for (const document::TargetingError& error : errors) {
    for (const TargetingCheck& check : kTargetingChecks) {
      if (error.key == check.key) return std::pair{check.words + error.detail, check.control};
    }
  }
  return std::nullopt;
}

const TargetingCheck* TargetingCheckOf(const std::string& control) {
  for (const TargetingCheck& check : kTargetingChecks) {
    if (control == check.control) return &check;
  }
  return nullptr;
}

// The fields whose value is checked when they are left and before their page is.
const std::vector<std::string>& CheckedFields() {
  static const std::vector<std::string> fields = [] {
    std::vector<std::string> all{kPortField, kSenderField};
    for (const TargetingCheck& check : kTargetingChecks) all.emplace_back(check.control);
    return all;
  }();
  return fields;
}

// The controls each check box or option turns on and off.
struct Dependency {
  const char* governing;
  std::vector<const char*> dependents;
};
const std::vector<Dependency> kDependencies{
    {"chkUseSMTP",
     {"txtSMTPServerName", "txtSMTPServerPort", "txtEmailSubject", "txtSendEmailTo",
      "lstToEmailAddresses", "txtSMTPEmailAddress", "cmdAddSendEmail", "cmdRemoveSendEmail"}},
    {"chkUseFileOutput",
     {"txtFileOutputPath", "cmdBrowseFileOutput", "txtFileOutputName", "chkIncludeComputerName",
      "chkIncludeFinalStatus"}},
    {"chkUseNotifyUser", {"txtSucessMessage"}},
    {"chkNotifyMessageOnFailure", {"txtFailureMessage"}},
    {"chkIncludeMDAC", {"optMDACVersion(0)", "optMDACVersion(1)", "optMDACVersion(2)"}},
    // The Force option; the other two turn the box off as they uncheck it.
    {"optDefault(2)", {"cboForceDefault"}},
    {"chkUseTargeting",
     {"txtComputerNames", "txtExcludeComputerNames", "txtUserGroups", "txtComputerGroups",
      "txtSites", "txtSubnets", "txtRolloutPercent", "txtNotBefore", "cboTargetingGroups",
      "cmdTargetingGroupsRefresh", "cmdAddUserGroup", "cmdAddComputerGroup"}},
};

}  // namespace

bool IsNumericText(const std::string& text) {
  // Blanks around it are trimmed by every reader of the document.
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const std::size_t last = text.find_last_not_of(" \t");
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(first),
                     text.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                     [](char c) { return c >= '0' && c <= '9'; });
}

FieldChecks::FieldChecks(gui::Form& wizard, gui::Dialogs& dialogs, WizardDocument& document,
                         WizardNavigation& navigation, Hooks hooks)
    : wizard_(wizard),
      dialogs_(dialogs),
      document_(document),
      navigation_(navigation),
      hooks_(std::move(hooks)) {
  if (!hooks_.folderExists) hooks_.folderExists = [](const std::string&) { return false; };
  if (!hooks_.refreshDrivers) hooks_.refreshDrivers = [] {};
  std::vector<std::string> leftFields = CheckedFields();
  leftFields.insert(leftFields.end(), {"txtFileOutputPath", "txtNetworkSharePath"});
  for (const std::string& key : leftFields) {
    wizard_[key].Subscribe([this, key](gui::ControlModel& model, gui::Change change, int) {
      if (change == gui::Change::Focus && !model.focused()) FieldLeft(key);
    });
  }
  for (const Dependency& dependency : kDependencies) {
    Depend(dependency.governing, {dependency.dependents.begin(), dependency.dependents.end()});
  }
}

void FieldChecks::Depend(const std::string& governing, std::vector<std::string> dependents) {
  wizard_[governing].Subscribe(
      [this, dependents = std::move(dependents)](gui::ControlModel& model, gui::Change change, int) {
        if (change != gui::Change::Checked) return;
        for (const std::string& dependent : dependents) wizard_[dependent].SetEnabled(model.checked());
        document_.DocumentDirty = true;
      });
}

void FieldChecks::ApplyOptionDependencies() {
  for (const Dependency& dependency : kDependencies) {
    for (const char* dependent : dependency.dependents) {
      wizard_[dependent].SetEnabled(wizard_[dependency.governing].checked());
    }
  }
}

bool FieldChecks::FieldAccepted(const std::string& key) {
  gui::ControlModel& field = wizard_[key];
  const std::string& text = field.text();
  if (key == kPortField && !text.empty() && !IsNumericText(text)) {
    dialogs_.ShowMessageBox(kInvalidPortTitle, kInvalidPortText, MessageIcon::Information,
                            MessageButtons::Ok);
  } else if (key == kSenderField && !text.empty() && text.find('@') == std::string::npos) {
    dialogs_.ShowMessageBox("Invalid Email", InvalidEmailMessage(), MessageIcon::Information,
                            MessageButtons::Ok);
  } else if (const TargetingCheck* check = TargetingCheckOf(key)) {
    document::TargetingSettings alone;
    alone.*check->field = text;
    const auto refusal = TargetingRefusal(alone);
    if (!refusal) return true;
    dialogs_.ShowMessageBox(kInvalidTargetingTitle, refusal->first, MessageIcon::Information,
                            MessageButtons::Ok);
  } else {
    return true;
  }
  field.SetFocus(true);
  return false;
}

bool FieldChecks::MayLeavePage(Page page) {
  for (const std::string& key : CheckedFields()) {
    const gui::ControlModel& field = wizard_[key];
    // A field the administrator cannot reach cannot hold anyone on its page.
    if (field.description().page != static_cast<int>(page) || !field.enabled()) continue;
    checking_ = true;
    const bool accepted = FieldAccepted(key);
    checking_ = false;
    if (!accepted) return false;
  }
  return true;
}

bool FieldChecks::FocusWentToNavigation() const {
  for (const auto& control : wizard_.controls()) {
    if (!control->focused()) continue;
    const std::string& name = control->description().name;
    return name == kPageTree || name == "cmdNext" || name == "cmdBack";
  }
  return false;
}

void FieldChecks::FieldLeft(const std::string& key) {
  // A message box, or the focus put back, must not start the check of the
  // field the focus went to.
  if (checking_) return;
  checking_ = true;
  gui::ControlModel& field = wizard_[key];
  const std::string text = field.text();
  if (key == kPortField || key == kSenderField || TargetingCheckOf(key)) {
    // Left because its page went (a move let through, or the program's own),
    // or for the tree or Next or Back, whose move asks for itself: one
    // message for each attempt, and never one for a field out of reach.
    const bool pageShown = field.description().page == static_cast<int>(navigation_.CurrentPage());
    if (pageShown && !FocusWentToNavigation()) FieldAccepted(key);
  } else if (key == "txtFileOutputPath" || key == "txtNetworkSharePath") {
    const bool output = key == "txtFileOutputPath";
    const bool tested = !text.empty() && (output ? wizard_["chkUseFileOutput"].checked()
                                                 : navigation_.CurrentPage() ==
                                                       Page::DeploymentGeneral);
    if (tested && !hooks_.folderExists(text)) {
      dialogs_.ShowMessageBox(
          kFolderNotFound,
          output ? "The output file folder could not be found. This may cause Quillon to work "
                   "irregularly."
                 : "The network share folder could not be found. You will not be able to deploy "
                   "this INI file until the folder is created.",
          MessageIcon::Exclamation, MessageButtons::Ok);
    }
    if (!text.empty() && text.back() == '\\') field.SetText(text.substr(0, text.size() - 1));
  }
  checking_ = false;
}

bool FieldChecks::ValidateBeforeSave() {
  if (document_.record.UseActiveDirectory) {
    if (wizard_["cboDomainName"].text().empty()) {
      dialogs_.ShowMessageBox("Error Saving",
                              std::string("The Active Directory domain name is a required field. ") +
                                  "Please enter an Active Directory domain name, before saving.",
                              MessageIcon::Critical, MessageButtons::Ok);
      navigation_.ShowPage(Page::ActiveDirectory);
      wizard_["cboDomainName"].SetFocus(true);
      return false;
    }
  } else {
    bool any = wizard_["chkDeleteNonNetworked"].checked();
    for (const char* list : {"lstServerPairs", "lstPrinterPairs", "lstMixedPrintersAndServers",
                             "lstPopulate", "lstManualPrune"}) {
      any = any || !wizard_[list].lines().empty();
    }
    if (!any) {
      dialogs_.ShowMessageBox(
          "Error Saving",
          std::string("At least one of the Manual Configurations or Maintenace methods must have "
                      "data. ") +
              "Please enter at least one set of Manual data before saving.",
          MessageIcon::Critical, MessageButtons::Ok);
      navigation_.ShowPage(Page::Servers);
      wizard_["txtFromServer"].SetFocus(true);
      return false;
    }
  }
  if (wizard_["lstPopulate"].lines().empty()) return true;
  hooks_.refreshDrivers();
  const std::vector<std::string> drivers = wizard_["lstPrinterDrivers"].lines();
  for (const std::string& line : wizard_["lstPopulate"].lines()) {
    const std::vector<std::string> rule = LineParts(line, " >> ");
    if (rule[0] != "." || rule.size() < 2) continue;
    bool holds = false;
    for (const std::string& driverLine : drivers) {
      const std::vector<std::string> parts = LineParts(driverLine, " >> ");
      if (parts[0] != rule[1]) continue;
      holds = parts.size() >= 4 && !parts[1].empty() && !parts[3].empty();
      break;
    }
    if (!holds) {
      dialogs_.ShowMessageBox("Quillon",
                              "When populating a local printer you must provide a driver name\n"
                              "and port name on the drivers step. Please provide the required "
                              "information.",
                              MessageIcon::Critical, MessageButtons::Ok);
      navigation_.ShowPage(Page::Drivers);
      return false;
    }
  }
  return true;
}

bool FieldChecks::CheckBeforeWrite(const document::MigrationDocument& gathered) {
  // The same rules as when the field is left, whichever way the save came.
  const auto refuse = [this](const std::string& title, const std::string& text, Page page,
                             const std::string& field) {
    checking_ = true;  // the focus put back starts no check of its own
    dialogs_.ShowMessageBox(title, text, MessageIcon::Information, MessageButtons::Ok);
    navigation_.ShowPage(page);
    if (!field.empty()) wizard_[field].SetFocus(true);
    checking_ = false;
    return false;
  };
  // With e-mail off the engine reads neither field, and the page's fields
  // cannot be edited: nothing there may hold the save.
  if (gathered.UseSMTP && !gathered.ServerPort.empty() && !IsNumericText(gathered.ServerPort)) {
    return refuse(kInvalidPortTitle, kInvalidPortText, Page::SmtpMail, "txtSMTPServerPort");
  }
  if (gathered.UseSMTP && !gathered.EmailFrom.empty() &&
      gathered.EmailFrom.find('@') == std::string::npos) {
    return refuse("Invalid Email", InvalidEmailMessage(), Page::SmtpMail, "txtSMTPEmailAddress");
  }
  // The engine reads the targeting values only when targeting is used.
  if (gathered.Targeting.UseTargeting) {
    if (const auto refusal = TargetingRefusal(gathered.Targeting)) {
      return refuse(kInvalidTargetingTitle, refusal->first, Page::Targeting, refusal->second);
    }
  }
  for (const document::ListBeyondEngine& list : document::ListsBeyondEngine(gathered)) {
    const ListPage* where = nullptr;
    for (const ListPage& each : kListPages) {
      if (list.section == each.section) where = &each;
    }
    if (!where) continue;
    return refuse("Error Saving",
                  std::string("The list of ") + where->name + " is too long for the Quillon " +
                      "Engine: its key " + list.key + " in [" + list.section + "] would be " +
                      Thousands(list.characters) + " characters (" + Thousands(list.items) +
                      " items), and the engine reads only the first " +
                      Thousands(document::kEngineListCharacters) +
                      ". Please shorten the list before saving.",
                  where->page, "");
  }
  return true;
}

}  // namespace quillon::toolkit
