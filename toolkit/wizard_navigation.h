// The wizard's pages and how the administrator moves between them: the page
// tree, each page's Back and Next buttons and the View menu, on the control
// models. Which pages exist and their order follow the document's migration
// method, Active Directory or manual definitions.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "toolkit/document_binding.h"

namespace quillon::toolkit {

// The pages in the order of the tab control's pages: a page's value is its
// index in `sstWizard` and in the cmdBack/cmdNext/cmdHelp arrays.
enum class Page {
  General,
  ActiveDirectory,
  ManualConfiguration,
  Servers,
  Printers,
  Mixed,
  Notification,
  SmtpMail,
  FileOutput,
  ClientPopUp,
  ApplicationEventLog,
  DeploymentIntroduction,
  DeploymentGeneral,
  Mdac,
  Maintenance,
  Populate,
  Prune,
  SetDefault,
  Drivers,
  Support,
  // Last in number, so the pages before it keep theirs; shown under General.
  Targeting,
};
inline constexpr int kPageCount = 21;

enum class Variant { ActiveDirectory, Manual };

inline constexpr const char* kPageTabs = "sstWizard";
inline constexpr const char* kPageTree = "tvwWizardOptions";
inline constexpr const char* kViewMenu = "ID_MNU_VIEW";
// The command of the key that opens the help of the page shown.
inline constexpr const char* kPageHelpCommand = "ID_KEY_PAGE_HELP";

// Where each page's Back and Next lead; nullopt: the button does nothing
// (Back on General, Next on Support, a page the variant lacks).
std::optional<Page> NextPage(Page page, Variant variant);
std::optional<Page> BackPage(Page page, Variant variant);
// The key of the tree node that stands for a page; empty when the variant
// has no such page.
std::string NodeKeyOf(Page page, Variant variant);
int HelpContext(Page page, Variant variant);
bool PageExists(Page page, Variant variant);
// A page's title label, as the variant shows it.
std::string PageTitle(Page page, Variant variant);

// The tree, buttons, page titles, tab control and the View menu's commands:
// what the wizard's description must hold for navigation, beside the
// binding's controls (the domain box among them).
std::vector<gui::ControlDescription> NavigationControls();
gui::MenuDescription ViewMenu();

class WizardNavigation {
 public:
  // The page refreshes belong to the rule editors; the directory query and
  // help to their own parts of the wizard.
  struct Hooks {
    std::function<void()> refreshPopulate, refreshPrune, refreshSetDefault, refreshDrivers;
    // Re-reads the directory's printers into the Populate or Prune page's combo.
    std::function<void(Page)> requeryDirectoryPrinters;
    std::function<void(int context)> showHelp;
    // Whether the administrator may leave the page shown; a refusal has said
    // why and put the focus on the field to mend.
    std::function<bool(Page)> mayLeave;
  };

  WizardNavigation(gui::Form& wizard, gui::Dialogs& dialogs, const WizardDocument& document,
                   Hooks hooks);

  // Rebuilds the tree, tool availability and the variant's labels for the
  // document's method, and shows General. Run whenever the method may have
  // changed (load, New, Open).
  void InitializeTreeView();

  Variant variant() const { return variant_; }
  Page CurrentPage() const;
  // Shows a page; `selectNode` also highlights its tree node. Entering a
  // page with a refresh runs it.
  void ShowPage(Page page, bool selectNode = true);
  bool ToolAvailable(const std::string& toolId) const;
  // Asks before the administrator's move away from the page shown (the tree,
  // View, Next, Back, New, Open): false, with the tree showing that page
  // again, when it must stay.
  bool LeaveCurrentPage();

  // Set by any change of the domain box; each cleared when its page's
  // refresh has asked.
  bool PopulateADRefreshPending = false;
  bool PruneADRefreshPending = false;
  void ClearADRefreshFlags() { PopulateADRefreshPending = PruneADRefreshPending = false; }

 private:
  void NodeChosen(const std::string& key);
  void ViewCommand(const std::string& toolId);
  // The first control of the page that takes the focus.
  void FocusFirstField(Page page);
  void Refresh(Page page);
  void AskDirectoryRefresh(Page page, bool& pending);

  gui::Form& wizard_;
  gui::Dialogs& dialogs_;
  const WizardDocument& document_;
  Hooks hooks_;
  Variant variant_ = Variant::ActiveDirectory;
};

}  // namespace quillon::toolkit
