// The windows' controls, one line each, page by page. Places are dialog units
// in the client area below the toolbar. Every page has the same frame: its
// title on top, Help at the bottom left, Back and Next at the bottom right,
// the editing controls between. Mnemonics avoid the letters of the menus
// (F, V, H), of Back and Next, and each other on a page.
#include "toolkit/wizard_window.h"

#include <string>
#include <vector>

#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit {
namespace {

using gui::Control;
using gui::ControlDescription;
using gui::ControlKind;
using enum ControlKind;

constexpr int kWidth = 480, kHeight = 292;
constexpr int kLeft = 132;       // a page's left edge
constexpr int kRight = 468;      // and its right edge
constexpr int kInner = kRight - kLeft;
constexpr int kButtonsTop = 268;
constexpr unsigned kTopWide = gui::kAnchorLeft | gui::kAnchorTop | gui::kAnchorRight;
constexpr unsigned kBottomLeft = gui::kAnchorLeft | gui::kAnchorBottom;
constexpr unsigned kBottomRight = gui::kAnchorRight | gui::kAnchorBottom;

class Pages {
 public:
  explicit Pages(std::vector<ControlDescription>& controls) : controls_(controls) {}

  void Add(Page page, ControlDescription control) {
    controls_.push_back(control.OnPage(kPageTabs, static_cast<int>(page)));
  }
  void Text(Page page, const std::string& name, const std::string& text, gui::Rect place) {
    Add(page, Control(Label, name, text, place, kTopWide));
  }
  // A label over its box: the label's mnemonic moves to the box.
  void Field(Page page, ControlKind kind, const std::string& label, const std::string& caption,
             const std::string& name, int x, int y, int width, unsigned anchors = 0) {
    const unsigned box = anchors ? anchors : gui::kAnchorLeft | gui::kAnchorTop;
    // The label keeps to its box when the window grows.
    Add(page, Control(Label, label, caption, {x, y, width, 9}, box & ~gui::kAnchorRight));
    Add(page, Control(kind, name, "", {x, y + 10, width, 12}, box));
  }
  // The pair and rule editors' buttons, in a row.
  void EditorButtons(Page page, int y, const char* newName, const char* saveName,
                     const char* deleteName) {
    Add(page, Control(Button, newName, "Ne&w", {kLeft, y, 50, 14}));
    Add(page, Control(Button, saveName, "&Save", {kLeft + 54, y, 50, 14}));
    Add(page, Control(Button, deleteName, "Dele&te", {kLeft + 108, y, 50, 14}));
  }

 private:
  std::vector<ControlDescription>& controls_;
};

// Title first and the buttons last, so Tab goes through a page from top to bottom.
void PageFrame(std::vector<ControlDescription>& controls, Page page, bool top) {
  const int index = static_cast<int>(page);
  auto on = [&controls, index](ControlDescription control) {
    controls.push_back(control.Member(index).OnPage(kPageTabs, index));
  };
  if (top) {
    on(Control(Label, "lblTitle", PageTitle(page, Variant::ActiveDirectory),
               {kLeft, 10, kInner, 12}, kTopWide));
    return;
  }
  on(Control(Button, "cmdHelp", "Help", {kLeft, kButtonsTop, 50, 14}, kBottomLeft));
  on(Control(Button, "cmdBack", "< &Back", {kRight - 104, kButtonsTop, 50, 14}, kBottomRight));
  on(Control(Button, "cmdNext", "&Next >", {kRight - 50, kButtonsTop, 50, 14}, kBottomRight));
}

void PageControls(std::vector<ControlDescription>& controls, Page page) {
  Pages p(controls);
  using enum Page;
  const int half = (kInner - 8) / 2;
  switch (page) {
    case General:
      p.Text(page, "lblGeneralInfo",
             "Settings of the whole migration: whether it runs again after it has succeeded, "
             "what the user sees while it runs, and whether the client keeps a debug log.",
             {kLeft, 28, kInner, 26});
      p.Add(page, Control(Label, "lblConfigurationFileType", "Configuration File Type: (Read Only)",
                          {kLeft, 60, 200, 9}));
      p.Add(page, Control(ComboList, "cboConfigurationFileType", "", {kLeft, 70, 160, 12}));
      p.Add(page, Control(CheckBox, "chkAlwaysRun",
                          "&Always run, also after the migration has succeeded for the user",
                          {kLeft, 94, kInner, 10}));
      p.Add(page, Control(CheckBox, "chkShowProgress", "Show the &progress window to the user",
                          {kLeft, 108, kInner, 10}));
      p.Add(page, Control(CheckBox, "chkDebugOn", "&Write a debug log on the client",
                          {kLeft, 122, kInner, 10}));
      break;
    case ActiveDirectory:
      p.Text(page, "lblADInfo",
             "Quillon looks up the new print queue of each of the user's printers in Active "
             "Directory and moves the connection to it. Choose or type the domain to search.",
             {kLeft, 28, kInner, 26});
      p.Field(page, ComboBox, "lblDomainName", "&Domain name:", "cboDomainName", kLeft, 60, 200);
      break;
    case ManualConfiguration:
      p.Text(page, "lblManualInfo",
             "Manual configuration names the moves itself: whole print servers (Servers), single "
             "printers (Printers), or a printer of one server to a printer of another (Mixed).",
             {kLeft, 28, kInner, 36});
      break;
    case Servers:
      p.Field(page, TextBox, "lblFromServer", "Fro&m print server:", "txtFromServer", kLeft, 28,
              half);
      p.Field(page, TextBox, "lblToServer", "T&o print server:", "txtToServer",
              kLeft + half + 8, 28, half);
      p.EditorButtons(page, 56, "cmdNewServerPair", "cmdSaveServerPair", "cmdDeleteServer");
      p.Add(page, Control(ListBox, "lstServerPairs", "", {kLeft, 76, kInner, 184}, gui::kAnchorAll));
      break;
    case Printers:
      p.Field(page, TextBox, "lblFromPrinter", "Fro&m printer:", "txtFromPrinter", kLeft, 28, half);
      p.Field(page, TextBox, "lblToPrinter", "T&o printer:", "txtToPrinter", kLeft + half + 8, 28,
              half);
      p.EditorButtons(page, 56, "cmdNewPrinter", "cmdPrinterSave", "cmdDeletePrinter");
      p.Add(page, Control(ListBox, "lstPrinterPairs", "", {kLeft, 76, kInner, 184}, gui::kAnchorAll));
      break;
    case Mixed:
      p.Field(page, TextBox, "lblMixedFromServer", "Fro&m server:", "txtMixedFromServer", kLeft, 28,
              half);
      p.Field(page, TextBox, "lblMixedFromPrinter", "From &printer:", "txtMixedFromPrinter",
              kLeft + half + 8, 28, half);
      p.Field(page, TextBox, "lblMixedToServer", "T&o server:", "txtMixedToServer", kLeft, 54,
              half);
      p.Field(page, TextBox, "lblMixedToPrinter", "To p&rinter:", "txtMixedToPrinter",
              kLeft + half + 8, 54, half);
      p.EditorButtons(page, 82, "cmdMixedNew", "cmdMixedSave", "cmdMixedDelete");
      p.Add(page, Control(ListBox, "lstMixedPrintersAndServers", "", {kLeft, 102, kInner, 158},
                          gui::kAnchorAll));
      break;
    case Notification:
      p.Text(page, "lblNotificationInfo",
             "How the outcome of each run is reported: by e-mail, in a file, by a message to the "
             "user and in the application event log of the client.",
             {kLeft, 28, kInner, 26});
      break;
    case SmtpMail:
      p.Add(page, Control(CheckBox, "chkUseSMTP", "Notify via &email", {kLeft, 28, kInner, 10}));
      p.Field(page, TextBox, "lblSMTPServerName", "SMTP &server:", "txtSMTPServerName", kLeft, 42,
              240);
      p.Field(page, TextBox, "lblSMTPServerPort", "P&ort:", "txtSMTPServerPort", kLeft + 248, 42,
              50);
      p.Field(page, TextBox, "lblSMTPEmailAddress", "Fro&m address:", "txtSMTPEmailAddress", kLeft,
              68, half);
      p.Field(page, TextBox, "lblEmailSubject", "S&ubject:", "txtEmailSubject", kLeft + half + 8,
              68, half);
      p.Field(page, TextBox, "lblSendEmailTo", "&To address:", "txtSendEmailTo", kLeft, 94, 220);
      p.Add(page, Control(Button, "cmdAddSendEmail", "&Add", {kLeft + 226, 103, 50, 14}));
      p.Add(page, Control(Button, "cmdRemoveSendEmail", "&Remove", {kLeft + 280, 103, 50, 14}));
      p.Add(page, Control(ListBox, "lstToEmailAddresses", "", {kLeft, 124, kInner, 136},
                          gui::kAnchorAll));
      break;
    case FileOutput:
      p.Add(page, Control(CheckBox, "chkUseFileOutput", "Notify via file o&utput",
                          {kLeft, 28, kInner, 10}));
      p.Field(page, TextBox, "lblFileOutputPath", "Output f&older:", "txtFileOutputPath", kLeft, 42,
              kInner - 24, kTopWide);
      p.Add(page, Control(Button, "cmdBrowseFileOutput", "...", {kRight - 20, 52, 20, 12},
                          gui::kAnchorRight | gui::kAnchorTop));
      p.Field(page, TextBox, "lblFileOutputName", "File na&me:", "txtFileOutputName", kLeft, 68,
              200);
      p.Add(page, Control(CheckBox, "chkIncludeComputerName",
                          "&Include the computer name in the file name", {kLeft, 96, kInner, 10}));
      p.Add(page, Control(CheckBox, "chkIncludeFinalStatus", "Include the final &status",
                          {kLeft, 110, kInner, 10}));
      break;
    case ClientPopUp:
      p.Add(page, Control(CheckBox, "chkUseNotifyUser", "Notify user on &success with message:",
                          {kLeft, 28, kInner, 10}));
      p.Add(page, Control(MultiLineText, "txtSucessMessage", "", {kLeft, 40, kInner, 90},
                          kTopWide));
      p.Add(page, Control(CheckBox, "chkNotifyMessageOnFailure",
                          "Notify user on f&ailure with message:", {kLeft, 138, kInner, 10}));
      p.Add(page, Control(MultiLineText, "txtFailureMessage", "", {kLeft, 150, kInner, 90},
                          kTopWide));
      break;
    case ApplicationEventLog:
      p.Text(page, "lblEventLogInfo",
             "The client can record the outcome of each run in its application event log, where "
             "event log collectors and monitoring find it.",
             {kLeft, 28, kInner, 26});
      p.Add(page, Control(CheckBox, "chkWriteToEventLog",
                          "&Write the outcome to the application event log",
                          {kLeft, 60, kInner, 10}));
      break;
    case DeploymentIntroduction:
      p.Text(page, "lblDeploymentInfo",
             "Deployment copies the engine and this document into a shared folder that the "
             "clients run it from at logon, with a batch file for logon scripts and a web page "
             "for users who start it themselves. Directory clients may need MDAC: see the MDAC "
             "step.",
             {kLeft, 28, kInner, 44});
      break;
    case DeploymentGeneral:
      p.Add(page, Control(Label, "lblDeploymentMDACNote",
                          "This document uses Active Directory: please review the MDAC step "
                          "before you deploy.",
                          {kLeft, 28, kInner, 18}, kTopWide));
      p.Field(page, TextBox, "lblNetworkSharePath", "Deployment f&older:", "txtNetworkSharePath",
              kLeft, 50, kInner - 24, kTopWide);
      p.Add(page, Control(Button, "cmdBrowseDeployment", "...", {kRight - 20, 60, 20, 12},
                          gui::kAnchorRight | gui::kAnchorTop));
      p.Add(page, Control(CheckBox, "chkCreateHTML", "Create &web launch page",
                          {kLeft, 82, kInner, 10}));
      p.Add(page, Control(CheckBox, "chkBatchFile", "Create b&atch file", {kLeft, 96, kInner, 10}));
      p.Add(page, Control(Button, "cmdDeployNow", "&Deploy Now", {kLeft, 116, 60, 14}).Member(0));
      break;
    case Mdac:
      p.Add(page, Control(CheckBox, "chkIncludeMDAC", "&Include MDAC in batch file and/or web page",
                          {kLeft, 28, kInner, 10}));
      p.Add(page,
            Control(OptionButton, "optMDACVersion",
                    "MDAC vr 2.5 SP3 - default version when using Windows 2000", {kLeft + 10, 44, kInner - 10, 10})
                .Member(0));
      p.Add(page,
            Control(OptionButton, "optMDACVersion",
                    "MDAC vr 2.7 SP1- default version when using Windows XP", {kLeft + 10, 58, kInner - 10, 10})
                .Member(1));
      p.Add(page, Control(OptionButton, "optMDACVersion",
                          "MDAC vr 2.8 - default version when using Windows 2003/Windows XP SP2",
                          {kLeft + 10, 72, kInner - 10, 10})
                      .Member(2));
      p.Add(page, Control(Link, "lnkMDAC", "What MDAC is, and which version a client needs",
                          {kLeft, 94, kInner, 10}));
      p.Add(page, Control(Button, "cmdDeployNow", "&Deploy Now", {kLeft, 116, 60, 14}).Member(1));
      break;
    case Maintenance:
      p.Text(page, "lblMaintenanceInfo",
             "Maintenance keeps the user's printers in order after the migration: it adds "
             "printers (Populate), removes old ones (Prune), sets the default printer and names "
             "the drivers of local printers.",
             {kLeft, 28, kInner, 36});
      break;
    case Populate:
      p.Field(page, ComboList, "lblPopulateType", "T&ype:", "cboPopulateType", kLeft, 28, 100);
      p.Field(page, TextBox, "lblPopulateServerName", "Se&rver:", "txtPopulateServerName",
              kLeft + 108, 28, 110);
      p.Field(page, TextBox, "lblPopulatePrinterName", "&Printer:", "txtPopulatePrinterName",
              kLeft + 226, 28, kInner - 226);
      p.EditorButtons(page, 56, "cmdPopulateNew", "cmdPopulateSave", "cmdPopulateDelete");
      p.Add(page, Control(ListBox, "lstPopulate", "", {kLeft, 76, kInner, 120}, gui::kAnchorAll));
      p.Add(page, Control(Label, "lblAdPopulate", "A&ctive Directory printers:",
                          {kLeft, 204, 200, 9}, kBottomLeft));
      p.Add(page, Control(ComboBox, "cboAdPopulate", "", {kLeft, 214, kInner - 112, 12},
                          gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom));
      p.Add(page, Control(Button, "cmdAdPopulateRefresh", "R&efresh", {kRight - 104, 213, 50, 14},
                          kBottomRight));
      p.Add(page, Control(Button, "cmdAdPopulateSelect", "Se&lect", {kRight - 50, 213, 50, 14},
                          kBottomRight));
      p.Add(page, Control(ProgressBar, "prbAdPopulateProgress", "", {kLeft, 232, kInner, 8},
                          gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom));
      break;
    case Prune:
      p.Field(page, ComboList, "lblPruneType", "T&ype:", "cboPruneType", kLeft, 28, 130);
      p.Field(page, TextBox, "lblPruneServerName", "Se&rver:", "txtPruneServerName", kLeft + 138,
              28, 90);
      p.Field(page, TextBox, "lblPrunePrinterName", "&Printer:", "txtPrunePrinterName",
              kLeft + 236, 28, kInner - 236);
      p.EditorButtons(page, 56, "cmdPruneNew", "cmdPruneSave", "cmdPruneDelete");
      p.Add(page, Control(ListBox, "lstManualPrune", "", {kLeft, 76, kInner, 92}, gui::kAnchorAll));
      p.Add(page, Control(Label, "lblADPrune", "A&ctive Directory printers:", {kLeft, 174, 200, 9},
                          kBottomLeft));
      p.Add(page, Control(ComboBox, "cboADPrune", "", {kLeft, 184, kInner - 112, 12},
                          gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom));
      p.Add(page, Control(Button, "cmdAdPruneRefresh", "R&efresh", {kRight - 104, 183, 50, 14},
                          kBottomRight));
      p.Add(page, Control(Button, "cmdPruneADSelect", "Se&lect", {kRight - 50, 183, 50, 14},
                          kBottomRight));
      p.Add(page, Control(ProgressBar, "prbADPrune", "", {kLeft, 202, kInner, 8},
                          gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom));
      p.Add(page, Control(CheckBox, "chkADPruneAll", "&Delete all orphaned Active Directory printers.",
                          {kLeft, 218, kInner, 10}, kBottomLeft));
      p.Add(page, Control(CheckBox, "chkDeleteNonNetworked",
                          "Delete all l&ocal (non-networked) printers.", {kLeft, 232, kInner, 10},
                          kBottomLeft));
      break;
    case SetDefault:
      p.Add(page, Control(OptionButton, "optDefault",
                          "Do Nothing: if the default printer is deleted, do not set a new default "
                          "printer.",
                          {kLeft, 28, kInner, 20})
                      .Member(0));
      p.Add(page, Control(OptionButton, "optDefault",
                          "Migration: when migrating printers, if the current defualt printer is "
                          "migrated to a new printer, the newly created migration printer is set "
                          "as the default.",
                          {kLeft, 52, kInner, 28})
                      .Member(1));
      p.Add(page, Control(OptionButton, "optDefault",
                          "Force: force the following printer to be the default after all "
                          "migrations and maintenance has been performed.",
                          {kLeft, 84, kInner, 20})
                      .Member(2));
      p.Add(page, Control(ComboBox, "cboForceDefault", "", {kLeft + 12, 108, kInner - 12, 12},
                          kTopWide));
      break;
    case Drivers:
      p.Add(page, Control(ListBox, "lstPrinterDrivers", "", {kLeft, 28, kInner, 110},
                          gui::kAnchorAll));
      p.Field(page, TextBox, "lblPrinterNameViewOnly", "Printer:", "txtPrinterNameViewOnly", kLeft,
              144, half, kBottomLeft);
      p.Field(page, TextBox, "lblDriverName", "D&river name:", "txtDriverName", kLeft + half + 8,
              144, half, kBottomLeft);
      p.Field(page, TextBox, "lblDriverFileName", "Driver f&ile:", "txtDriverFileName", kLeft, 170,
              half, kBottomLeft);
      p.Field(page, TextBox, "lblPortName", "P&ort:", "txtPortName", kLeft + half + 8, 170, half,
              kBottomLeft);
      p.Add(page, Control(Button, "cmdSavePrinterDriver", "&Save", {kLeft, 196, 50, 14},
                          kBottomLeft));
      p.Field(page, TextBox, "lblDriverSharePath", "Driver share fo&lder:", "txtDriverSharePath",
              kLeft, 218, kInner - 24, gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom);
      p.Add(page, Control(Button, "cmdBrowseDriverSharePath", "...", {kRight - 20, 228, 20, 12},
                          kBottomRight));
      break;
    case Targeting:
      p.Text(page, "lblTargetingInfo",
             "Aim the document at some computers and users, or roll it out in rings. Every "
             "condition given must hold; an empty field sets none. Lists take commas.",
             {kLeft, 28, kInner, 18});
      p.Add(page, Control(CheckBox, "chkUseTargeting",
                          "Use &targeting: apply this document only where the conditions hold",
                          {kLeft, 50, kInner, 10}));
      p.Field(page, TextBox, "lblComputerNames", "&Computer names (* and ? match any):",
              "txtComputerNames", kLeft, 64, half);
      p.Field(page, TextBox, "lblExcludeComputerNames", "E&xcept computer names:",
              "txtExcludeComputerNames", kLeft + half + 8, 64, half);
      p.Field(page, TextBox, "lblUserGroups", "&User groups:", "txtUserGroups", kLeft, 90, half);
      p.Field(page, TextBox, "lblComputerGroups", "Computer &groups:", "txtComputerGroups",
              kLeft + half + 8, 90, half);
      p.Field(page, TextBox, "lblSites", "&Sites:", "txtSites", kLeft, 116, half);
      p.Field(page, TextBox, "lblSubnets", "Subnets (&IPv4 or IPv6, as 10.1.0.0/16):",
              "txtSubnets", kLeft + half + 8, 116, half);
      p.Field(page, TextBox, "lblRolloutPercent", "&Roll-out percent:", "txtRolloutPercent",
              kLeft, 142, 70);
      p.Field(page, TextBox, "lblNotBefore", "Not before (yyyy-&mm-dd):", "txtNotBefore",
              kLeft + half + 8, 142, 100);
      p.Add(page, Control(Label, "lblTargetingGroups", "&Directory groups:",
                          {kLeft, 172, 200, 9}));
      p.Add(page, Control(ComboBox, "cboTargetingGroups", "", {kLeft, 182, kInner - 58, 12},
                          kTopWide));
      p.Add(page, Control(Button, "cmdTargetingGroupsRefresh", "R&efresh",
                          {kRight - 50, 181, 50, 14}, gui::kAnchorRight | gui::kAnchorTop));
      p.Add(page, Control(Button, "cmdAddUserGroup", "&Add to user groups",
                          {kLeft, 200, 90, 14}));
      p.Add(page, Control(Button, "cmdAddComputerGroup", "Add to com&puter groups",
                          {kLeft + 94, 200, 100, 14}));
      p.Add(page, Control(ProgressBar, "prbTargetingGroups", "", {kLeft, 220, kInner, 8},
                          kTopWide));
      break;
    case Support:
      p.Text(page, "lblSupportInfo",
             "Help on every step is behind its Help button. Questions, problems and "
             "suggestions: the support page.",
             {kLeft, 28, kInner, 26});
      p.Add(page, Control(Link, "lnkSupport", "Quillon support on the web",
                          {kLeft, 60, kInner, 10}));
      break;
  }
}

gui::MenuDescription Item(const char* id, const char* caption) { return {id, caption, {}}; }
gui::MenuDescription Separator() { return {"", "-", {}}; }

}  // namespace

gui::FormDescription WizardWindowDescription() {
  gui::FormDescription form;
  form.name = "frmWizard";
  form.caption = std::string("Quillon - Deployment Toolkit [") + "UNTITLED" + "]";
  form.width = kWidth;
  form.height = kHeight;
  form.menus = {
      {"ID_MNU_FILE",
       "&File",
       {Item("ID_BTN_NEW", "&New"), Separator(), Item("ID_BTN_OPEN", "&Open ..."), Separator(),
        Item("ID_BTN_SAVE", "&Save"), Item("ID_BTN_SAVE_AS", "Save &As ..."), Separator(),
        Item("ID_BTN_EXIT", "E&xit")}},
      ViewMenu(),
      {"ID_MNU_HELP",
       "&Help",
       {Item("ID_BTN_CONTENTS", "&Contents ..."), Separator(),
        Item("ID_BTN_ABOUT", "&About Quillon Deployment Toolkit ...")}},
  };
  // As in every editor; F1 opens the help of the page shown.
  form.shortcuts = {{"Ctrl+N", "ID_BTN_NEW"},
                    {"Ctrl+O", "ID_BTN_OPEN"},
                    {"Ctrl+S", "ID_BTN_SAVE"},
                    {"F1", kPageHelpCommand}};
  form.tools = {{"ID_BTN_NEW", "&New"},  {"", "-"},
                {"ID_BTN_OPEN", "&Open ..."}, {"ID_BTN_SAVE", "&Save"},
                {"", "-"},           {"ID_BTN_CONTENTS", "&Contents ..."}};

  std::vector<ControlDescription>& controls = form.controls;
  controls.push_back(Control(TreeView, kPageTree, "", {4, 4, 120, kHeight - 8},
                             gui::kAnchorLeft | gui::kAnchorTop | gui::kAnchorBottom)
                         .Images({gui::StockImage::Document, gui::StockImage::Folder}));
  std::vector<std::string> tabs;
  for (int page = 0; page < kPageCount; ++page) tabs.push_back(PageTitle(Page(page), Variant::ActiveDirectory));
  controls.push_back(Control(TabControl, kPageTabs, "", {kLeft - 6, 4, kInner + 12, kHeight - 8},
                             gui::kAnchorAll)
                         .Columns(tabs)
                         .HideTabs());
  for (int index = 0; index < kPageCount; ++index) {
    const Page page = Page(index);
    PageFrame(controls, page, true);
    PageControls(controls, page);
    PageFrame(controls, page, false);
  }
  return form;
}

gui::FormDescription NewIniDescription() {
  gui::FormDescription form;
  form.name = "frmNewINI";
  form.caption = "New INI";
  form.width = 300;
  form.height = 214;
  form.modal = true;
  form.cancelControl = "cmdCancel";
  form.defaultControl = "cmdSelect";
  form.shortcuts = {{"F1", "cmdHelp"}};
  const auto on = [](int page, ControlDescription control) {
    return control.OnPage("sstNewINI", page);
  };
  form.controls = {
      Control(TabControl, "sstNewINI", "", {6, 6, 288, 178}, gui::kAnchorAll)
          .Columns({"New", "Existing", "&Recent"}),
      on(0, Control(Label, "lblNewType", "Please select the type of Quillon INI file:",
                    {14, 26, 272, 9})),
      on(0, Control(OptionButton, "optUseActiveDirectory", "&Active Directory", {20, 42, 260, 10})),
      on(0, Control(Label, "lblActiveDirectoryExplanation",
                    "Active Directory keeps every printer mapping correct by searching the "
                    "directory for each printer's new queue and replacing it automatically.",
                    {32, 54, 252, 26})),
      on(0, Control(OptionButton, "optUseManualConfiguration", "&Manual Configuration",
                    {20, 88, 260, 10})),
      on(0, Control(Label, "lblManualExplanation",
                    "Manual configuration gives you more control over which printers go to "
                    "which servers.",
                    {32, 100, 252, 26})),
      on(1, Control(Label, "lblExisting", "Please navigate to and select an existing INI file:",
                    {14, 26, 272, 9})),
      on(1, Control(DriveList, "drvExistingINI", "", {14, 40, 124, 12})),
      on(1, Control(FolderList, "dirExistingINI", "", {14, 58, 124, 120},
                    gui::kAnchorLeft | gui::kAnchorTop | gui::kAnchorBottom)),
      on(1, Control(FileList, "filExistingINI", "", {144, 40, 142, 138}, gui::kAnchorAll)),
      Control(Button, "cmdSelect", "&Select", {130, 192, 50, 14}, kBottomRight),
      Control(Button, "cmdCancel", "&Cancel", {186, 192, 50, 14}, kBottomRight),
      Control(Button, "cmdHelp", "&Help", {242, 192, 50, 14}, kBottomRight),
  };
  return form;
}

gui::FormDescription ProgressDescription() {
  gui::FormDescription form;
  form.name = "frmProgress";
  form.caption = kProgramTitle;
  form.width = 240;
  form.height = 40;
  form.controls = {
      Control(Label, "lblProgress", "", {7, 7, 226, 10}, kTopWide),
      Control(ProgressBar, "prbProgress", "", {7, 22, 226, 10}, kTopWide),
  };
  return form;
}

gui::FormDescription AboutDescription() {
  gui::FormDescription form;
  form.name = "frmAbout";
  form.caption = std::string("About ") + kProgramTitle;
  form.width = 220;
  form.height = 92;
  form.modal = true;
  form.cancelControl = "cmdOK";
  form.defaultControl = "cmdOK";
  form.controls = {
      Control(Label, "lblTitle", kProgramTitle, {10, 10, 200, 10}),
      Control(Label, "lblVersion", std::string("Version ") + kProgramVersion, {10, 24, 200, 10}),
      Control(Label, "lblDescription",
              "Moves users' printer connections to new print servers at logon.",
              {10, 40, 200, 20}),
      Control(Button, "cmdOK", "OK", {160, 70, 50, 14}, kBottomRight),
  };
  return form;
}

}  // namespace quillon::toolkit
