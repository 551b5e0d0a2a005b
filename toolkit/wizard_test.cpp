// The toolkit's windows as described, and its main window's life: load, the
// start dialog's every way out, the command line's document, help, links,
// the about box and the domain box, with scripted dialogs and real files.
#include "toolkit/wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "toolkit/help_guide.h"
#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::AskedDialog;
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

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) /
              ("wizard-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "docs" / "Floor 2");
    fs::create_directories(folder_ / "docs" / "archive");
    Make(false);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Make(bool loaded = true) {
    Wizard::Environment environment{dialogs_, files_, (folder_ / "program").string(),
                                    (folder_ / "docs").string(),
                                    [this] {
                                      if (domainsFail_) throw std::runtime_error("no network");
                                      return domains_;
                                    },
                                    [this](gui::Form& form) {
                                      shown_.push_back(form.description().name);
                                      if (answer_) answer_(form);
                                    },
                                    {},
                                    {}};
    wizard_ = std::make_unique<Wizard>(environment);
    if (loaded) wizard_->Load();
  }
  gui::Form& W() { return wizard_->form(); }
  Page Showing() { return wizard_->navigation().CurrentPage(); }
  std::string Doc(const std::string& name) { return (folder_ / "docs" / name).string(); }
  void WriteManualDocument(const std::string& path, const std::string& subject) {
    document::MigrationDocument record = NewDocumentRecord();
    record.UseManualDefinitions = true;
    record.EmailSubject = subject;
    record.ServerPairs = {{"", ""}, {"OLDPS01", "NEWPS01"}};
    ASSERT_FALSE(document::WriteDocument(files_, path, record));
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::vector<std::string> domains_;
  bool domainsFail_ = false;
  std::vector<std::string> shown_;
  std::function<void(gui::Form&)> answer_;
  std::unique_ptr<Wizard> wizard_;
};

TEST_F(WizardTest, LoadShowsANewDocumentAndTheNetworksDomainsWithoutAChange) {
  domains_ = {"CORP", "LAB.EXAMPLE.COM"};
  wizard_->Load();
  EXPECT_EQ(W().caption(), "Quillon - Deployment Toolkit [UNTITLED]");
  EXPECT_EQ(Showing(), Page::General);
  EXPECT_EQ(W()["cboPruneType"].text(), "Printer and Server");
  EXPECT_EQ(W()["cboPopulateType"].text(), "Networked");
  EXPECT_EQ(W()["cboDomainName"].lines(), domains_);
  EXPECT_EQ(W()["cboDomainName"].text(), "") << "offered, not chosen";
  EXPECT_FALSE(W()["cboConfigurationFileType"].enabled());
  EXPECT_FALSE(wizard_->document().DocumentDirty);
  EXPECT_FALSE(wizard_->navigation().PopulateADRefreshPending);
  EXPECT_FALSE(wizard_->navigation().PruneADRefreshPending);
  EXPECT_TRUE(W()["chkDebugOn"].checked());
  EXPECT_TRUE(W()["chkShowProgress"].checked());

  // A network that cannot be asked leaves the box as it is, silently.
  domainsFail_ = true;
  Make();
  EXPECT_TRUE(W()["cboDomainName"].lines().empty());
  EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(WizardTest, TheStartDialogsEveryWayOut) {
  wizard_->Load();
  // Cancel: the window closes and the program ends.
  bool closed = false;
  W().OnClose([&closed] { closed = true; });
  answer_ = [](gui::Form& dialog) {
    EXPECT_FALSE(dialog["sstNewINI"].pageEnabled(StartDialog::kRecentTab));
    EXPECT_TRUE(dialog["sstNewINI"].pageEnabled(StartDialog::kExistingTab));
    EXPECT_TRUE(dialog["optUseActiveDirectory"].checked());
    dialog.Click("cmdCancel");
  };
  EXPECT_FALSE(wizard_->Start(""));
  EXPECT_TRUE(closed);
  EXPECT_EQ(shown_, (std::vector<std::string>{"frmNewINI"}));

  // New, manual: the manual pages, nothing to save.
  Make();
  answer_ = [](gui::Form& dialog) {
    dialog.Click("optUseManualConfiguration");
    EXPECT_FALSE(dialog["optUseActiveDirectory"].checked()) << "one kind at a time";
    dialog.Click("cmdSelect");
  };
  ASSERT_TRUE(wizard_->Start(""));
  EXPECT_TRUE(wizard_->document().record.UseManualDefinitions);
  EXPECT_FALSE(wizard_->document().record.UseActiveDirectory);
  EXPECT_EQ(wizard_->navigation().variant(), Variant::Manual);
  EXPECT_EQ(Showing(), Page::General);
  EXPECT_EQ(W()["cboConfigurationFileType"].text(), "Manual Configuration");
  EXPECT_FALSE(wizard_->document().DocumentDirty);

  // Existing: through the folder list to a document, chosen by double click.
  WriteManualDocument(Doc("Floor 2/floor2.INI"), "Floor two");
  std::ofstream(Doc("Floor 2/readme.txt")) << "not a document";
  Make();
  answer_ = [this](gui::Form& dialog) {
    dialog["sstNewINI"].SetValue(StartDialog::kExistingTab);
    const std::vector<std::string> folders = dialog["dirExistingINI"].lines();
    const auto floor2 = std::find_if(folders.begin(), folders.end(), [](const std::string& line) {
      return line.find("Floor 2") != std::string::npos;
    });
    ASSERT_NE(floor2, folders.end());
    EXPECT_NE(std::find_if(folders.begin(), folders.end(),
                           [](const std::string& line) { return line.find("archive") != line.npos; }),
              folders.end());
    EXPECT_TRUE(dialog["filExistingINI"].lines().empty());
    // Select with no file chosen says so and keeps the dialog.
    dialog.Click("cmdSelect");
    ASSERT_EQ(dialogs_.asked.size(), 1U);
    EXPECT_EQ(dialogs_.asked[0].title, "New INI");
    dialog["dirExistingINI"].SetValue(static_cast<int>(floor2 - folders.begin()));
    dialog.DoubleClick("dirExistingINI");
    EXPECT_EQ(dialog["filExistingINI"].lines(), (std::vector<std::string>{"floor2.INI"}));
    dialog["filExistingINI"].SetValue(0);
    dialog.DoubleClick("filExistingINI");
  };
  ASSERT_TRUE(wizard_->Start(""));
  EXPECT_EQ(wizard_->document().DocumentPath, (folder_ / "docs" / "Floor 2" / "floor2.INI").string());
  EXPECT_EQ(W().caption(), "Quillon - Deployment Toolkit [floor2.INI]");
  EXPECT_EQ(W()["txtEmailSubject"].text(), "Floor two");
  EXPECT_EQ(W()["lstServerPairs"].lines(), (std::vector<std::string>{"OLDPS01 -> NEWPS01"}));
  EXPECT_EQ(wizard_->navigation().variant(), Variant::Manual);
  EXPECT_FALSE(wizard_->document().DocumentDirty);
  dialogs_.asked.clear();

  // The command line's document opens without the dialog; one that cannot be
  // read says so, then the dialog comes.
  shown_.clear();
  Make();
  ASSERT_TRUE(wizard_->Start(Doc("Floor 2/floor2.INI")));
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(W()["txtEmailSubject"].text(), "Floor two");
  Make();
  answer_ = [](gui::Form& dialog) { dialog.Click("cmdSelect"); };
  ASSERT_TRUE(wizard_->Start(Doc("missing.ini")));
  ASSERT_EQ(dialogs_.asked.size(), 1U);
  EXPECT_EQ(dialogs_.asked[0].title, kOpenErrorTitle);
  EXPECT_EQ(shown_, (std::vector<std::string>{"frmNewINI"}));
  EXPECT_EQ(wizard_->document().DocumentPath, "") << "the new document does not take its name";
  EXPECT_EQ(W().caption(), "Quillon - Deployment Toolkit [UNTITLED]");
  EXPECT_EQ(wizard_->navigation().variant(), Variant::ActiveDirectory);

  // New from the menu offers the "New" page alone.
  answer_ = [](gui::Form& dialog) {
    EXPECT_FALSE(dialog["sstNewINI"].pageEnabled(StartDialog::kExistingTab));
    dialog.Click("cmdHelp");
    dialog.Click("optUseManualConfiguration");
    dialog.Click("cmdSelect");
  };
  dialogs_.asked.clear();
  W().Click("ID_BTN_NEW");
  EXPECT_EQ(wizard_->navigation().variant(), Variant::Manual);
  ASSERT_EQ(dialogs_.asked.size(), 1U) << "help, missing";
  EXPECT_NE(dialogs_.asked[0].text.find(GuidePage((folder_ / "program").string(), 1036)),
            std::string::npos);
}

TEST_F(WizardTest, HelpLinksAndTheAboutBox) {
  wizard_->Load();
  const fs::path program = folder_ / "program";
  const std::string help = wizard_->HelpFile();
  EXPECT_EQ(help, (program / "Quillon.hlp").string());
  const fs::path sections = program / "QuillonGuide" / "sections";
  const std::string general = (sections / "general.html").string();
  W().Click("cmdHelp(0)");
  ASSERT_EQ(dialogs_.asked.size(), 1U);
  EXPECT_EQ(dialogs_.asked[0].kind, AskedDialog::Kind::MessageBox);
  EXPECT_EQ(dialogs_.asked[0].text, "The guide's page " + general + " could not be found.");

  // The guide as the build puts it beside the program.
  fs::copy(QUILLON_GUIDE_DIR, program / "QuillonGuide", fs::copy_options::recursive);
  const std::string smtp = (sections / "smtp-mail.html").string();
  const std::string drivers = (sections / "drivers.html").string();
  const std::string contents = (program / "QuillonGuide" / "index.html").string();
  dialogs_.asked.clear();
  W().Click("cmdHelp(7)");       // SMTP Mail
  W().Click("ID_BTN_CONTENTS");  // the contents
  dialogs_.handlersAvailable = false;
  W().Click("cmdHelp(18)");  // Drivers, with no browser
  W().Click("lnkSupport");
  dialogs_.handlersAvailable = true;
  W().Click("lnkMDAC");
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "guide " + smtp + "\nguide " + contents + "\nguide " + drivers + "\n" +
                "message [Quillon Deployment Toolkit] Exclamation OK: No web browser could be "
                "started to show the guide's page " + drivers + ".\n" +
                "web https://quillon.example/support\n" +
                "message [Quillon Deployment Toolkit] Exclamation OK: No web browser could be "
                "started to open https://quillon.example/support.\n" +
                "web " + kMdacInformationUrl + "\n");

  // A WinHelp file is shown where the system can; where it cannot, the guide.
  std::ofstream(help) << "help";
  dialogs_.asked.clear();
  W().Click("cmdHelp(7)");
  dialogs_.handlersAvailable = false;
  W().Click("ID_BTN_CONTENTS");
  dialogs_.handlersAvailable = true;
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "help " + help + " context=1008\nhelp " + help + " context=-1\nguide " + contents +
                "\nmessage [Quillon Deployment Toolkit] Exclamation OK: No web browser could be "
                "started to show the guide's page " + contents + ".\n");

  std::string version;
  answer_ = [&version](gui::Form& about) {
    version = about["lblVersion"].text();
    about.Click("cmdOK");
  };
  W().Click("ID_BTN_ABOUT");
  EXPECT_EQ(shown_, (std::vector<std::string>{"frmAbout"}));
  EXPECT_EQ(version, "Version 3.1.1");
}

TEST_F(WizardTest, AViewMenuChoiceTakesTheFocusToThePagesFirstField) {
  // From the tree, where typing would jump between pages.
  const auto focusAfter = [this](const std::string& command) -> std::string {
    W()[kPageTree].SetFocus(true);
    W().Click(command);
    for (const auto& control : W().controls()) {
      if (control->focused()) return control->key();
    }
    return "";
  };
  wizard_->Load();
  answer_ = [](gui::Form& dialog) {
    dialog.Click("optUseActiveDirectory");
    dialog.Click("cmdSelect");
  };
  ASSERT_TRUE(wizard_->Start(""));
  ASSERT_TRUE(wizard_->document().record.UseActiveDirectory);
  const std::vector<std::pair<std::string, std::string>> ad = {
      {"ID_BTN_GENERAL", "chkAlwaysRun"},  // the file type is shown, not edited
      {"ID_BTN_AD", "cboDomainName"},
      {"ID_BTN_EMAIL", "chkUseSMTP"},
      {"ID_BTN_FILE", "chkUseFileOutput"},
      {"ID_BTN_CLIENT", "chkUseNotifyUser"},
      {"ID_BTN_APP_EL", "chkWriteToEventLog"},
      {"ID_BTN_DEPLOYMENT", "cmdNext(11)"},  // a page without fields: the way on
      {"ID_BTN_DEPLOY_GENERAL", "txtNetworkSharePath"},
      {"ID_BTN_MDAC", "chkIncludeMDAC"},
      {"ID_BTN_PRUNE", "cboPruneType"},
      {"ID_BTN_POPULATE", "cboPopulateType"},
      {"ID_BTN_SET_DEFAULT", "optDefault(2)"},  // the chosen option
      {"ID_BTN_DRIVERS", "lstPrinterDrivers"},
      {"ID_BTN_SUPPORT", "lnkSupport"},
  };
  W().Click("optDefault(2)");
  for (const auto& [command, field] : ad) EXPECT_EQ(focusAfter(command), field) << command;

  WriteManualDocument(Doc("site.ini"), "Site");
  ASSERT_TRUE(wizard_->Start(Doc("site.ini")));
  const std::vector<std::pair<std::string, std::string>> manual = {
      {"ID_BTN_SERVER", "txtFromServer"},
      {"ID_BTN_PRINTER", "txtFromPrinter"},
      {"ID_BTN_MIXED", "txtMixedFromServer"},
      {"ID_BTN_DEPLOYMENT", "txtNetworkSharePath"},
      {"ID_BTN_SUPPORT", "lnkSupport"},
  };
  for (const auto& [command, field] : manual) EXPECT_EQ(focusAfter(command), field) << command;
  // A command that is not offered moves nothing.
  EXPECT_EQ(focusAfter("ID_BTN_MDAC"), kPageTree);
}

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// What a page Help opened shows of the built guide: the id its refresh leads
// to in index.html, and the text of the element with that id there (an
// anchor of its own has none); "missing" when the guide has no such id.
std::pair<std::string, std::string> SectionShown(const fs::path& opened) {
  const std::string marker = "url=../index.html#";
  const std::string page = ReadText(opened);
  const std::size_t at = page.find(marker);
  if (at == std::string::npos) return {"", "no refresh in " + opened.string()};
  const std::size_t start = at + marker.size();
  const std::string id = page.substr(start, page.find('"', start) - start);
  const std::string guide = ReadText(opened.parent_path().parent_path() / "index.html");
  const std::size_t element = guide.find(" id=\"" + id + "\"");
  if (element == std::string::npos) return {id, "missing"};
  const std::size_t text = guide.find('>', element) + 1;
  return {id, guide.substr(text, guide.find('<', text) - text)};
}

TEST_F(WizardTest, EveryHelpOpensTheBuiltGuideAtItsOwnSection) {
  const fs::path program = folder_ / "program";
  fs::copy(QUILLON_GUIDE_DIR, program / "QuillonGuide", fs::copy_options::recursive);
  // The heading each page's Help must show, as the guide names the page.
  const std::map<Page, std::string> headings = {
      {Page::General, "General"},
      {Page::ActiveDirectory, "Active Directory"},
      {Page::ManualConfiguration, "Manual Configuration"},
      {Page::Servers, "Servers"},
      {Page::Printers, "Printers"},
      {Page::Mixed, "Mixed"},
      {Page::Notification, "Notification"},
      {Page::SmtpMail, "SMTP Mail"},
      {Page::FileOutput, "File Output"},
      {Page::ClientPopUp, "Client Pop-Up"},
      {Page::ApplicationEventLog, "Application Event Log"},
      {Page::DeploymentIntroduction, "Deployment"},
      {Page::DeploymentGeneral, "Deployment General"},
      {Page::Mdac, "MDAC"},
      {Page::Maintenance, "Maintenance"},
      {Page::Populate, "Populate"},
      {Page::Prune, "Prune"},
      {Page::SetDefault, "Set Default"},
      {Page::Drivers, "Drivers"},
      {Page::Support, "Support"},
      {Page::Targeting, "Targeting"}};
  ASSERT_EQ(headings.size(), static_cast<std::size_t>(kPageCount));
  auto lastOpened = [this]() -> fs::path {
    if (dialogs_.asked.empty() || dialogs_.asked.back().kind != AskedDialog::Kind::Guide) {
      ADD_FAILURE() << gui::Transcript(dialogs_.asked);
      return {};
    }
    return dialogs_.asked.back().text;
  };

  for (const Variant variant : {Variant::ActiveDirectory, Variant::Manual}) {
    Make();
    answer_ = [variant](gui::Form& dialog) {
      dialog.Click(variant == Variant::Manual ? "optUseManualConfiguration"
                                              : "optUseActiveDirectory");
      dialog.Click("cmdSelect");
    };
    ASSERT_TRUE(wizard_->Start(""));
    ASSERT_EQ(wizard_->navigation().variant(), variant);
    int pages = 0;
    for (const auto& [page, heading] : headings) {
      if (!PageExists(page, variant)) continue;
      ++pages;
      const std::size_t before = dialogs_.asked.size();
      W().Click("cmdHelp(" + std::to_string(static_cast<int>(page)) + ")");
      ASSERT_EQ(dialogs_.asked.size(), before + 1) << heading;
      const fs::path opened = lastOpened();
      EXPECT_EQ(opened.parent_path(), program / "QuillonGuide" / "sections") << heading;
      const auto [id, shown] = SectionShown(opened);
      EXPECT_EQ(shown, heading) << opened;
      EXPECT_EQ(opened.stem().string(), id);
    }
    EXPECT_EQ(pages, variant == Variant::ActiveDirectory ? 17 : 18);
  }

  // The start dialog's Help, at start-up and for File > New, and the contents.
  answer_ = [](gui::Form& dialog) {
    dialog.Click("cmdHelp");
    dialog.Click("cmdCancel");
  };
  W().Click("ID_BTN_NEW");
  EXPECT_EQ(SectionShown(lastOpened()), (std::pair<std::string, std::string>{"new-document", ""}));
  Make(false);
  EXPECT_FALSE(wizard_->Start(""));
  EXPECT_EQ(SectionShown(lastOpened()),
            (std::pair<std::string, std::string>{"starting", "Starting"}));
  W().Click("ID_BTN_CONTENTS");
  EXPECT_EQ(lastOpened(), program / "QuillonGuide" / "index.html");
  EXPECT_TRUE(fs::is_regular_file(lastOpened()));

  // Every context of the table leads to a section the built guide has.
  for (const int context : GuideContexts()) {
    const auto [id, shown] = SectionShown(GuidePage(program.string(), context));
    EXPECT_FALSE(id.empty()) << context << ": " << shown;
    EXPECT_NE(shown, "missing") << context;
  }
}

TEST_F(WizardTest, ExitAsksAboutUnsavedWorkAndSavesWhereTheDocumentCameFrom) {
  WriteManualDocument(Doc("site.ini"), "Site");
  wizard_->Load();
  ASSERT_TRUE(wizard_->Start(Doc("site.ini")));
  W()["txtEmailSubject"].SetText("Site, edited");
  EXPECT_TRUE(wizard_->document().DocumentDirty);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Cancel);
  W().Click("ID_BTN_EXIT");
  dialogs_.SetNextAnswer(gui::MessageAnswer::Yes);
  bool closed = false;
  W().OnClose([&closed] { closed = true; });
  EXPECT_FALSE(closed);
  W().Click("ID_BTN_EXIT");
  EXPECT_TRUE(closed);
  document::MigrationDocument read;
  ASSERT_FALSE(document::ReadDocument(files_, Doc("site.ini"), read));
  EXPECT_EQ(read.EmailSubject, "Site, edited");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

// A refused field holds its page by every way out, each attempt with one
// message, the focus back on the field and the tree on the page; a field the
// administrator cannot reach holds nothing.
TEST_F(WizardTest, AnInvalidFieldHoldsItsPageByEveryWayOutWithOneMessageEach) {
  wizard_->Load();
  W().Click("ID_BTN_EMAIL");
  W()["chkUseSMTP"].SetChecked(true);
  W()["txtSMTPServerPort"].SetText("25a");
  const std::string smtpNode = W()[kPageTree].text();
  const std::string next = "cmdNext(" + std::to_string(static_cast<int>(Page::SmtpMail)) + ")";
  const std::string back = "cmdBack(" + std::to_string(static_cast<int>(Page::SmtpMail)) + ")";
  // Each as the front ends report it: the focus moves to what is clicked
  // (not to a menu or tool), then the click.
  const std::vector<std::pair<std::string, std::function<void()>>> ways{
      {"tree", [&] {
         W()[kPageTree].SetFocus(true);
         W()[kPageTree].SetText("Key1");
         W().Click(kPageTree);
       }},
      {"View menu", [&] { W().Click("ID_BTN_GENERAL"); }},
      {"Next", [&] {
         W()[next].SetFocus(true);
         W().Click(next);
       }},
      {"Back", [&] {
         W()[back].SetFocus(true);
         W().Click(back);
       }},
      {"New", [&] { W().Click("ID_BTN_NEW"); }},
      {"Open", [&] { W().Click("ID_BTN_OPEN"); }},
  };
  for (const auto& [name, leave] : ways) {
    SCOPED_TRACE(name);
    W()["txtSMTPServerPort"].SetFocus(true);
    dialogs_.asked.clear();
    leave();
    EXPECT_EQ(Showing(), Page::SmtpMail);
    EXPECT_EQ(W()[kPageTree].text(), smtpNode);
    EXPECT_TRUE(W()["txtSMTPServerPort"].focused());
    ASSERT_EQ(dialogs_.asked.size(), 1U) << gui::Transcript(dialogs_.asked);
    EXPECT_EQ(dialogs_.asked[0].title, "Invalid Port Number");
  }
  EXPECT_EQ(W()["txtSMTPServerPort"].text(), "25a") << "the administrator's text is kept";

  W()["txtSMTPServerPort"].SetText("25");
  W()["txtSMTPEmailAddress"].SetText("helpdesk");
  dialogs_.asked.clear();
  W().Click("ID_BTN_GENERAL");
  EXPECT_EQ(Showing(), Page::SmtpMail);
  EXPECT_TRUE(W()["txtSMTPEmailAddress"].focused());
  ASSERT_EQ(dialogs_.asked.size(), 1U);
  EXPECT_EQ(dialogs_.asked[0].title, "Invalid Email");

  // Switched off, the fields cannot be mended there and hold nothing.
  W()["chkUseSMTP"].SetChecked(false);
  dialogs_.asked.clear();
  W()[next].SetFocus(true);
  W().Click(next);
  EXPECT_EQ(Showing(), Page::FileOutput);
  EXPECT_TRUE(dialogs_.asked.empty()) << gui::Transcript(dialogs_.asked);
  // A field's page gone by a move let through asks nothing on the way.
  W().Click("ID_BTN_EMAIL");
  W()["chkUseSMTP"].SetChecked(true);
  W()["txtSMTPEmailAddress"].SetText("helpdesk@example.com");
  W()["txtSMTPServerPort"].SetFocus(true);
  W()[kPageTree].SetFocus(true);
  W()[kPageTree].SetText("Key1");
  W().Click(kPageTree);
  EXPECT_EQ(Showing(), Page::General);
  EXPECT_TRUE(dialogs_.asked.empty()) << gui::Transcript(dialogs_.asked);
}

}  // namespace
}  // namespace quillon::toolkit
