// The toolkit's windows as described: every control there once, on its page,
// without overlap or clashing access keys; the folder's ways up and the
// command lines.
#include "toolkit/wizard_window.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

#include "toolkit/help_guide.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit {
namespace {

using gui::ControlDescription;
using gui::ControlKind;

bool Overlap(const gui::Rect& a, const gui::Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
         b.y < a.y + a.height;
}

char Mnemonic(const std::string& caption) {
  const auto amp = caption.find('&');
  if (amp == std::string::npos || amp + 1 >= caption.size()) return 0;
  return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[amp + 1])));
}

TEST(WizardWindowTest, EveryControlIsThereOnceOnItsPageWithoutOverlapOrClashingKeys) {
  const gui::FormDescription wizard = WizardWindowDescription();
  std::map<std::string, const ControlDescription*> byKey;
  for (const ControlDescription& control : wizard.controls) {
    EXPECT_TRUE(byKey.emplace(gui::ControlKey(control), &control).second)
        << "twice: " << gui::ControlKey(control);
  }
  // What the binding and the navigation work on, with the kinds they expect.
  std::vector<ControlDescription> needed = BoundControls();
  for (const ControlDescription& control : NavigationControls()) needed.push_back(control);
  for (const ControlDescription& control : needed) {
    const auto found = byKey.find(gui::ControlKey(control));
    ASSERT_NE(found, byKey.end()) << gui::ControlKey(control);
    EXPECT_EQ(found->second->kind, control.kind) << gui::ControlKey(control);
  }
  // The editors' and checks' controls, in place for their behaviour.
  for (const char* key :
       {"cmdNewServerPair", "cmdSaveServerPair", "cmdDeleteServer", "cmdNewPrinter",
        "cmdPrinterSave", "cmdDeletePrinter", "cmdMixedNew", "cmdMixedSave", "cmdMixedDelete",
        "cmdPopulateNew", "cmdPopulateSave", "cmdPopulateDelete", "cboPopulateType",
        "cmdPruneNew", "cmdPruneSave", "cmdPruneDelete", "cboPruneType", "cmdAddSendEmail",
        "cmdRemoveSendEmail", "txtPrinterNameViewOnly", "txtDriverName", "txtDriverFileName",
        "txtPortName", "cmdSavePrinterDriver", "prbAdPopulateProgress", "prbADPrune",
        "cmdAdPopulateRefresh", "cmdAdPruneRefresh", "cmdAdPopulateSelect", "cmdPruneADSelect",
        "cmdBrowseDeployment", "cmdBrowseDriverSharePath", "cmdBrowseFileOutput",
        "cmdDeployNow(0)", "cmdDeployNow(1)", "lnkMDAC", "lnkSupport"}) {
    EXPECT_TRUE(byKey.count(key)) << key;
  }
  EXPECT_EQ(byKey.at("cmdDeployNow(0)")->page, static_cast<int>(Page::DeploymentGeneral));
  EXPECT_EQ(byKey.at("cmdDeployNow(1)")->page, static_cast<int>(Page::Mdac));
  EXPECT_EQ(byKey.at("chkADPruneAll")->caption, "&Delete all orphaned Active Directory printers.");
  EXPECT_EQ(byKey.at("optDefault(1)")->caption,
            "Migration: when migrating printers, if the current defualt printer is migrated to a "
            "new printer, the newly created migration printer is set as the default.");
  EXPECT_EQ(byKey.at("lnkMDAC")->kind, ControlKind::Link);

  // Each page: inside the page frame, nothing on top of anything else, and
  // no mnemonic twice or taken from the menu bar.
  const ControlDescription& tabs = *byKey.at(kPageTabs);
  EXPECT_TRUE(tabs.tabsHidden) << "pages are switched by code only";
  EXPECT_FALSE(Overlap(tabs.place, byKey.at(kPageTree)->place));
  for (int page = 0; page < kPageCount; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    std::vector<const ControlDescription*> on;
    for (const ControlDescription& control : wizard.controls) {
      if (control.container == kPageTabs && control.page == page) on.push_back(&control);
    }
    std::set<char> keys{'f', 'v', 'h'};
    for (const ControlDescription* control : on) {
      const gui::Rect& r = control->place;
      EXPECT_TRUE(r.width > 0 && r.height > 0) << gui::ControlKey(*control);
      EXPECT_TRUE(r.x >= tabs.place.x && r.y >= tabs.place.y &&
                  r.x + r.width <= tabs.place.x + tabs.place.width &&
                  r.y + r.height <= tabs.place.y + tabs.place.height)
          << gui::ControlKey(*control) << " leaves the page";
      for (const ControlDescription* other : on) {
        if (other < control) {
          EXPECT_FALSE(Overlap(r, other->place))
              << gui::ControlKey(*control) << " covers " << gui::ControlKey(*other);
        }
      }
      if (const char key = Mnemonic(control->caption)) {
        EXPECT_TRUE(keys.insert(key).second)
            << "Alt+" << key << " twice, at " << gui::ControlKey(*control);
      }
    }
  }

  // Every check box is reached by its own key; the editor's keys as in every
  // editor, F1 the help of the page shown (and of the start dialog).
  for (const ControlDescription& control : wizard.controls) {
    if (control.kind == ControlKind::CheckBox) {
      EXPECT_NE(Mnemonic(control.caption), 0) << gui::ControlKey(control);
    }
  }
  EXPECT_EQ(byKey.at("chkUseSMTP")->caption, "Notify via &email");
  EXPECT_EQ(byKey.at("chkBatchFile")->caption, "Create b&atch file");
  EXPECT_EQ(gui::ShortcutKeys(wizard, "ID_BTN_NEW"), "Ctrl+N");
  EXPECT_EQ(gui::ShortcutKeys(wizard, "ID_BTN_OPEN"), "Ctrl+O");
  EXPECT_EQ(gui::ShortcutKeys(wizard, "ID_BTN_SAVE"), "Ctrl+S");
  EXPECT_EQ(gui::ShortcutKeys(wizard, kPageHelpCommand), "F1");
  EXPECT_EQ(gui::ShortcutKeys(NewIniDescription(), "cmdHelp"), "F1");
  std::set<std::string> keysTaken;
  for (const gui::ShortcutDescription& shortcut : wizard.shortcuts) {
    EXPECT_NE(gui::ParseShortcut(shortcut.keys).key, "") << shortcut.keys;
    EXPECT_TRUE(keysTaken.insert(shortcut.keys).second) << shortcut.keys << " twice";
  }

  // The dialogs: their fixed captions and keys.
  const gui::Form start(NewIniDescription());
  EXPECT_EQ(start.caption(), "New INI");
  EXPECT_EQ(start["sstNewINI"].description().columns,
            (std::vector<std::string>{"New", "Existing", "&Recent"}));
  EXPECT_EQ(start["cmdSelect"].description().caption, "&Select");
  EXPECT_EQ(start["filExistingINI"].description().kind, ControlKind::FileList);
  const gui::Form about(AboutDescription());
  EXPECT_EQ(about.caption(), "About Quillon Deployment Toolkit");
  EXPECT_EQ(about["lblVersion"].text(), "Version 3.1.1");
}

TEST(WizardWindowTest, FolderWaysUpAndCommandLines) {
  EXPECT_EQ(FolderAncestry("C:\\Users\\ann\\"),
            (std::vector<std::string>{"C:\\", "C:\\Users", "C:\\Users\\ann"}));
  EXPECT_EQ(FolderAncestry("d:"), (std::vector<std::string>{"d:\\"}));
  EXPECT_EQ(FolderAncestry("\\\\fs01\\deploy$\\quillon\\2026"),
            (std::vector<std::string>{"\\\\fs01\\deploy$", "\\\\fs01\\deploy$\\quillon",
                                      "\\\\fs01\\deploy$\\quillon\\2026"}));
  EXPECT_EQ(FolderAncestry("\\\\fs01\\deploy$\\"), (std::vector<std::string>{"\\\\fs01\\deploy$"}));
  EXPECT_EQ(FolderAncestry("/home//ann/"), (std::vector<std::string>{"/", "/home", "/home/ann"}));
  EXPECT_EQ(FolderAncestry("/"), (std::vector<std::string>{"/"}));

  EXPECT_EQ(CommandLineDocument(" \"C:\\Migration Files\\Floor 2.ini\" "),
            "C:\\Migration Files\\Floor 2.ini");
  EXPECT_EQ(CommandLineDocument("\\\\fs01\\deploy$\\floor2.ini"), "\\\\fs01\\deploy$\\floor2.ini");
  EXPECT_EQ(CommandLineDocument("  "), "");
}

}  // namespace
}  // namespace quillon::toolkit
