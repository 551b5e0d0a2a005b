// The rule editors' Refresh buttons: the directory's printers for the
// populate and prune pickers, and its groups for the targeting page, with the
// picked group added to the user or computer groups.
#include "toolkit/rule_editors.h"

#include "document/targeting_values.h"
#include "platform/ascii_case.h"

namespace quillon::toolkit {

using gui::MessageButtons;
using gui::MessageIcon;

void RuleEditors::RefreshDirectoryPicker(Page page) {
  if (wizard_["cboDomainName"].text().empty()) {
    dialogs_.ShowMessageBox(
        "Error, No Domain Name",
        "No domain name selected. Please select a domain name on the Active Directory step.",
        MessageIcon::Exclamation, MessageButtons::Ok);
    return;
  }
  const bool populate = page == Page::Populate;
  gui::ControlModel& picker = wizard_[populate ? "cboAdPopulate" : "cboADPrune"];
  hooks_.loadDirectoryPrinters(picker, wizard_[populate ? "prbAdPopulateProgress" : "prbADPrune"]);
  if (!picker.lines().empty()) picker.SetValue(0);
}

void RuleEditors::RefreshTargetingGroups() {
  if (wizard_["cboDomainName"].text().empty()) {
    dialogs_.ShowMessageBox(
        "Error, No Domain Name",
        hooks_.variant() == Variant::ActiveDirectory
            ? "No domain name selected. Please select a domain name on the Active Directory step."
            : "The groups are listed from the directory of a document that uses Active "
              "Directory. Please type the group names.",
        MessageIcon::Exclamation, MessageButtons::Ok);
    return;
  }
  gui::ControlModel& picker = wizard_["cboTargetingGroups"];
  hooks_.loadDirectoryGroups(picker, wizard_["prbTargetingGroups"]);
  if (!picker.lines().empty()) picker.SetValue(0);
}

void RuleEditors::AddPickedGroup(const std::string& box) {
  const std::vector<std::string> picked =
      document::SplitTargetingList(wizard_["cboTargetingGroups"].text());
  const std::string group = picked.size() == 1 ? picked.front() : std::string();
  if (picked.size() > 1) {
    // A comma would make two groups of one name.
    dialogs_.ShowMessageBox("Error selecting a group",
                            "A group name with a comma cannot be targeted: the list would read "
                            "it as two groups.",
                            MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  if (group.empty()) {
    dialogs_.ShowMessageBox("Error selecting a group",
                            "No group selected. Please choose or type a group.",
                            MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  gui::ControlModel& field = wizard_[box];
  for (const std::string& listed : document::SplitTargetingList(field.text())) {
    if (EqualsIgnoringCase(listed, group)) return;
  }
  std::string kept = field.text();
  while (!kept.empty() && (kept.back() == ' ' || kept.back() == '\t' || kept.back() == ',')) {
    kept.pop_back();
  }
  field.SetText(kept.empty() ? group : kept + ", " + group);
}

}  // namespace quillon::toolkit
