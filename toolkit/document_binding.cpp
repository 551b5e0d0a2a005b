#include "toolkit/document_binding.h"

#include <array>
#include <functional>

namespace quillon::toolkit {
namespace {

using document::MigrationDocument;
using gui::ControlKind;
using gui::Form;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kTo = " -> ";
constexpr std::string_view kAnd = " >> ";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(from, at)) != std::string_view::npos;
       at = found + from.size()) {
    result.append(text.substr(at, found - at)).append(to);
  }
  result.append(text.substr(at));
  return result;
}

// The line cut at the first `separator`; a line without one is all first part.
std::array<std::string, 2> SplitOnce(std::string_view line, std::string_view separator) {
  const std::size_t at = line.find(separator);
  if (at == std::string_view::npos) return {std::string(line), {}};
  return {std::string(line.substr(0, at)), std::string(line.substr(at + separator.size()))};
}

// A line cut at every `separator` into exactly N fields; missing ones are
// empty, and the last field keeps any further separators.
template <std::size_t N>
std::array<std::string, N> Fields(std::string_view line, std::string_view separator) {
  std::array<std::string, N> fields;
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t at = i + 1 < N ? line.find(separator) : std::string_view::npos;
    fields[i] = std::string(line.substr(0, at));
    if (at == std::string_view::npos) break;
    line.remove_prefix(at + separator.size());
  }
  return fields;
}

// Lists whose single element is the reader's empty list show nothing; the
// others skip elements without their first field.
template <typename Item, typename First>
std::vector<std::string> ShortListLines(const std::vector<Item>& items, First first,
                                        std::function<std::string(const Item&)> line) {
  std::vector<std::string> lines;
  if (items.size() == 1) return lines;
  for (const Item& item : items) {
    if (!first(item).empty()) lines.push_back(line(item));
  }
  return lines;
}

// Rebuilt from the lines: one empty element first, then one per line; the
// writer decides per list whether the empty one is stored.
template <typename Item>
std::vector<Item> FromLines(const std::vector<std::string>& lines,
                            Item (*ofLine)(std::string_view)) {
  std::vector<Item> items(1);
  for (const std::string& line : lines) items.push_back(ofLine(line));
  return items;
}

void SetOption(Form& form, const std::string& name, int chosen, int count) {
  for (int i = 0; i < count; ++i) {
    form[name + "(" + std::to_string(i) + ")"].SetChecked(i == chosen);
  }
}

int ChosenOption(Form& form, const std::string& name, int count) {
  for (int i = 0; i + 1 < count; ++i) {
    if (form[name + "(" + std::to_string(i) + ")"].checked()) return i;
  }
  return count - 1;
}

struct CheckField {
  const char* control;
  bool MigrationDocument::*field;
};
// The check boxes bound to one field each, in the order they are set.
constexpr CheckField kChecksBeforeLists[] = {
    {"chkAlwaysRun", &MigrationDocument::AlwaysRun},
    {"chkShowProgress", &MigrationDocument::ShowProgress},
};
constexpr CheckField kNotificationChecks[] = {
    {"chkUseSMTP", &MigrationDocument::UseSMTP},
};
constexpr CheckField kFileOutputChecks[] = {
    {"chkUseFileOutput", &MigrationDocument::UseFileOutput},
};

struct TextField {
  const char* control;
  std::string MigrationDocument::*field;
};
constexpr TextField kSmtpTexts[] = {
    {"txtSMTPServerName", &MigrationDocument::SMTPServerNameOrIP},
    {"txtSMTPServerPort", &MigrationDocument::ServerPort},
    {"txtEmailSubject", &MigrationDocument::EmailSubject},
};

struct TargetingField {
  const char* control;
  std::string document::TargetingSettings::*field;
};
// Kept as written: the engine reads the text, and a save changes only what was edited.
constexpr TargetingField kTargetingTexts[] = {
    {"txtComputerNames", &document::TargetingSettings::ComputerNames},
    {"txtExcludeComputerNames", &document::TargetingSettings::ExcludeComputerNames},
    {"txtUserGroups", &document::TargetingSettings::UserGroups},
    {"txtComputerGroups", &document::TargetingSettings::ComputerGroups},
    {"txtSites", &document::TargetingSettings::Sites},
    {"txtSubnets", &document::TargetingSettings::Subnets},
    {"txtRolloutPercent", &document::TargetingSettings::RolloutPercent},
    {"txtNotBefore", &document::TargetingSettings::NotBefore},
};

constexpr const char* kEditBoxes[] = {
    "txtFromServer",        "txtToServer",        "txtSendEmailTo",       "txtFromPrinter",
    "txtToPrinter",         "txtMixedFromPrinter", "txtMixedFromServer",  "txtMixedToPrinter",
    "txtMixedToServer",     "txtPruneServerName", "txtPrunePrinterName", "txtPopulateServerName",
    "txtPopulatePrinterName"};

// Edits that mark the document changed: text changes, and clicks (a check
// box's tick, an option's choice, a combo's chosen line).
constexpr const char* kChangedByText[] = {
    "cboDomainName",       "txtEmailSubject",       "txtFailureMessage",
    "txtFileOutputName",   "txtFileOutputPath",     "txtFromPrinter",
    "txtToPrinter",        "txtMixedFromPrinter",   "txtMixedFromServer",
    "txtMixedToPrinter",   "txtMixedToServer",      "txtNetworkSharePath",
    "txtPopulatePrinterName", "txtPopulateServerName", "txtSMTPEmailAddress",
    "txtSMTPServerName",   "txtSMTPServerPort",     "txtSucessMessage",
    // typed or browsed, it is saved like any other field
    "txtDriverSharePath",
    "txtComputerNames",    "txtExcludeComputerNames", "txtUserGroups",
    "txtComputerGroups",   "txtSites",              "txtSubnets",
    "txtRolloutPercent",   "txtNotBefore"};
constexpr const char* kChangedByClick[] = {
    "cboDomainName",   "cboForceDefault",        "chkADPruneAll",          "chkAlwaysRun",
    "chkBatchFile",    "chkCreateHTML",          "chkDebugOn",             "chkDeleteNonNetworked",
    "chkIncludeComputerName", "chkIncludeFinalStatus", "chkShowProgress", "chkWriteToEventLog",
    // the check boxes and options that other controls depend on
    "chkUseSMTP",      "chkUseFileOutput",       "chkUseNotifyUser",       "chkNotifyMessageOnFailure",
    "chkIncludeMDAC",  "chkUseTargeting"};
constexpr const char* kOptionGroups[] = {"optMDACVersion", "optDefault"};
constexpr const char* kLists[] = {"lstServerPairs", "lstPrinterPairs", "lstMixedPrintersAndServers",
                                  "lstToEmailAddresses", "lstPopulate", "lstManualPrune",
                                  "lstPrinterDrivers"};

constexpr const char* kNoDriverName = "Error in Driver Name";

// The lines each list shows for the record's list.
std::vector<std::string> ServerLines(const MigrationDocument& record) {
  return ShortListLines<document::ServerPair>(
      record.ServerPairs, [](const auto& p) { return p.FromServer; },
      [](const auto& p) { return ListLine(p); });
}
std::vector<std::string> PrinterLines(const MigrationDocument& record) {
  return ShortListLines<document::PrinterPair>(
      record.PrinterPairs, [](const auto& p) { return p.FromPrinter; },
      [](const auto& p) { return ListLine(p); });
}
std::vector<std::string> MixedLines(const MigrationDocument& record) {
  return ShortListLines<document::MixedPair>(
      record.MixedPairs, [](const auto& p) { return p.FromServer; },
      [](const auto& p) { return ListLine(p); });
}
std::vector<std::string> EmailLines(const MigrationDocument& record) {
  return ShortListLines<std::string>(
      record.EmailTo, [](const std::string& a) { return a; },
      [](const std::string& a) { return a; });
}
std::vector<std::string> PopulateLines(const MigrationDocument& record) {
  return ShortListLines<document::PopulateRule>(
      record.PopulateRules, [](const auto& r) { return r.ServerName; },
      [](const auto& r) { return ListLine(r); });
}
std::vector<std::string> PruneLines(const MigrationDocument& record) {
  std::vector<std::string> prune;
  for (const document::PruneRule& rule : record.PruneRules) {
    if (!rule.ServerName.empty() && !rule.PrinterName.empty()) prune.push_back(ListLine(rule));
  }
  return prune;
}
// The reader names an empty driver name by a placeholder; shown and saved
// as the text, it would become the printer's driver. A printer with a driver
// file alone is shown too, as the drivers page saves one.
std::vector<std::string> DriverLines(const MigrationDocument& record) {
  std::vector<std::string> drivers;
  for (document::PrinterDriverRule rule : record.PrinterDrivers) {
    if (rule.DriverName == kNoDriverName) rule.DriverName.clear();
    if (!rule.PrinterName.empty() && (!rule.DriverName.empty() || !rule.DriverFileName.empty())) {
      drivers.push_back(ListLine(rule));
    }
  }
  return drivers;
}

// A list the controls show as the record's own keeps its records as they
// are, so that a save changes no list the administrator did not change.
template <typename Item>
void GatherList(Form& form, const char* list, std::vector<Item>& items,
                const std::vector<std::string>& shown, Item (*ofLine)(std::string_view)) {
  if (form[list].lines() == shown) return;
  items = FromLines(form[list].lines(), ofLine);
}

}  // namespace

std::vector<std::string> LineParts(std::string_view line, std::string_view separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = line.find(separator, start);
    parts.emplace_back(line.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + separator.size();
  }
}

std::string EscapeMessage(std::string_view text) {
  return ReplaceAll(text, kCrLf, kEscapedLineBreak);
}

std::string UnescapeMessage(std::string_view text) {
  return ReplaceAll(text, kEscapedLineBreak, kCrLf);
}

std::string ListLine(const document::ServerPair& pair) {
  return pair.FromServer + std::string(kTo) + pair.ToServer;
}
std::string ListLine(const document::PrinterPair& pair) {
  return pair.FromPrinter + std::string(kTo) + pair.ToPrinter;
}
std::string ListLine(const document::MixedPair& pair) {
  return pair.FromServer + std::string(kAnd) + pair.FromPrinter + std::string(kTo) +
         pair.ToServer + std::string(kAnd) + pair.ToPrinter;
}
std::string ListLine(const document::PopulateRule& rule) {
  return rule.ServerName + std::string(kAnd) + rule.PrinterName;
}
std::string ListLine(const document::PruneRule& rule) {
  return rule.ServerName + std::string(kAnd) + rule.PrinterName;
}
std::string ListLine(const document::PrinterDriverRule& rule) {
  return rule.PrinterName + std::string(kAnd) + rule.DriverName + std::string(kAnd) +
         rule.DriverFileName + std::string(kAnd) + rule.PortName;
}

document::ServerPair ServerPairOfLine(std::string_view line) {
  auto [from, to] = SplitOnce(line, kTo);
  return {std::move(from), std::move(to)};
}
document::PrinterPair PrinterPairOfLine(std::string_view line) {
  auto [from, to] = SplitOnce(line, kTo);
  return {std::move(from), std::move(to)};
}
document::MixedPair MixedPairOfLine(std::string_view line) {
  const auto [from, to] = SplitOnce(line, kTo);
  auto [fromServer, fromPrinter] = Fields<2>(from, kAnd);
  auto [toServer, toPrinter] = Fields<2>(to, kAnd);
  return {std::move(fromServer), std::move(fromPrinter), std::move(toPrinter), std::move(toServer)};
}
document::PopulateRule PopulateRuleOfLine(std::string_view line) {
  auto [server, printer] = Fields<2>(line, kAnd);
  return {std::move(server), std::move(printer)};
}
document::PruneRule PruneRuleOfLine(std::string_view line) {
  auto [server, printer] = Fields<2>(line, kAnd);
  return {std::move(server), std::move(printer)};
}
document::PrinterDriverRule PrinterDriverOfLine(std::string_view line) {
  auto [printer, driver, file, port] = Fields<4>(line, kAnd);
  return {std::move(printer), std::move(driver), std::move(file), std::move(port)};
}

MigrationDocument NewDocumentRecord() {
  MigrationDocument record;  // every text empty, every other boolean false, one empty element a list
  record.ShowProgress = true;
  record.ServerPort = "25";
  record.DebugOn = true;
  return record;
}

void ClearEditBoxes(Form& form) {
  for (const char* box : kEditBoxes) form[box].SetText("");
  for (const char* combo : {"cboADPrune", "cboAdPopulate", "cboTargetingGroups"}) {
    form[combo].SetLines({});
    form[combo].SetText("");
  }
}

void FillFormFromDocument(Form& form, const MigrationDocument& record) {
  ClearEditBoxes(form);
  for (const CheckField& check : kChecksBeforeLists) form[check.control].SetChecked(record.*check.field);
  form["cboDomainName"].SetText(record.DomainName);

  form["lstServerPairs"].SetLines(ServerLines(record));
  form["lstPrinterPairs"].SetLines(PrinterLines(record));
  form["lstMixedPrintersAndServers"].SetLines(MixedLines(record));

  for (const CheckField& check : kNotificationChecks) form[check.control].SetChecked(record.*check.field);
  for (const TextField& text : kSmtpTexts) form[text.control].SetText(record.*text.field);
  form["lstToEmailAddresses"].SetLines(EmailLines(record));
  form["txtSMTPEmailAddress"].SetText(record.EmailFrom);

  for (const CheckField& check : kFileOutputChecks) form[check.control].SetChecked(record.*check.field);
  form["txtFileOutputPath"].SetText(record.FileOutputPath);
  form["txtFileOutputName"].SetText(record.FileOutputName);
  form["chkIncludeComputerName"].SetChecked(record.IncludeComputerName);
  form["chkIncludeFinalStatus"].SetChecked(record.IncludeOutcome);
  form["chkWriteToEventLog"].SetChecked(record.WriteToEventLog);
  // Both pop-up fields share one check box: the second one decides.
  form["chkUseNotifyUser"].SetChecked(record.UseClientPopup);
  form["chkUseNotifyUser"].SetChecked(record.UseSuccessClientPopup);
  form["txtSucessMessage"].SetText(UnescapeMessage(record.SuccessMessage));
  form["chkNotifyMessageOnFailure"].SetChecked(record.UseFailureClientPopup);
  form["txtFailureMessage"].SetText(UnescapeMessage(record.FailureMessage));

  form["txtNetworkSharePath"].SetText(record.DeploymentPath);
  form["chkCreateHTML"].SetChecked(record.CreateWebLaunchPage);
  form["chkBatchFile"].SetChecked(record.CreateBatchFile);
  form["chkIncludeMDAC"].SetChecked(record.IncludeMDAC);
  SetOption(form, "optMDACVersion", record.MDACOption, 3);

  form["lstPopulate"].SetLines(PopulateLines(record));
  form["lstManualPrune"].SetLines(PruneLines(record));
  form["chkADPruneAll"].SetChecked(record.DeleteADOrphans);
  form["chkDeleteNonNetworked"].SetChecked(record.DeleteAllNonNetworked);

  form["lstPrinterDrivers"].SetLines(DriverLines(record));
  form["txtDriverSharePath"].SetText(record.DriverSharePath);

  SetOption(form, "optDefault", record.DefaultType, 3);
  // The box starts from this document alone: a printer chosen for another
  // one would be saved here the moment "force" is chosen.
  gui::ControlModel& force = form["cboForceDefault"];
  if (record.DefaultType == 2) {
    force.SetLines({record.DefaultPrinterName});
    force.SetValue(0);
  } else {
    force.SetLines({});
    force.SetText("");
  }
  form["chkDebugOn"].SetChecked(record.DebugOn);
  form["chkUseTargeting"].SetChecked(record.Targeting.UseTargeting);
  for (const TargetingField& text : kTargetingTexts) {
    form[text.control].SetText(record.Targeting.*text.field);
  }
}

void GatherFormIntoDocument(Form& form, MigrationDocument& record) {
  for (const CheckField& check : kChecksBeforeLists) record.*check.field = form[check.control].checked();
  record.DomainName = form["cboDomainName"].text();
  GatherList(form, "lstServerPairs", record.ServerPairs, ServerLines(record), &ServerPairOfLine);
  GatherList(form, "lstPrinterPairs", record.PrinterPairs, PrinterLines(record),
             &PrinterPairOfLine);
  GatherList(form, "lstMixedPrintersAndServers", record.MixedPairs, MixedLines(record),
             &MixedPairOfLine);

  for (const CheckField& check : kNotificationChecks) record.*check.field = form[check.control].checked();
  for (const TextField& text : kSmtpTexts) record.*text.field = form[text.control].text();
  if (form["lstToEmailAddresses"].lines() != EmailLines(record)) {
    record.EmailTo = {std::string()};
    for (const std::string& line : form["lstToEmailAddresses"].lines()) record.EmailTo.push_back(line);
  }
  record.EmailFrom = form["txtSMTPEmailAddress"].text();

  for (const CheckField& check : kFileOutputChecks) record.*check.field = form[check.control].checked();
  record.FileOutputPath = form["txtFileOutputPath"].text();
  record.FileOutputName = form["txtFileOutputName"].text();
  record.IncludeComputerName = form["chkIncludeComputerName"].checked();
  record.IncludeOutcome = form["chkIncludeFinalStatus"].checked();
  record.WriteToEventLog = form["chkWriteToEventLog"].checked();
  record.UseClientPopup = record.UseSuccessClientPopup = form["chkUseNotifyUser"].checked();
  record.SuccessMessage = EscapeMessage(form["txtSucessMessage"].text());
  record.UseFailureClientPopup = form["chkNotifyMessageOnFailure"].checked();
  record.FailureMessage = EscapeMessage(form["txtFailureMessage"].text());

  record.DeploymentPath = form["txtNetworkSharePath"].text();
  record.CreateWebLaunchPage = form["chkCreateHTML"].checked();
  record.CreateBatchFile = form["chkBatchFile"].checked();
  record.IncludeMDAC = form["chkIncludeMDAC"].checked();
  record.MDACOption = static_cast<std::int16_t>(ChosenOption(form, "optMDACVersion", 3));

  GatherList(form, "lstPopulate", record.PopulateRules, PopulateLines(record), &PopulateRuleOfLine);
  GatherList(form, "lstManualPrune", record.PruneRules, PruneLines(record), &PruneRuleOfLine);
  record.DeleteADOrphans = form["chkADPruneAll"].checked();
  record.DeleteAllNonNetworked = form["chkDeleteNonNetworked"].checked();
  // The writer keeps an empty first driver record as empty items, which the
  // reader turns into "Error in Printer Name" and "Error in Driver Name": a
  // line that would appear after every save and grow by one each time. So
  // drivers are gathered without the empty first record unless it is all.
  // A line that names a printer alone (the drivers page lists every target
  // printer) holds no driver to save.
  if (form["lstPrinterDrivers"].lines() != DriverLines(record)) {
    std::vector<std::string> detailed;
    for (const std::string& line : form["lstPrinterDrivers"].lines()) {
      const document::PrinterDriverRule rule = PrinterDriverOfLine(line);
      if (!rule.DriverName.empty() || !rule.DriverFileName.empty()) detailed.push_back(line);
    }
    if (detailed != DriverLines(record)) {
      record.PrinterDrivers = FromLines(detailed, &PrinterDriverOfLine);
      if (record.PrinterDrivers.size() > 1) {
        record.PrinterDrivers.erase(record.PrinterDrivers.begin());
      }
    }
  }
  record.DriverSharePath = form["txtDriverSharePath"].text();

  record.DefaultType = static_cast<std::int16_t>(ChosenOption(form, "optDefault", 3));
  record.DefaultPrinterName = record.DefaultType == 2 ? form["cboForceDefault"].text() : "";
  record.DebugOn = form["chkDebugOn"].checked();
  record.Targeting.UseTargeting = form["chkUseTargeting"].checked();
  for (const TargetingField& text : kTargetingTexts) {
    record.Targeting.*text.field = form[text.control].text();
  }
}

void ResetDocument(Form& form, WizardDocument& document) {
  document.record = NewDocumentRecord();
  document.DocumentPath.clear();
  document.DocumentFileName = kUntitled;
  FillFormFromDocument(form, document.record);
  document.DocumentDirty = false;
}

void WatchForChanges(Form& form, WizardDocument& document) {
  const auto mark = [&document](gui::ControlModel&, gui::Change, int) {
    document.DocumentDirty = true;
  };
  const auto on = [&form](const std::string& key, gui::Change wanted,
                          std::function<void(gui::ControlModel&, gui::Change, int)> handler) {
    form[key].Subscribe([wanted, handler](gui::ControlModel& model, gui::Change change, int row) {
      if (change == wanted) handler(model, change, row);
    });
  };
  for (const char* name : kChangedByText) on(name, gui::Change::Text, mark);
  // A combo's click is a chosen line, which becomes its text.
  for (const char* name : kChangedByClick) {
    const bool combo = gui::IsCombo(form[name].description().kind);
    on(name, combo ? gui::Change::Text : gui::Change::Checked, mark);
  }
  for (const char* group : kOptionGroups) {
    for (int i = 0; i < 3; ++i) on(std::string(group) + "(" + std::to_string(i) + ")", gui::Change::Checked, mark);
  }
  for (const char* list : kLists) on(list, gui::Change::Lines, mark);
}

std::vector<gui::ControlDescription> BoundControls() {
  std::vector<gui::ControlDescription> controls;
  const auto add = [&controls](ControlKind kind, const std::string& name) {
    controls.push_back(gui::Control(kind, name, "", {}));
  };
  for (const char* name :
       {"chkAlwaysRun", "chkShowProgress", "chkUseSMTP", "chkUseFileOutput", "chkIncludeComputerName",
        "chkIncludeFinalStatus", "chkWriteToEventLog", "chkUseNotifyUser", "chkNotifyMessageOnFailure",
        "chkCreateHTML", "chkBatchFile", "chkIncludeMDAC", "chkADPruneAll", "chkDeleteNonNetworked",
        "chkDebugOn", "chkUseTargeting"}) {
    add(ControlKind::CheckBox, name);
  }
  for (const char* name : {"txtSMTPServerName", "txtSMTPServerPort", "txtEmailSubject",
                           "txtSMTPEmailAddress", "txtFileOutputPath", "txtFileOutputName",
                           "txtNetworkSharePath", "txtDriverSharePath"}) {
    add(ControlKind::TextBox, name);
  }
  for (const TargetingField& text : kTargetingTexts) add(ControlKind::TextBox, text.control);
  for (const char* name : kEditBoxes) add(ControlKind::TextBox, name);
  add(ControlKind::MultiLineText, "txtSucessMessage");
  add(ControlKind::MultiLineText, "txtFailureMessage");
  for (const char* name : kLists) add(ControlKind::ListBox, name);
  for (const char* name :
       {"cboDomainName", "cboForceDefault", "cboADPrune", "cboAdPopulate", "cboTargetingGroups"}) {
    add(ControlKind::ComboBox, name);
  }
  for (const char* group : kOptionGroups) {
    for (int i = 0; i < 3; ++i) {
      controls.push_back(gui::Control(ControlKind::OptionButton, group, "", {}).Member(i));
    }
  }
  return controls;
}

}  // namespace quillon::toolkit
