// The wizard's list editors: server, printer and mixed pairs, populate and
// prune rules with their types and the directory pickers, e-mail recipients,
// printer drivers and the forced default printer; and the refreshes of the
// pages that derive their content from other pages. The list box lines are
// the working copy (the binding's line format); the document takes them when
// it is gathered. Logic on the wizard's control models and the dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "toolkit/document_binding.h"
#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit {

// The example inside the invalid e-mail address messages.
inline constexpr const char* kExampleAddress = "helpdesk@example.com";
std::string InvalidEmailMessage();
// Why a typed value cannot stand in the document, named by its box's label;
// empty when it can. A comma would split it into two list items, a trailing
// backslash is cut by the engine's reader, and a server is named alone.
std::string UnusableValue(const std::string& box, const std::string& value);

class RuleEditors {
 public:
  struct Hooks {
    // Which pages the document has: the directory controls work in the
    // directory variant only.
    std::function<Variant()> variant;
    // Fills a directory picker with the domain's printers, advancing its bar.
    std::function<void(gui::ControlModel& picker, gui::ControlModel& bar)> loadDirectoryPrinters;
    // The same with the domain's groups, for the targeting page.
    std::function<void(gui::ControlModel& picker, gui::ControlModel& bar)> loadDirectoryGroups;
  };

  RuleEditors(gui::Form& wizard, gui::Dialogs& dialogs, WizardDocument& document, Hooks hooks);

  // The page refreshes, run on entering their pages.
  void RefreshPopulatePage();
  void RefreshPrunePage();
  void RefreshSetDefaultPage();
  void RefreshDriversPage();
  // Re-reads the directory's printers into a page's picker (the "Refresh
  // Printers" question answered Yes, the page's Refresh button).
  void RefreshDirectoryPicker(Page page);
  // The targeting page's group picker: Refresh, and the picked group added
  // to the user or computer groups (once, whatever its letter case).
  void RefreshTargetingGroups();
  void AddPickedGroup(const std::string& box);

  bool IsPrinterAndServerInForceListAlready(const std::string& text) const;
  bool IsInPrinterDriversListAlready(const std::string& text) const;

  // Save appends while set; a clicked or appended line clears it, and Save
  // then replaces the selected line. Not reset by New or Open.
  struct NewEntryFlags {
    bool servers = true, printers = true, mixed = true, populate = true, prune = true;
  };
  const NewEntryFlags& IsNewEntry() const { return isNewEntry_; }

 private:
  // One pair or rule editor: its list, its boxes in line order, its buttons,
  // how a line is made and read, and what it says.
  struct PairEditor {
    std::string list;
    std::vector<std::string> boxes;
    std::string newButton, saveButton, deleteButton;
    std::string saveError, saveErrorTitle;
    gui::MessageIcon saveErrorIcon;
    std::string deleteQuestion;
    bool fourBoxes;  // the mixed pairs: " >> " inside each side of " -> "
    bool rule;       // populate and prune: " >> " between server and printer
    bool NewEntryFlags::*isNewEntry;
    // The populate and prune editors' additions to New and to a line click.
    std::function<void()> afterNew;
    std::function<void(const std::vector<std::string>&)> beforeLine, afterLine;
  };
  void Wire(const PairEditor& editor);
  void Save(const PairEditor& editor);
  void Delete(const PairEditor& editor);
  void LineClicked(const PairEditor& editor);
  std::string Join(const PairEditor& editor) const;
  static std::vector<std::string> Split(const PairEditor& editor, const std::string& line);

  void PopulateTypeChanged();
  void PruneTypeChanged();
  void SelectDirectoryPrinter(Page page);
  void AddRecipient();
  void RemoveRecipient();
  void DriverLineClicked();
  void SaveDriver();

  // Lines changed by an editor: the list, then its selection, and the
  // document marked changed.
  void SetLines(const std::string& list, std::vector<std::string> lines, int selected);

  gui::Form& wizard_;
  gui::Dialogs& dialogs_;
  WizardDocument& document_;
  Hooks hooks_;
  NewEntryFlags isNewEntry_;
  std::vector<PairEditor> editors_;
};

}  // namespace quillon::toolkit
