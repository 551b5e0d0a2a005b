// The wizard's directory pickers: the print queues that a domain's directory
// publishes, read into a combo box as "SERVER >> printer" lines while a
// progress bar shows that the wizard is working. Failures are told in a
// message box and leave the picker empty; nothing is raised.
#pragma once

#include <cstdint>
#include <string>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/directory.h"

namespace quillon::toolkit {

inline constexpr const char* kDirectoryErrorTitle = "Active Directory Error";
inline constexpr const char* kDirectoryAccessError =
    "Error accessing Active Directory. Please check your domain name and network connection.";
inline constexpr const char* kDirectoryQueryError =
    "Error querying Active Directory. Please check your domain name and network connection.";
// The bar runs from 1 to this and starts again at 1.
inline constexpr int kPickerBarMaximum = 50;

// A picker line for a queue's directory name: the server before its first "-",
// " >> ", the printer after it ("PRT-SRV-HP4" gives "PRT >> SRV-HP4"). A name
// without "-" names no server, as the engine reads it: " >> LASER".
std::string DirectoryPickerEntry(const std::string& queueName);

class DirectoryPicker {
 public:
  // `form` is the window the picker and bar lie on; its events are processed
  // as the bar moves, so the window repaints and answers during the fill.
  DirectoryPicker(platform::Directory& directory, gui::Dialogs& dialogs, const gui::Form& form)
      : directory_(directory), dialogs_(dialogs), form_(form) {}

  // Fills `picker` (its lines, and its text emptied) with the print queues of
  // the directory "LDAP://" + `domain`, in the directory's order, after a box
  // that tells how many there are. `bar` is shown meanwhile and hidden at the
  // end, at its maximum. A failed bind or query shows the "Active Directory
  // Error" box and leaves the picker empty. A call made while a fill is
  // under way (a click that the event processing let through) does nothing.
  void LoadDirectoryPrinterList(gui::ControlModel& picker, gui::ControlModel& bar,
                                const std::string& domain);

  // The same for the groups of the directory, by name in letter order, and
  // without the box that counts them.
  void LoadDirectoryGroupList(gui::ControlModel& picker, gui::ControlModel& bar,
                              const std::string& domain);

  bool busy() const { return busy_; }

 private:
  enum class Listing { Printers, Groups };
  void Load(Listing listing, gui::ControlModel& picker, gui::ControlModel& bar,
            const std::string& domain);
  void Advance(gui::ControlModel& bar);
  void ShowError(const char* what, std::int64_t number, const std::string& description);

  platform::Directory& directory_;
  gui::Dialogs& dialogs_;
  const gui::Form& form_;
  bool busy_ = false;
};

}  // namespace quillon::toolkit
