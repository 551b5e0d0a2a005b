#include "toolkit/wizard_navigation.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

namespace quillon::toolkit {
namespace {

using gui::ControlKind;
using enum Page;

struct PageFacts {
  Page page;
  const char* tab;  // the tab control's page caption
  const char* title;
  bool inAD, inManual;
  int helpAD, helpManual;
  const char* nodeAD;
  const char* nodeManual;
};

// In enum order: row i describes Page(i).
constexpr std::array<PageFacts, kPageCount> kPages{{
    {General, "General", "General", true, true, 1013, 1013, "Key1", "Key1"},
    {ActiveDirectory, "Active Directory", "Active Directory", true, false, 1004, 1004, "Key2", ""},
    {ManualConfiguration, "Manual", "Manual Configuration", false, true, 1027, 1027, "", "Key3"},
    {Servers, "Servers", "Manual Configuration - Servers", false, true, 1042, 1042, "", "Key31"},
    {Printers, "Printers", "Manual Configuration - Printers", false, true, 1039, 1039, "", "Key32"},
    {Mixed, "Mixed", "Manual Configuration - Mixed", false, true, 1035, 1035, "", "Key33"},
    {Notification, "Notification", "Notification", true, true, 1038, 1038, "Key4", "Key4"},
    {SmtpMail, "SMTP", "Notification - SMTP Mail", true, true, 1008, 1008, "Key41", "Key41"},
    {FileOutput, "File", "Notification - File Output", true, true, 1012, 1012, "Key42", "Key42"},
    {ClientPopUp, "Pop-Up", "Notification - Client Pop-Up", true, true, 1040, 1040, "Key43",
     "Key43"},
    {ApplicationEventLog, "Event Log", "Notification - Application Event Log", true, true, 1010,
     1010, "Key44", "Key44"},
    {DeploymentIntroduction, "Deployment", "Deployment", true, false, 1006, 1006, "Key6", ""},
    {DeploymentGeneral, "Deployment General", "Deployment - General", true, true, 1019, 1080,
     "Key61", "Key6"},
    {Mdac, "MDAC", "Deployment - MDAC", true, false, 1028, 1028, "Key62", ""},
    {Maintenance, "Maintenance", "Maintenance", true, true, 2090, 2090, "Key8", "Key8"},
    {Populate, "Populate", "Maintenance - Populate", true, true, 2100, 2100, "Key81", "Key81"},
    {Prune, "Prune", "Maintenance - Prune", true, true, 2010, 2010, "Key82", "Key82"},
    {SetDefault, "Set Default", "Set Default", true, true, 2020, 2020, "Key9", "Key9"},
    {Drivers, "Drivers", "Drivers", true, true, 2030, 2030, "Key10", "Key10"},
    {Support, "Support", "Support", true, true, 1045, 1045, "Key7", "Key7"},
    {Targeting, "Targeting", "General - Targeting", true, true, 1014, 1014, "Key11", "Key11"},
}};

const PageFacts& Facts(Page page) {
  const auto& facts = kPages.at(static_cast<std::size_t>(page));
  if (facts.page != page) throw std::logic_error("page table out of order");
  return facts;
}

// Where Back and Next lead, written as the pages' order is designed rather
// than computed from it, so one wrong entry cannot hide in a rule.
struct Step {
  Page page;
  std::optional<Page> nextAD, nextManual, backAD, backManual;
};
constexpr std::nullopt_t kNone = std::nullopt;
const std::array<Step, kPageCount> kSteps{{
    {General, Targeting, Targeting, kNone, kNone},
    {ActiveDirectory, Notification, kNone, Targeting, kNone},
    {ManualConfiguration, kNone, Servers, kNone, Targeting},
    {Servers, kNone, Printers, kNone, ManualConfiguration},
    {Printers, kNone, Mixed, kNone, Servers},
    {Mixed, kNone, Notification, kNone, Printers},
    {Notification, SmtpMail, SmtpMail, ActiveDirectory, Mixed},
    {SmtpMail, FileOutput, FileOutput, Notification, Notification},
    {FileOutput, ClientPopUp, ClientPopUp, SmtpMail, SmtpMail},
    {ClientPopUp, ApplicationEventLog, ApplicationEventLog, FileOutput, FileOutput},
    {ApplicationEventLog, DeploymentIntroduction, DeploymentGeneral, ClientPopUp, ClientPopUp},
    {DeploymentIntroduction, DeploymentGeneral, kNone, ApplicationEventLog, kNone},
    {DeploymentGeneral, Mdac, Maintenance, DeploymentIntroduction, ApplicationEventLog},
    {Mdac, Maintenance, kNone, DeploymentGeneral, kNone},
    {Maintenance, Populate, Populate, Mdac, DeploymentGeneral},
    {Populate, Prune, Prune, Maintenance, Maintenance},
    {Prune, SetDefault, SetDefault, Populate, Populate},
    {SetDefault, Drivers, Drivers, Prune, Prune},
    {Drivers, Support, Support, SetDefault, SetDefault},
    {Support, kNone, kNone, Drivers, Drivers},
    {Targeting, ActiveDirectory, ManualConfiguration, General, General},
}};

const Step& StepOf(Page page) {
  const Step& step = kSteps.at(static_cast<std::size_t>(page));
  if (step.page != page) throw std::logic_error("step table out of order");
  return step;
}

bool IsAD(Variant variant) { return variant == Variant::ActiveDirectory; }

struct TreeLine {
  const char* key;
  const char* parent;
  const char* text;
  bool folder, expanded;
  bool inAD, inManual;
};
constexpr std::array<TreeLine, 21> kTree{{
    {"Key1", "", "General", false, true, true, true},
    {"Key11", "Key1", "Targeting", false, false, true, true},
    {"Key2", "", "Active Directory", false, false, true, false},
    {"Key3", "", "Manual Configuration", true, true, false, true},
    {"Key31", "Key3", "Servers", false, false, false, true},
    {"Key32", "Key3", "Printers", false, false, false, true},
    {"Key33", "Key3", "Mixed", false, false, false, true},
    {"Key4", "", "Notification", true, true, true, true},
    {"Key41", "Key4", "SMTP Mail", false, false, true, true},
    {"Key42", "Key4", "File Output", false, false, true, true},
    {"Key43", "Key4", "Client User Pop-Up", false, false, true, true},
    {"Key44", "Key4", "Application Event Log", false, false, true, true},
    // Deployment has children only where the directory needs the MDAC step.
    {"Key6", "", "Deployment", false, true, true, true},
    {"Key61", "Key6", "General", false, false, true, false},
    {"Key62", "Key6", "MDAC", false, false, true, false},
    {"Key8", "", "Maintenance", false, true, true, true},
    {"Key81", "Key8", "Populate", false, false, true, true},
    {"Key82", "Key8", "Prune", false, false, true, true},
    {"Key9", "", "Set Default", false, false, true, true},
    {"Key10", "", "Drivers", false, false, true, true},
    {"Key7", "", "Support", false, false, true, true},
}};

enum class Availability { Both, ADOnly, ManualOnly };
struct ViewTool {
  const char* id;
  const char* caption;
  Page pageAD, pageManual;
  Availability availability;
  bool separatorAfter;
};
// The four pages with a refresh are shown without moving the tree's highlight.
constexpr std::array<ViewTool, 18> kViewTools{{
    {"ID_BTN_GENERAL", "&General", General, General, Availability::Both, false},
    {"ID_BTN_TARGETING", "Ta&rgeting", Targeting, Targeting, Availability::Both, true},
    {"ID_BTN_AD", "&Active Directory", ActiveDirectory, ActiveDirectory, Availability::ADOnly,
     true},
    {"ID_BTN_SERVER", "Server &To Server", Servers, Servers, Availability::ManualOnly, false},
    {"ID_BTN_PRINTER", "Pr&inter To Printer", Printers, Printers, Availability::ManualOnly, false},
    {"ID_BTN_MIXED", "&Mixed Server And Printer", Mixed, Mixed, Availability::ManualOnly, true},
    {"ID_BTN_EMAIL", "&Email Output", SmtpMail, SmtpMail, Availability::Both, false},
    {"ID_BTN_FILE", "&File Output", FileOutput, FileOutput, Availability::Both, false},
    {"ID_BTN_CLIENT", "Client Pop-&up", ClientPopUp, ClientPopUp, Availability::Both, false},
    {"ID_BTN_APP_EL", "Application Event &Log", ApplicationEventLog, ApplicationEventLog,
     Availability::Both, true},
    {"ID_BTN_DEPLOYMENT", "&Deployment", DeploymentIntroduction, DeploymentGeneral,
     Availability::Both, false},
    {"ID_BTN_DEPLOY_GENERAL", "Deployment Ge&neral", DeploymentGeneral, DeploymentGeneral,
     Availability::ADOnly, false},
    {"ID_BTN_MDAC", "MDA&C", Mdac, Mdac, Availability::ADOnly, true},
    {"ID_BTN_PRUNE", "&Prune", Prune, Prune, Availability::Both, false},
    {"ID_BTN_POPULATE", "P&opulate", Populate, Populate, Availability::Both, true},
    {"ID_BTN_SET_DEFAULT", "&Set Default", SetDefault, SetDefault, Availability::Both, false},
    {"ID_BTN_DRIVERS", "Dri&vers", Drivers, Drivers, Availability::Both, true},
    {"ID_BTN_SUPPORT", "Su&pport", Support, Support, Availability::Both, false},
}};

const ViewTool* FindTool(const std::string& id) {
  for (const ViewTool& tool : kViewTools) {
    if (id == tool.id) return &tool;
  }
  return nullptr;
}

// What the other nodes' texts open.
constexpr std::array<std::pair<const char*, Page>, 18> kNodePages{{
    {"Targeting", Targeting},
    {"Active Directory", ActiveDirectory},
    {"Manual Configuration", ManualConfiguration},
    {"Servers", Servers},
    {"Printers", Printers},
    {"Mixed", Mixed},
    {"Notification", Notification},
    {"SMTP Mail", SmtpMail},
    {"File Output", FileOutput},
    {"Client User Pop-Up", ClientPopUp},
    {"Application Event Log", ApplicationEventLog},
    {"MDAC", Mdac},
    {"Maintenance", Maintenance},
    {"Populate", Populate},
    {"Prune", Prune},
    {"Set Default", SetDefault},
    {"Drivers", Drivers},
    {"Support", Support},
}};

bool HasRefresh(Page page) {
  return page == Populate || page == Prune || page == SetDefault || page == Drivers;
}

std::string Indexed(const char* name, Page page) {
  return std::string(name) + "(" + std::to_string(static_cast<int>(page)) + ")";
}

constexpr const char* kDeploymentNote = "lblDeploymentMDACNote";
constexpr const char* kConfigurationType = "cboConfigurationFileType";
constexpr const char* kDomainBox = "cboDomainName";

}  // namespace

std::optional<Page> NextPage(Page page, Variant variant) {
  const Step& step = StepOf(page);
  return IsAD(variant) ? step.nextAD : step.nextManual;
}

std::optional<Page> BackPage(Page page, Variant variant) {
  const Step& step = StepOf(page);
  return IsAD(variant) ? step.backAD : step.backManual;
}

bool PageExists(Page page, Variant variant) {
  return IsAD(variant) ? Facts(page).inAD : Facts(page).inManual;
}

std::string NodeKeyOf(Page page, Variant variant) {
  return IsAD(variant) ? Facts(page).nodeAD : Facts(page).nodeManual;
}

int HelpContext(Page page, Variant variant) {
  return IsAD(variant) ? Facts(page).helpAD : Facts(page).helpManual;
}

std::string PageTitle(Page page, Variant variant) {
  if (page == DeploymentGeneral && !IsAD(variant)) return "Deployment";
  return Facts(page).title;
}

std::vector<gui::ControlDescription> NavigationControls() {
  std::vector<gui::ControlDescription> controls;
  controls.push_back(gui::Control(ControlKind::TreeView, kPageTree, "", {})
                         .Images({gui::StockImage::Document, gui::StockImage::Folder}));
  std::vector<std::string> tabs;
  for (const PageFacts& facts : kPages) tabs.push_back(facts.tab);
  controls.push_back(gui::Control(ControlKind::TabControl, kPageTabs, "", {}).Columns(tabs));
  for (const PageFacts& facts : kPages) {
    const int page = static_cast<int>(facts.page);
    controls.push_back(gui::Control(ControlKind::Label, "lblTitle", facts.title, {})
                           .Member(page)
                           .OnPage(kPageTabs, page));
    controls.push_back(gui::Control(ControlKind::Button, "cmdBack", "< &Back", {})
                           .Member(page)
                           .OnPage(kPageTabs, page));
    controls.push_back(gui::Control(ControlKind::Button, "cmdNext", "&Next >", {})
                           .Member(page)
                           .OnPage(kPageTabs, page));
    controls.push_back(gui::Control(ControlKind::Button, "cmdHelp", "&Help", {})
                           .Member(page)
                           .OnPage(kPageTabs, page));
  }
  const int general = static_cast<int>(General);
  controls.push_back(gui::Control(ControlKind::Label, "lblConfigurationFileType",
                                  "Configuration File Type: (Read Only)", {})
                         .OnPage(kPageTabs, general));
  controls.push_back(
      gui::Control(ControlKind::ComboList, kConfigurationType, "", {}).OnPage(kPageTabs, general));
  controls.push_back(
      gui::Control(ControlKind::Label, kDeploymentNote,
                   "This document uses Active Directory: please review the MDAC step.", {})
          .OnPage(kPageTabs, static_cast<int>(DeploymentGeneral)));
  return controls;
}

gui::MenuDescription ViewMenu() {
  gui::MenuDescription menu{kViewMenu, "&View", {}};
  for (const ViewTool& tool : kViewTools) {
    menu.items.push_back({tool.id, tool.caption, {}});
    if (tool.separatorAfter) menu.items.push_back({"", "-", {}});
  }
  return menu;
}

WizardNavigation::WizardNavigation(gui::Form& wizard, gui::Dialogs& dialogs,
                                   const WizardDocument& document, Hooks hooks)
    : wizard_(wizard), dialogs_(dialogs), document_(document), hooks_(std::move(hooks)) {
  for (auto* hook : {&hooks_.refreshPopulate, &hooks_.refreshPrune, &hooks_.refreshSetDefault,
                     &hooks_.refreshDrivers}) {
    if (!*hook) *hook = [] {};
  }
  if (!hooks_.requeryDirectoryPrinters) hooks_.requeryDirectoryPrinters = [](Page) {};
  if (!hooks_.showHelp) hooks_.showHelp = [](int) {};
  if (!hooks_.mayLeave) hooks_.mayLeave = [](Page) { return true; };

  // Every click counts, also one on the node already selected: a View
  // command may have switched the page without moving the selection.
  wizard_.OnClick(kPageTree, [this] { NodeChosen(wizard_[kPageTree].text()); });
  // Typing and picking a line both count: the directory lists were read for
  // the domain that was there before.
  wizard_[kDomainBox].Subscribe([this](gui::ControlModel&, gui::Change change, int) {
    if (change == gui::Change::Text || change == gui::Change::Value) {
      PopulateADRefreshPending = PruneADRefreshPending = true;
    }
  });
  wizard_[kConfigurationType].SetLines({"Active Directory", "Manual Configuration"});
  for (const PageFacts& facts : kPages) {
    const Page page = facts.page;
    // A page's buttons stand on that page, so they say which page they leave.
    wizard_.OnClick(Indexed("cmdNext", page), [this, page] {
      if (!PageExists(page, variant_)) return;
      const auto next = NextPage(page, variant_);
      if (next && LeaveCurrentPage()) ShowPage(*next);
    });
    wizard_.OnClick(Indexed("cmdBack", page), [this, page] {
      if (!PageExists(page, variant_)) return;
      const auto back = BackPage(page, variant_);
      if (back && LeaveCurrentPage()) ShowPage(*back);
    });
    wizard_.OnClick(Indexed("cmdHelp", page), [this, page] {
      if (PageExists(page, variant_)) hooks_.showHelp(HelpContext(page, variant_));
    });
  }
  for (const ViewTool& tool : kViewTools) {
    const std::string id = tool.id;
    wizard_.OnClick(id, [this, id] { ViewCommand(id); });
  }
  wizard_.OnClick(kPageHelpCommand, [this] { wizard_.Click(Indexed("cmdHelp", CurrentPage())); });
}

void WizardNavigation::InitializeTreeView() {
  variant_ = document_.record.UseActiveDirectory ? Variant::ActiveDirectory : Variant::Manual;
  const bool ad = IsAD(variant_);
  gui::ControlModel& tree = wizard_[kPageTree];
  tree.ClearNodes();
  for (const TreeLine& line : kTree) {
    if (!(ad ? line.inAD : line.inManual)) continue;
    const bool hasChildren = ad || std::string(line.key) != "Key6";
    tree.AddNode(
        {line.key, line.parent, line.text, line.folder ? 1 : 0, line.expanded && hasChildren});
  }
  tree.SetText("Key1");

  wizard_[Indexed("lblTitle", DeploymentGeneral)].SetText(PageTitle(DeploymentGeneral, variant_));
  for (const ViewTool& tool : kViewTools) wizard_.SetCommandEnabled(tool.id, ToolAvailable(tool.id));
  // Back on the first page and Next on the last lead nowhere: shown so.
  for (const PageFacts& facts : kPages) {
    wizard_[Indexed("cmdBack", facts.page)].SetEnabled(BackPage(facts.page, variant_).has_value());
    wizard_[Indexed("cmdNext", facts.page)].SetEnabled(NextPage(facts.page, variant_).has_value());
  }
  wizard_[kDeploymentNote].SetVisible(ad);
  wizard_[kConfigurationType].SetValue(ad ? 0 : 1);
  ShowPage(General);
}

Page WizardNavigation::CurrentPage() const { return static_cast<Page>(wizard_[kPageTabs].value()); }

void WizardNavigation::ShowPage(Page page, bool selectNode) {
  wizard_[kPageTabs].SetValue(static_cast<int>(page));
  if (selectNode) {
    wizard_[kPageTree].SetText(NodeKeyOf(page, variant_));
  }
  if (HasRefresh(page)) Refresh(page);
}

bool WizardNavigation::ToolAvailable(const std::string& toolId) const {
  const ViewTool* tool = FindTool(toolId);
  if (!tool) return true;
  switch (tool->availability) {
    case Availability::ADOnly:
      return IsAD(variant_);
    case Availability::ManualOnly:
      return !IsAD(variant_);
    case Availability::Both:
      break;
  }
  return true;
}

bool WizardNavigation::LeaveCurrentPage() {
  const Page page = CurrentPage();
  if (hooks_.mayLeave(page)) return true;
  // A refused tree click has already moved the highlight.
  wizard_[kPageTree].SetText(NodeKeyOf(page, variant_));
  return false;
}

void WizardNavigation::NodeChosen(const std::string& key) {
  const auto& nodes = wizard_[kPageTree].nodes();
  const auto node = std::find_if(nodes.begin(), nodes.end(),
                                 [&key](const gui::TreeNode& each) { return each.key == key; });
  if (node == nodes.end()) return;
  // The node's text decides, as the administrator reads it; "General" twice.
  const std::string& text = node->text;
  std::optional<Page> page;
  if (text == "General") {
    page = node->parentKey.empty() ? General : DeploymentGeneral;
  } else if (text == "Deployment") {
    page = IsAD(variant_) ? DeploymentIntroduction : DeploymentGeneral;
  } else {
    for (const auto& [name, named] : kNodePages) {
      if (text == name && PageExists(named, variant_)) page = named;
    }
  }
  if (page && (*page == CurrentPage() || LeaveCurrentPage())) ShowPage(*page, false);
}

void WizardNavigation::ViewCommand(const std::string& toolId) {
  const ViewTool* tool = FindTool(toolId);
  if (!tool || !ToolAvailable(toolId)) return;
  const Page page = IsAD(variant_) ? tool->pageAD : tool->pageManual;
  if (page != CurrentPage() && !LeaveCurrentPage()) return;
  // The tree shows where the menu went, refreshed pages too.
  ShowPage(page);
  // The menu leaves the focus where it was, often in the tree, where typing
  // would jump between pages.
  FocusFirstField(page);
}

void WizardNavigation::FocusFirstField(Page page) {
  const int index = static_cast<int>(page);
  for (const auto& control : wizard_.controls()) {
    const gui::ControlDescription& described = control->description();
    if (described.container != kPageTabs || described.page != index) continue;
    // The page's buttons are its frame, not its fields.
    const std::string& name = described.name;
    if (name == "cmdHelp" || name == "cmdBack" || name == "cmdNext") continue;
    if (!control->enabled() || !control->visible()) continue;
    const ControlKind kind = described.kind;
    if (kind == ControlKind::Label || kind == ControlKind::ProgressBar) continue;
    // An option group is entered at its chosen member.
    if (kind == ControlKind::OptionButton && !control->checked()) continue;
    control->SetFocus(true);
    return;
  }
  // A page without fields: the way on.
  for (const char* button : {"cmdNext", "cmdBack", "cmdHelp"}) {
    gui::ControlModel& frame = wizard_[Indexed(button, page)];
    if (frame.enabled()) {
      frame.SetFocus(true);
      return;
    }
  }
}

void WizardNavigation::Refresh(Page page) {
  switch (page) {
    case Populate:
      AskDirectoryRefresh(page, PopulateADRefreshPending);
      hooks_.refreshPopulate();
      break;
    case Prune:
      AskDirectoryRefresh(page, PruneADRefreshPending);
      hooks_.refreshPrune();
      break;
    case SetDefault:
      hooks_.refreshSetDefault();
      break;
    case Drivers:
      hooks_.refreshDrivers();
      break;
    default:
      break;
  }
}

void WizardNavigation::AskDirectoryRefresh(Page page, bool& pending) {
  if (!IsAD(variant_) || wizard_[kDomainBox].text().empty() || !pending) return;
  const gui::MessageAnswer answer = dialogs_.ShowMessageBox(
      "Refresh Printers",
      std::string("Your domain name has changed, do you want to refresh your list of ") +
          "Active Directory printers?",
      gui::MessageIcon::Question, gui::MessageButtons::YesNo);
  if (answer == gui::MessageAnswer::Yes) hooks_.requeryDirectoryPrinters(page);
  pending = false;
}

}  // namespace quillon::toolkit
