// The toolkit's main window's life: load, the start dialog's every way out,
// the command line's document, help, links, the about box and the domain
// box, the view menu, exit, and a refused field holding its page, with
// scripted dialogs and real files.
#include "toolkit/wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "toolkit/help_guide.h"
#include "toolkit/wizard_test_support.h"
#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

using namespace wizard_tests;
using gui::AskedDialog;

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
