#include "toolkit/directory_picker.h"

#include <utility>
#include <vector>

#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

// The engine's query, run from the administrator's computer.
std::string PrintQueueCommand(const std::string& adsPath) {
  return "Select name, printShareName FROM '" + adsPath + "' WHERE objectCategory='printQueue'";
}

// Clears the busy flag however the fill ends.
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyGuard() { busy_ = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& busy_;
};

}  // namespace

std::string DirectoryPickerEntry(const std::string& queueName) {
  const std::size_t dash = queueName.find('-');
  if (dash == std::string::npos) return " >> " + queueName;
  return queueName.substr(0, dash) + " >> " + queueName.substr(dash + 1);
}

void DirectoryPicker::Advance(gui::ControlModel& bar) {
  bar.SetValue(bar.value() == kPickerBarMaximum ? 1 : bar.value() + 1);
  form_.ProcessEvents();
}

void DirectoryPicker::ShowError(const char* what, std::int64_t number,
                                const std::string& description) {
  dialogs_.ShowMessageBox(kDirectoryErrorTitle,
                          std::string(what) + "\n\nError Number: " + std::to_string(number) +
                              "\nError Descritpion: " + description,
                          gui::MessageIcon::Critical, gui::MessageButtons::Ok);
}

void DirectoryPicker::LoadDirectoryPrinterList(gui::ControlModel& picker, gui::ControlModel& bar,
                                               const std::string& domain) {
  Load(Listing::Printers, picker, bar, domain);
}

void DirectoryPicker::LoadDirectoryGroupList(gui::ControlModel& picker, gui::ControlModel& bar,
                                             const std::string& domain) {
  Load(Listing::Groups, picker, bar, domain);
}

void DirectoryPicker::Load(Listing listing, gui::ControlModel& picker, gui::ControlModel& bar,
                           const std::string& domain) {
  if (busy_) return;
  BusyGuard guard(busy_);

  bar.SetRange(bar.minimum(), kPickerBarMaximum);
  bar.SetValue(1);
  bar.SetVisible(true);
  picker.SetLines({});
  picker.SetText("");
  Advance(bar);

  const platform::DirectoryBinding binding = directory_.Bind("LDAP://" + domain);
  Advance(bar);
  if (!binding.ok) {
    ShowError(kDirectoryAccessError, binding.errorNumber, binding.errorDescription);
    Advance(bar);
  } else {
    Advance(bar);  // the connection
    const bool printers = listing == Listing::Printers;
    const std::string command = printers ? PrintQueueCommand(binding.adsPath) : "";
    Advance(bar);  // the command
    const platform::DirectoryQuery query = printers
                                               ? directory_.QueryPrintQueues(binding, command)
                                               : directory_.QueryGroups(binding);
    if (!query.ok) {
      ShowError(kDirectoryQueryError, query.errorNumber, query.errorDescription);
      Advance(bar);
    } else {
      if (printers) {
        dialogs_.ShowMessageBox(kProgramTitle, std::to_string(query.rows.size()),
                                gui::MessageIcon::None, gui::MessageButtons::Ok);
      }
      // The lines are handed over once: one change of a long list, not one
      // per line, while the bar still moves for every queue.
      std::vector<std::string> entries;
      entries.reserve(query.rows.size());
      for (const platform::DirectoryRow& row : query.rows) {
        Advance(bar);
        entries.push_back(printers ? DirectoryPickerEntry(row.name) : row.name);
      }
      picker.SetLines(std::move(entries));
    }
  }
  bar.SetValue(kPickerBarMaximum);
  bar.SetVisible(false);
}

}  // namespace quillon::toolkit
