#include "toolkit/rule_editors.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>
#include <vector>


namespace quillon::toolkit {
namespace {

using gui::MessageAnswer;
using gui::MessageButtons;
using gui::MessageIcon;

constexpr const char* kTo = " -> ";
constexpr const char* kAnd = " >> ";
constexpr const char* kLocal = ".";
constexpr const char* kDeleteTitle = "Delete?";

// The types of the two rule editors, in list order.
enum PopulateType { kLocalPopulate, kNetworkedPopulate };
enum PruneType { kLocalOnly, kNetworkedOnly, kLocalAndNetworked, kServerOnly, kPrinterAndServer };

std::string Part(const std::vector<std::string>& parts, std::size_t index) {
  return index < parts.size() ? parts[index] : std::string();
}

// The line of `lines` chosen in a list, when there is one.
const std::string* Selected(const gui::ControlModel& list) {
  const int line = list.value();
  if (line < 0 || line >= static_cast<int>(list.lines().size())) return nullptr;
  return &list.lines()[static_cast<std::size_t>(line)];
}

// What the administrator calls each editing box in a message.
const std::map<std::string, std::string> kBoxNames{
    {"txtFromServer", "From Server"},        {"txtToServer", "To Server"},
    {"txtFromPrinter", "From Printer"},      {"txtToPrinter", "To Printer"},
    {"txtMixedFromServer", "From Server"},   {"txtMixedFromPrinter", "From Printer"},
    {"txtMixedToServer", "To Server"},       {"txtMixedToPrinter", "To Printer"},
    {"txtPopulateServerName", "Server Name"}, {"txtPopulatePrinterName", "Printer Name"},
    {"txtPruneServerName", "Server Name"},   {"txtPrunePrinterName", "Printer Name"},
    {"txtSendEmailTo", "Email To"},          {"txtDriverName", "Driver Name"},
    {"txtDriverFileName", "Driver File Name"}, {"txtPortName", "Port Name"}};

// A delete question with the line it would delete under it, so that no one
// deletes the wrong line because another was chosen than they thought.
std::string NamingTheLine(const std::string& question, const std::string& line) {
  return question + "\r\n\r\n" + line;
}

bool IsServerBox(const std::string& box) { return box.find("Server") != std::string::npos; }

}  // namespace

std::string UnusableValueMessage(const std::string& field, const std::string& value) {
  const std::string named = "The " + field + " name \"" + value + "\" ";
  if (value.find(',') != std::string::npos) {
    return named + "holds a comma, which would part it into two names in the document. "
                   "Please enter it without the comma.";
  }
  if (!value.empty() && value.back() == '\\') {
    return named + "ends with a backslash. Please enter it without the backslash.";
  }
  return named + "holds a backslash. Please enter the server's name alone, without \"\\\\\" "
                 "(for example OLDSRV).";
}

std::string UnusableValue(const std::string& box, const std::string& value) {
  const auto name = kBoxNames.find(box);
  const std::string field = name == kBoxNames.end() ? box : name->second;
  const bool usable = value.find(',') == std::string::npos &&
                      (value.empty() || value.back() != '\\') &&
                      !(IsServerBox(box) && value.find('\\') != std::string::npos);
  return usable ? std::string() : UnusableValueMessage(field, value);
}

std::string InvalidEmailMessage() {
  return std::string("Incorrect email address. Please enter a valid email address (i.e. ") +
         kExampleAddress + ")";
}

RuleEditors::RuleEditors(gui::Form& wizard, gui::Dialogs& dialogs, WizardDocument& document,
                         Hooks hooks)
    : wizard_(wizard), dialogs_(dialogs), document_(document), hooks_(std::move(hooks)) {
  if (!hooks_.variant) hooks_.variant = [] { return Variant::ActiveDirectory; };
  if (!hooks_.loadDirectoryPrinters) hooks_.loadDirectoryPrinters = [](auto&, auto&) {};
  if (!hooks_.loadDirectoryGroups) hooks_.loadDirectoryGroups = [](auto&, auto&) {};
  const std::string deleteSelected = "Are you sure that you want to delete the selected ";
  editors_ = {
      {"lstServerPairs",
       {"txtFromServer", "txtToServer"},
       "cmdNewServerPair",
       "cmdSaveServerPair",
       "cmdDeleteServer",
       "Both a From and To Print Server name is required. Please enter both print server names.",
       "Save Error",
       MessageIcon::Critical,
       deleteSelected + "Print Server pair?",
       false,
       false,
       &NewEntryFlags::servers,
       {},
       {},
       {}},
      {"lstPrinterPairs",
       {"txtFromPrinter", "txtToPrinter"},
       "cmdNewPrinter",
       "cmdPrinterSave",
       "cmdDeletePrinter",
       "Both a From and To Printer name is required. Please enter both printer names.",
       "Save Error",
       MessageIcon::Critical,
       deleteSelected + "Printer pair?",
       false,
       false,
       &NewEntryFlags::printers,
       {},
       {},
       {}},
      {"lstMixedPrintersAndServers",
       {"txtMixedFromServer", "txtMixedFromPrinter", "txtMixedToServer", "txtMixedToPrinter"},
       "cmdMixedNew",
       "cmdMixedSave",
       "cmdMixedDelete",
       std::string("Both a From and To Server and Printer name is required. ") +
           "Please enter both server and printer names.",
       "Save Error",
       MessageIcon::Critical,
       deleteSelected + "Server and Printer pair?",
       true,
       false,
       &NewEntryFlags::mixed,
       {},
       {},
       {}},
      {"lstPopulate",
       {"txtPopulateServerName", "txtPopulatePrinterName"},
       "cmdPopulateNew",
       "cmdPopulateSave",
       "cmdPopulateDelete",
       "Please enter either a printer name and a server name. Boht are is required.",
       "Error, Input Required",
       MessageIcon::Exclamation,
       deleteSelected + "Printer and Server pair?",
       false,
       true,
       &NewEntryFlags::populate,
       [this] {
         if (wizard_["cboPopulateType"].value() == kLocalPopulate) {
           wizard_["txtPopulateServerName"].SetText(kLocal);
         }
       },
       // The type first: choosing it rewrites the server box.
       [this](const std::vector<std::string>& parts) {
         wizard_["cboPopulateType"].SetValue(parts[0] == kLocal ? kLocalPopulate
                                                                : kNetworkedPopulate);
       },
       {}},
      {"lstManualPrune",
       {"txtPruneServerName", "txtPrunePrinterName"},
       "cmdPruneNew",
       "cmdPruneSave",
       "cmdPruneDelete",
       "Please enter either a printer name or a server name. Either one is required.",
       "Error, Input Required",
       MessageIcon::Exclamation,
       deleteSelected + "Printer and/or Server pair?",
       false,
       true,
       &NewEntryFlags::prune,
       {},
       {},
       // The type from the parts, first match winning.
       [this](const std::vector<std::string>& parts) {
         PruneType type = kPrinterAndServer;
         if (parts[1] == "*") {
           type = kServerOnly;
         } else if (parts[0] == ".") {
           type = kLocalOnly;
         } else if (parts[0] == "*") {
           type = kNetworkedOnly;
         } else if (parts[0] == ".*") {
           type = kLocalAndNetworked;
         }
         gui::ControlModel& types = wizard_["cboPruneType"];
         // Chosen again, the type's boxes are set again.
         if (types.value() == type) {
           PruneTypeChanged();
         } else {
           types.SetValue(type);
         }
       }},
  };
  for (const PairEditor& editor : editors_) Wire(editor);

  // A type chosen by the user or by the logic alike.
  wizard_["cboPopulateType"].Subscribe([this](gui::ControlModel&, gui::Change change, int) {
    if (change == gui::Change::Value) PopulateTypeChanged();
  });
  wizard_["cboPruneType"].Subscribe([this](gui::ControlModel&, gui::Change change, int) {
    if (change == gui::Change::Value) PruneTypeChanged();
  });
  wizard_.OnClick("cmdAdPopulateRefresh", [this] { RefreshDirectoryPicker(Page::Populate); });
  wizard_.OnClick("cmdAdPruneRefresh", [this] { RefreshDirectoryPicker(Page::Prune); });
  wizard_.OnClick("cmdAdPopulateSelect", [this] { SelectDirectoryPrinter(Page::Populate); });
  wizard_.OnClick("cmdPruneADSelect", [this] { SelectDirectoryPrinter(Page::Prune); });
  wizard_.OnClick("cmdTargetingGroupsRefresh", [this] { RefreshTargetingGroups(); });
  wizard_.OnClick("cmdAddUserGroup", [this] { AddPickedGroup("txtUserGroups"); });
  wizard_.OnClick("cmdAddComputerGroup", [this] { AddPickedGroup("txtComputerGroups"); });
  wizard_.OnClick("cmdAddSendEmail", [this] { AddRecipient(); });
  wizard_.OnClick("cmdRemoveSendEmail", [this] { RemoveRecipient(); });
  wizard_.OnClick("lstPrinterDrivers", [this] { DriverLineClicked(); });
  wizard_.OnClick("cmdSavePrinterDriver", [this] { SaveDriver(); });
}

void RuleEditors::Wire(const PairEditor& editor) {
  wizard_.OnClick(editor.newButton, [this, &editor] {
    isNewEntry_.*editor.isNewEntry = true;
    for (const std::string& box : editor.boxes) wizard_[box].SetText("");
    if (editor.afterNew) editor.afterNew();
  });
  wizard_.OnClick(editor.saveButton, [this, &editor] { Save(editor); });
  wizard_.OnClick(editor.deleteButton, [this, &editor] { Delete(editor); });
  wizard_.OnClick(editor.list, [this, &editor] { LineClicked(editor); });
}

std::string RuleEditors::Join(const PairEditor& editor) const {
  std::vector<std::string> texts;
  for (const std::string& box : editor.boxes) texts.push_back(wizard_[box].text());
  if (editor.fourBoxes) return texts[0] + kAnd + texts[1] + kTo + texts[2] + kAnd + texts[3];
  return texts[0] + (editor.rule ? kAnd : kTo) + texts[1];
}

std::vector<std::string> RuleEditors::Split(const PairEditor& editor, const std::string& line) {
  if (editor.fourBoxes) {
    const std::vector<std::string> sides = LineParts(line, kTo);
    const std::vector<std::string> from = LineParts(Part(sides, 0), kAnd);
    const std::vector<std::string> to = LineParts(Part(sides, 1), kAnd);
    return {Part(from, 0), Part(from, 1), Part(to, 0), Part(to, 1)};
  }
  const std::vector<std::string> parts = LineParts(line, editor.rule ? kAnd : kTo);
  return {Part(parts, 0), Part(parts, 1)};
}

void RuleEditors::LineClicked(const PairEditor& editor) {
  const std::string* line = Selected(wizard_[editor.list]);
  if (!line) return;
  const std::vector<std::string> parts = Split(editor, *line);
  if (editor.beforeLine) editor.beforeLine(parts);
  for (std::size_t i = 0; i < editor.boxes.size(); ++i) wizard_[editor.boxes[i]].SetText(parts[i]);
  if (editor.afterLine) editor.afterLine(parts);
  isNewEntry_.*editor.isNewEntry = false;
}

void RuleEditors::Save(const PairEditor& editor) {
  for (const std::string& box : editor.boxes) {
    if (wizard_[box].text().empty()) {
      dialogs_.ShowMessageBox(editor.saveErrorTitle, editor.saveError, editor.saveErrorIcon,
                              MessageButtons::Ok);
      return;
    }
  }
  for (const std::string& box : editor.boxes) {
    const std::string problem = UnusableValue(box, wizard_[box].text());
    if (!problem.empty()) {
      dialogs_.ShowMessageBox(editor.saveErrorTitle, problem, editor.saveErrorIcon,
                              MessageButtons::Ok);
      wizard_[box].SetFocus(true);
      return;
    }
  }
  const gui::ControlModel& list = wizard_[editor.list];
  std::vector<std::string> lines = list.lines();
  const int selected = list.value();
  const bool replace = !(isNewEntry_.*editor.isNewEntry) && Selected(list);
  // The engine takes the first rule for a name: a second one for the same
  // name (in any letter case) would never be used.
  if (!editor.rule) {
    const std::size_t fromBoxes = editor.fourBoxes ? 2 : 1;
    const std::vector<std::string> typed = Split(editor, Join(editor));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (replace && static_cast<int>(i) == selected) continue;
      const std::vector<std::string> other = Split(editor, lines[i]);
      bool same = true;
      for (std::size_t part = 0; part < fromBoxes; ++part) {
        same = same && EqualsIgnoringCase(other[part], typed[part]);
      }
      if (same) {
        dialogs_.ShowMessageBox(editor.saveErrorTitle,
                                "The list already moves \"" + LineParts(lines[i], kTo)[0] +
                                    "\" (the line \"" + lines[i] +
                                    "\"). Please change that line instead of adding another.",
                                editor.saveErrorIcon, MessageButtons::Ok);
        return;
      }
    }
  }
  if (replace) {
    lines[static_cast<std::size_t>(selected)] = Join(editor);
    SetLines(editor.list, std::move(lines), selected);
  } else {
    // Also in replace mode with no line chosen (another document was loaded
    // meanwhile): the typed entry is appended rather than lost.
    lines.push_back(Join(editor));
    const int last = static_cast<int>(lines.size()) - 1;
    SetLines(editor.list, std::move(lines), last);
  }
  isNewEntry_.*editor.isNewEntry = false;
}

void RuleEditors::Delete(const PairEditor& editor) {
  bool& isNew = isNewEntry_.*editor.isNewEntry;
  if (!isNew) {
    const gui::ControlModel& list = wizard_[editor.list];
    // Nothing chosen, nothing to ask about.
    const std::string* line = Selected(list);
    if (!line) return;
    if (dialogs_.ShowMessageBox(kDeleteTitle, NamingTheLine(editor.deleteQuestion, *line),
                                MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) {
      return;
    }
    std::vector<std::string> lines = list.lines();
    lines.erase(lines.begin() + list.value());
    SetLines(editor.list, std::move(lines), -1);
  }
  for (const std::string& box : editor.boxes) wizard_[box].SetText("");
  isNew = true;
}

void RuleEditors::SetLines(const std::string& list, std::vector<std::string> lines, int selected) {
  gui::ControlModel& model = wizard_[list];
  model.SetLines(std::move(lines));
  model.SetValue(selected);
  document_.DocumentDirty = true;
}

void RuleEditors::PopulateTypeChanged() {
  const bool local = wizard_["cboPopulateType"].value() == kLocalPopulate;
  gui::ControlModel& server = wizard_["txtPopulateServerName"];
  server.SetText(local ? kLocal : "");
  server.SetEnabled(!local);
}

void RuleEditors::PruneTypeChanged() {
  gui::ControlModel& server = wizard_["txtPruneServerName"];
  gui::ControlModel& printer = wizard_["txtPrunePrinterName"];
  switch (wizard_["cboPruneType"].value()) {
    case kLocalOnly:
    case kNetworkedOnly:
    case kLocalAndNetworked: {
      static constexpr const char* kWildcards[] = {".", "*", ".*"};
      server.SetText(kWildcards[wizard_["cboPruneType"].value()]);
      server.SetEnabled(false);
      printer.SetEnabled(true);
      break;
    }
    case kServerOnly:
      printer.SetText("*");
      printer.SetEnabled(false);
      server.SetEnabled(true);
      break;
    case kPrinterAndServer:
      server.SetEnabled(true);
      printer.SetEnabled(true);
      break;
    default:
      break;
  }
}

void RuleEditors::RefreshPopulatePage() {
  const bool ad = hooks_.variant() == Variant::ActiveDirectory;
  for (const char* key : {"cboAdPopulate", "cmdAdPopulateSelect", "cmdAdPopulateRefresh"}) {
    wizard_[key].SetEnabled(ad);
  }
}

void RuleEditors::RefreshPrunePage() {
  const bool ad = hooks_.variant() == Variant::ActiveDirectory;
  for (const char* key : {"cboADPrune", "cmdPruneADSelect", "cmdAdPruneRefresh", "chkADPruneAll"}) {
    wizard_[key].SetEnabled(ad);
  }
}

void RuleEditors::SelectDirectoryPrinter(Page page) {
  const bool populate = page == Page::Populate;
  const gui::ControlModel& picker = wizard_[populate ? "cboAdPopulate" : "cboADPrune"];
  if (picker.text().empty()) {
    dialogs_.ShowMessageBox("Error selecting AD printer",
                            "No Active Directory printer selected. Please choose a printer.",
                            MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  const std::vector<std::string> parts = LineParts(picker.text(), kAnd);
  // The type first: choosing it rewrites the boxes.
  if (populate) {
    wizard_["cboPopulateType"].SetValue(kNetworkedPopulate);
    wizard_["txtPopulateServerName"].SetText(Part(parts, 0));
    wizard_["txtPopulatePrinterName"].SetText(Part(parts, 1));
    isNewEntry_.populate = true;
  } else {
    wizard_["cboPruneType"].SetValue(kPrinterAndServer);
    wizard_["txtPruneServerName"].SetText(Part(parts, 0));
    wizard_["txtPrunePrinterName"].SetText(Part(parts, 1));
    isNewEntry_.prune = true;
  }
}

void RuleEditors::AddRecipient() {
  const std::string address = wizard_["txtSendEmailTo"].text();
  if (address.find('@') == std::string::npos) {
    dialogs_.ShowMessageBox("Invalid Email", InvalidEmailMessage(), MessageIcon::Information,
                            MessageButtons::Ok);
    return;
  }
  if (const std::string problem = UnusableValue("txtSendEmailTo", address); !problem.empty()) {
    dialogs_.ShowMessageBox("Invalid Email", problem, MessageIcon::Information, MessageButtons::Ok);
    return;
  }
  std::vector<std::string> lines = wizard_["lstToEmailAddresses"].lines();
  for (const std::string& line : lines) {
    if (EqualsIgnoringCase(line, address)) {
      dialogs_.ShowMessageBox("Invalid Email",
                              "The address \"" + address + "\" is already in the Email To list.",
                              MessageIcon::Information, MessageButtons::Ok);
      return;
    }
  }
  lines.push_back(address);
  SetLines("lstToEmailAddresses", std::move(lines), -1);
  // Ready for the next recipient; a refused one stays to be mended.
  wizard_["txtSendEmailTo"].SetText("");
}

void RuleEditors::RemoveRecipient() {
  const gui::ControlModel& list = wizard_["lstToEmailAddresses"];
  const std::string* line = Selected(list);
  if (!line) return;
  if (dialogs_.ShowMessageBox(
          kDeleteTitle,
          NamingTheLine("Are you sure that you want to delete the selected Email To Address?",
                        *line),
          MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  std::vector<std::string> lines = list.lines();
  lines.erase(lines.begin() + list.value());
  SetLines("lstToEmailAddresses", std::move(lines), -1);
}

bool RuleEditors::IsPrinterAndServerInForceListAlready(const std::string& text) const {
  const auto& lines = wizard_["cboForceDefault"].lines();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool RuleEditors::IsInPrinterDriversListAlready(const std::string& text) const {
  const auto& lines = wizard_["lstPrinterDrivers"].lines();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

void RuleEditors::RefreshDriversPage() {
  gui::ControlModel& drivers = wizard_["lstPrinterDrivers"];
  const std::vector<std::string> remembered = drivers.lines();
  const bool wasDirty = document_.DocumentDirty;
  std::vector<std::string> targets;
  const auto add = [&](const std::string& printer) {
    if (std::find(targets.begin(), targets.end(), printer) == targets.end()) {
      targets.push_back(printer);
    }
  };
  for (const std::string& line : wizard_["lstMixedPrintersAndServers"].lines()) {
    add(Part(LineParts(Part(LineParts(line, kTo), 1), kAnd), 1));
  }
  for (const std::string& line : wizard_["lstPrinterPairs"].lines()) add(Part(LineParts(line, kTo), 1));
  for (const std::string& line : wizard_["lstPopulate"].lines()) add(Part(LineParts(line, kAnd), 1));
  // A printer still a target keeps its driver details: the remembered line
  // of that printer, the last one winning. The printer's name is compared
  // whole, so "Floor 1" does not take the details of "Floor 1 Colour".
  for (std::string& target : targets) {
    for (const std::string& line : remembered) {
      if (EqualsIgnoringCase(Part(LineParts(line, kAnd), 0), target)) target = line;
    }
  }
  if (targets == remembered) return;
  // The lines that name a printer alone are derived, never saved: the
  // document changes only when a printer's driver details come or go.
  const auto detailed = [](const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
      if (!Part(LineParts(line, kAnd), 1).empty() || !Part(LineParts(line, kAnd), 2).empty()) {
        kept.push_back(line);
      }
    }
    return kept;
  };
  const bool changed = detailed(targets) != detailed(remembered);
  drivers.SetLines(std::move(targets));
  if (!changed) document_.DocumentDirty = wasDirty;
}

void RuleEditors::DriverLineClicked() {
  const std::string* line = Selected(wizard_["lstPrinterDrivers"]);
  if (!line) return;
  const std::vector<std::string> parts = LineParts(*line, kAnd);
  wizard_["txtPrinterNameViewOnly"].SetText(parts[0]);
  wizard_["txtDriverName"].SetText(Part(parts, 1));
  wizard_["txtDriverFileName"].SetText(Part(parts, 2));
  wizard_["txtPortName"].SetText(Part(parts, 3));
}

void RuleEditors::SaveDriver() {
  const gui::ControlModel& list = wizard_["lstPrinterDrivers"];
  const std::string* line = Selected(list);
  if (!line) {
    dialogs_.ShowMessageBox("Error, Quillon", "Please select a printer before saving.",
                            MessageIcon::Exclamation, MessageButtons::Ok);
    return;
  }
  const std::string driver = wizard_["txtDriverName"].text();
  const std::string file = wizard_["txtDriverFileName"].text();
  if (driver.empty() && file.empty()) {
    dialogs_.ShowMessageBox("Error, Input Required",
                            "Please enter a driver name and a driver file name. Both are required.",
                            MessageIcon::Exclamation, MessageButtons::Ok);
    return;
  }
  for (const char* box : {"txtDriverName", "txtDriverFileName", "txtPortName"}) {
    const std::string problem = UnusableValue(box, wizard_[box].text());
    if (!problem.empty()) {
      dialogs_.ShowMessageBox("Error, Input Required", problem, MessageIcon::Exclamation,
                              MessageButtons::Ok);
      return;
    }
  }
  std::vector<std::string> lines = list.lines();
  const int selected = list.value();
  lines[static_cast<std::size_t>(selected)] = Part(LineParts(*line, kAnd), 0) + kAnd + driver + kAnd +
                                              file + kAnd + wizard_["txtPortName"].text();
  SetLines("lstPrinterDrivers", std::move(lines), selected);
}

void RuleEditors::RefreshSetDefaultPage() {
  gui::ControlModel& force = wizard_["cboForceDefault"];
  const std::string remembered = force.text();
  std::vector<std::string> entries;
  const auto add = [&entries](const std::string& printer) {
    if (std::find(entries.begin(), entries.end(), printer) == entries.end()) {
      entries.push_back(printer);
    }
  };
  for (const std::string& line : wizard_["lstMixedPrintersAndServers"].lines()) {
    const std::vector<std::string> to = LineParts(Part(LineParts(line, kTo), 1), kAnd);
    add("\\\\" + Part(to, 0) + "\\" + Part(to, 1));
  }
  for (const std::string& line : wizard_["lstPopulate"].lines()) {
    const std::vector<std::string> parts = LineParts(line, kAnd);
    add(Part(parts, 0) == kLocal ? Part(parts, 1)
                                 : "\\\\" + Part(parts, 0) + "\\" + Part(parts, 1));
  }
  // A new list keeps the box's text: a forced printer that is no migration's
  // target (one the users already have) stays chosen rather than vanishing
  // from the document at its next save.
  if (entries == force.lines()) return;
  const bool wasDirty = document_.DocumentDirty;
  force.SetLines(entries);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (EqualsIgnoringCase(entries[i], remembered)) {
      force.SetValue(static_cast<int>(i));
      break;
    }
  }
  // New choices are no change of the document; another chosen printer is.
  if (force.text() == remembered) document_.DocumentDirty = wasDirty;
}

}  // namespace quillon::toolkit
