// The field checks on the wizard's own window: fields checked when left,
// targeting values the engine would refuse, the toolbar's Save stopping at
// the first rule broken, and Deploy Now from the saved document.
#include "toolkit/field_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "toolkit/rule_editors_test_support.h"

namespace quillon::toolkit {
namespace {

using namespace rule_editors_tests;

TEST_F(RuleEditorsTest, FieldsAreCheckedWhenLeftAndOptionsGovernTheirControls) {
  const auto leave = [this](const std::string& field) {
    M(field).SetFocus(true);
    M("txtEmailSubject").SetFocus(true);
  };
  // A field is only ever left on its page.
  wizard_->navigation().ShowPage(Page::SmtpMail);
  M("txtSMTPServerPort").SetText("25a");
  leave("txtSMTPServerPort");
  EXPECT_EQ(Said(),
            "message [Invalid Port Number] Information OK: Incorrect port number. Please enter a "
            "valid port number (i.e. 1025)\n");
  EXPECT_TRUE(M("txtSMTPServerPort").focused()) << "kept until corrected";
  for (const char* port : {"", "70000", " 1025 "}) {
    M("txtSMTPServerPort").SetText(port);
    leave("txtSMTPServerPort");
  }
  M("txtSMTPEmailAddress").SetText("quillon");
  leave("txtSMTPEmailAddress");
  EXPECT_TRUE(M("txtSMTPEmailAddress").focused());
  M("txtSMTPEmailAddress").SetText("");
  leave("txtSMTPEmailAddress");
  EXPECT_EQ(Said(),
            "message [Invalid Email] Information OK: Incorrect email address. Please enter a "
            "valid email address (i.e. helpdesk@example.com)\n");

  // Folders: checked when they count, a trailing backslash dropped always.
  M("txtFileOutputPath").SetText((folder_ / "missing").string() + "\\");
  leave("txtFileOutputPath");
  EXPECT_EQ(Said(), "") << "file output is off";
  EXPECT_EQ(M("txtFileOutputPath").text(), (folder_ / "missing").string());
  M("chkUseFileOutput").SetChecked(true);
  leave("txtFileOutputPath");
  EXPECT_EQ(Said(),
            "message [Folder not found.] Exclamation OK: The output file folder could not be "
            "found. This may cause Quillon to work irregularly.\n");
  M("txtNetworkSharePath").SetText((folder_ / "missing").string());
  leave("txtNetworkSharePath");
  EXPECT_EQ(Said(), "") << "not on the Deployment page";
  wizard_->navigation().ShowPage(Page::DeploymentGeneral);
  leave("txtNetworkSharePath");
  EXPECT_NE(Said().find("You will not be able to deploy"), std::string::npos);
  M("txtNetworkSharePath").SetText(folder_.string());
  leave("txtNetworkSharePath");
  EXPECT_EQ(Said(), "");

  // The browse buttons: a chosen folder replaces the box's text, a cancel
  // leaves it; the deployment folder is looked for on the network.
  M("chkUseFileOutput").SetChecked(true);
  dialogs_.SetNextNetworkFolder("\\\\FS01\\deploy$");
  dialogs_.SetNextFolder("");
  W().Click("cmdBrowseDeployment");
  W().Click("cmdBrowseFileOutput");
  EXPECT_EQ(M("txtNetworkSharePath").text(), "\\\\FS01\\deploy$");
  EXPECT_EQ(M("txtFileOutputPath").text(), (folder_ / "missing").string());
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0U);
  // The folder picker opens at the folder the box holds.
  ASSERT_EQ(dialogs_.asked.back().kind, gui::AskedDialog::Kind::Folder);
  EXPECT_EQ(dialogs_.asked.back().text, (folder_ / "missing").string());
  Said();

  // Each governing control turns its own on and off.
  const std::map<std::string, std::vector<std::string>> governs{
      {"chkUseSMTP", {"txtSMTPServerName", "lstToEmailAddresses", "cmdRemoveSendEmail"}},
      {"chkUseFileOutput", {"txtFileOutputName", "cmdBrowseFileOutput", "chkIncludeFinalStatus"}},
      {"chkUseNotifyUser", {"txtSucessMessage"}},
      {"chkNotifyMessageOnFailure", {"txtFailureMessage"}},
      {"chkIncludeMDAC", {"optMDACVersion(0)", "optMDACVersion(2)"}}};
  for (const auto& [governing, dependents] : governs) {
    for (const bool on : {true, false}) {
      M(governing).SetChecked(on);
      for (const std::string& dependent : dependents) {
        EXPECT_EQ(M(dependent).enabled(), on) << governing << " " << dependent;
      }
    }
  }
  EXPECT_FALSE(M("cboForceDefault").enabled()) << "Do Nothing at load";
  W().Click("optDefault(2)");
  EXPECT_TRUE(M("cboForceDefault").enabled());
  W().Click("optDefault(1)");
  EXPECT_FALSE(M("cboForceDefault").enabled());
}

// The targeting page: its fields follow Use targeting, a value the engine
// would refuse holds the page and the save, and the group picker reads the
// document's directory into boxes that keep each group once.
TEST_F(RuleEditorsTest, TargetingValuesAreCheckedAndGroupsPickedFromTheDirectory) {
  const auto leave = [this](const std::string& field) {
    M(field).SetFocus(true);
    M("txtSites").SetFocus(true);
  };
  wizard_->navigation().ShowPage(Page::Targeting);
  EXPECT_FALSE(M("txtSubnets").enabled());
  EXPECT_FALSE(M("cmdAddUserGroup").enabled());
  M("chkUseTargeting").SetChecked(true);
  EXPECT_TRUE(M("txtSubnets").enabled());
  EXPECT_TRUE(M("cmdAddUserGroup").enabled());
  EXPECT_TRUE(Dirty());

  struct Value {
    std::string field, refused, said, accepted;
  };
  const std::vector<Value> values{
      {"txtSubnets", "10.1.0.0/16, 10.2.0/16",
       "Subnets: \"10.2.0/16\" is not a network in CIDR form (192.0.2.0/24, 2001:db8::/32).",
       "10.1.0.0/16, 2001:db8::/32"},
      {"txtRolloutPercent", "150",
       "Roll-out percent: \"150\" is not a whole number from 0 to 100.", "10"},
      {"txtNotBefore", "2026-02-30",
       "Not before: \"2026-02-30\" is not a date in the form yyyy-mm-dd.", "2026-12-14"}};
  const std::string targetingPage = "(" + std::to_string(static_cast<int>(Page::Targeting)) + ")";
  for (const Value& value : values) {
    SCOPED_TRACE(value.field);
    const std::string message =
        "message [Invalid Targeting Value] Information OK: " + value.said + "\n";
    M(value.field).SetText(value.refused);
    leave(value.field);
    EXPECT_EQ(Said(), message);
    EXPECT_TRUE(M(value.field).focused()) << "kept until corrected";
    W().Click("cmdNext" + targetingPage);
    EXPECT_EQ(Said(), message);
    EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::Targeting);
    M(value.field).SetText(value.accepted);
    leave(value.field);
    EXPECT_EQ(Said(), "");
  }
  W().Click("cmdNext" + targetingPage);
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::ManualConfiguration);
  wizard_->navigation().ShowPage(Page::Targeting);

  // A manual document names no directory to list groups from.
  W().Click("cmdTargetingGroupsRefresh");
  EXPECT_EQ(Said(),
            "message [Error, No Domain Name] Exclamation OK: The groups are listed from the "
            "directory of a document that uses Active Directory. Please type the group names.\n");
  EXPECT_TRUE(loads_.empty());
  M("cboDomainName").SetText("corp.example");
  W().Click("cmdTargetingGroupsRefresh");
  EXPECT_EQ(loads_, std::vector<std::string>{"cboTargetingGroups/prbTargetingGroups/corp.example"});
  EXPECT_EQ(M("cboTargetingGroups").text(), "Floor2-Pilot");
  W().Click("cmdAddUserGroup");
  M("cboTargetingGroups").SetValue(1);
  W().Click("cmdAddUserGroup");
  W().Click("cmdAddComputerGroup");
  M("txtComputerGroups").SetText("Pilot Computers, ");
  W().Click("cmdAddComputerGroup");
  M("cboTargetingGroups").SetText(" it ");
  W().Click("cmdAddUserGroup");
  EXPECT_EQ(M("txtUserGroups").text(), "Floor2-Pilot, IT") << "once, whatever its case";
  EXPECT_EQ(M("txtComputerGroups").text(), "Pilot Computers, IT");
  EXPECT_EQ(Said(), "");
  M("cboTargetingGroups").SetText("Sales, Europe");
  W().Click("cmdAddUserGroup");
  M("cboTargetingGroups").SetText(" ");
  W().Click("cmdAddComputerGroup");
  EXPECT_EQ(Said(),
            "message [Error selecting a group] Critical OK: A group name with a comma cannot be "
            "targeted: the list would read it as two groups.\n"
            "message [Error selecting a group] Critical OK: No group selected. Please choose or "
            "type a group.\n");
  EXPECT_EQ(M("txtUserGroups").text(), "Floor2-Pilot, IT");

  // A value the engine would refuse stops the save while targeting is on,
  // whichever way it got there; off, the engine does not read it.
  const std::string path = (folder_ / "targeted.ini").string();
  M("chkDeleteNonNetworked").SetChecked(true);
  M("txtRolloutPercent").SetText("ten");
  wizard_->navigation().ShowPage(Page::Support);
  dialogs_.SetNextFileName(path);
  W().Click("ID_BTN_SAVE_AS");
  const std::string saveAs = "save [Save INI file As ...] extension=ini file=UNTITLED.INI "
                             "filter=Quillon (*.ini)|*.ini prompt-overwrite\n";
  EXPECT_EQ(Said(), saveAs +
                        "message [Invalid Targeting Value] Information OK: Roll-out percent: "
                        "\"ten\" is not a whole number from 0 to 100.\n");
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::Targeting);
  EXPECT_TRUE(M("txtRolloutPercent").focused());
  EXPECT_FALSE(fs::exists(path));
  M("txtRolloutPercent").SetText("10");
  dialogs_.SetNextFileName(path);
  W().Click("ID_BTN_SAVE_AS");
  ASSERT_TRUE(fs::exists(path)) << Said();
  document::MigrationDocument saved;
  ASSERT_FALSE(document::ReadDocument(files_, path, saved));
  EXPECT_EQ(saved.Targeting,
            (document::TargetingSettings{true, "", "", "Floor2-Pilot, IT", "Pilot Computers, IT",
                                         "", "10.1.0.0/16, 2001:db8::/32", "10", "2026-12-14"}));
  M("chkUseTargeting").SetChecked(false);
  M("txtNotBefore").SetText("someday");
  W().Click("ID_BTN_SAVE");
  ASSERT_FALSE(document::ReadDocument(files_, path, saved));
  EXPECT_FALSE(saved.Targeting.UseTargeting);
  EXPECT_EQ(saved.Targeting.NotBefore, "someday");
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0U);
}

TEST_F(RuleEditorsTest, TheToolbarsSaveStopsAtTheFirstRuleBrokenAndShowsWhere) {
  const std::string path = (folder_ / "site.ini").string();
  // Manual, nothing to do: refused, the Servers page shown.
  dialogs_.SetNextFileName(path);
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_EQ(Said(),
            "message [Error Saving] Critical OK: At least one of the Manual Configurations or "
            "Maintenace methods must have data. Please enter at least one set of Manual data "
            "before saving.\n");
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::Servers);
  EXPECT_TRUE(M("txtFromServer").focused());
  EXPECT_FALSE(fs::exists(path));
  // Deleting local printers alone is something to do.
  M("chkDeleteNonNetworked").SetChecked(true);
  // A local printer to add needs its driver and port.
  M("lstPopulate").SetLines({". >> Label Writer"});
  M("lstPrinterDrivers").SetLines({"Label Writer >> Dymo >> dymo.inf >> "});
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_EQ(Said(),
            "message [Quillon] Critical OK: When populating a local printer you must provide a "
            "driver name|and port name on the drivers step. Please provide the required "
            "information.\n");
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::Drivers);
  M("lstPrinterDrivers").SetLines({"Label Writer >> Dymo >> dymo.inf >> USB001"});
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0U);

  // The directory variant needs its domain.
  Make(DocumentType::ActiveDirectory);
  wizard_->document().DocumentDirty = true;
  W().Click("ID_BTN_SAVE");
  EXPECT_EQ(Said(),
            "message [Error Saving] Critical OK: The Active Directory domain name is a required "
            "field. Please enter an Active Directory domain name, before saving.\n");
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::ActiveDirectory);
  EXPECT_EQ(M("tvwWizardOptions").text(), "Key2");
  EXPECT_TRUE(M("cboDomainName").focused());
}

class StillClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2026, 12, 8, 14, 5, 9}; }
  platform::ZonedTime NowWithOffset() override { return {Now(), 60}; }
  void Sleep(int) override {}
};

TEST_F(RuleEditorsTest, DeployNowWorksFromTheSavedDocumentAndShowsItsProgress) {
  StillClock clock;
  std::vector<std::string> shown;
  bool busy = false;
  int busyChanges = 0;
  wizard_->SetDeploymentHost({clock, "ann", "PC042", std::nullopt,
                              [&](gui::Form& progress) {
                                shown.push_back(progress["lblProgress"].text());
                                return std::function<void()>(
                                    [&shown, &progress] {
                                      shown.push_back(progress["lblProgress"].text());
                                    });
                              },
                              [&](bool on) {
                                busy = on;
                                ++busyChanges;
                              }});
  ASSERT_TRUE(files_.WriteFileAtomic((folder_ / "QuillonEngine.exe").string(), "MZ engine").ok);
  const fs::path share = folder_ / "share";
  fs::create_directories(share);
  M("chkDeleteNonNetworked").SetChecked(true);
  M("txtNetworkSharePath").SetText(share.string());
  M("chkBatchFile").SetChecked(true);

  // Never saved, then saved but changed: nothing is deployed.
  W().Click("cmdDeployNow(0)");
  const std::string unsaved =
      "message [Error] Critical OK: This INI file needs to be saved. Please save your INI file "
      "before trying to deploy.\n";
  EXPECT_EQ(Said(), unsaved);
  dialogs_.SetNextFileName((folder_ / "floor3.ini").string());
  W().Click("ID_BTN_SAVE_AS");
  M("txtEmailSubject").SetText("changed");
  Said();  // the save dialog
  W().Click("cmdDeployNow(1)");
  EXPECT_EQ(Said(), unsaved);
  W().Click("ID_BTN_SAVE");
  M("txtNetworkSharePath").SetText((folder_ / "missing").string());
  W().Click("ID_BTN_SAVE");
  W().Click("cmdDeployNow(0)");
  EXPECT_EQ(Said(),
            "message [Error] Critical OK: The deployment folder does not exist. Please check "
            "your deployment folder and try again.\n");
  EXPECT_TRUE(fs::is_empty(share));
  EXPECT_EQ(busyChanges, 0);

  // Saved, into a folder that is there: the engine, the document and the
  // batch file alone, the progress window from its first words to its last.
  M("txtNetworkSharePath").SetText(share.string());
  W().Click("ID_BTN_SAVE");
  W().Click("cmdDeployNow(0)");
  EXPECT_EQ(Said(), "message [Sucess] Information OK: Deployment successfull.\n");
  EXPECT_TRUE(fs::exists(share / "QuillonEngine.exe"));
  EXPECT_TRUE(fs::exists(share / "floor3.ini"));
  EXPECT_TRUE(fs::exists(share / "floor3.ini.bat"));
  EXPECT_FALSE(fs::exists(share / "floor3.ini.html")) << "no web page asked for";
  EXPECT_EQ(shown, (std::vector<std::string>{"Initializing deployment process ...",
                                             "Deployment Complete."}));
  EXPECT_EQ(busyChanges, 2);
  EXPECT_FALSE(busy);

  // A step that fails stops the deployment: no batch file to start the
  // missing engine, no success message, and the window says it failed.
  fs::remove(folder_ / "QuillonEngine.exe");
  fs::remove(share / "QuillonEngine.exe");
  fs::remove(share / "floor3.ini.bat");
  shown.clear();
  W().Click("cmdDeployNow(1)");
  const std::string said = Said();
  EXPECT_NE(said.find("Error copying Quillon Engine file to deployment folder."), std::string::npos);
  EXPECT_EQ(said.find("Deployment successfull."), std::string::npos);
  EXPECT_FALSE(fs::exists(share / "floor3.ini.bat"));
  EXPECT_EQ(shown, (std::vector<std::string>{"Initializing deployment process ...",
                                             "Deployment failed."}));
  EXPECT_FALSE(busy);
}

}  // namespace
}  // namespace quillon::toolkit
