// The list editors and the field checks as the administrator uses them, on
// the wizard's own window (every control of every page) with scripted
// dialogs: what each button does to the lists and boxes, what is asked and
// said, and what the pages derived from other pages show.
#include "toolkit/rule_editors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "toolkit/field_checks.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::MessageAnswer;

class RuleEditorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) /
              ("rules-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
    Make(DocumentType::Manual);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Make(DocumentType type) {
    wizard_ = std::make_unique<Wizard>(Wizard::Environment{
        dialogs_, files_, folder_.string(), folder_.string(), {},
        [type](gui::Form& dialog) {
          dialog.Click(type == DocumentType::Manual ? "optUseManualConfiguration"
                                                    : "optUseActiveDirectory");
          dialog.Click("cmdSelect");
        },
        [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
          loads_.push_back(picker.key() + "/" + bar.key() + "/" + domain);
          picker.SetLines({"PRINTSRV1 >> Laser4", "PRINTSRV2 >> Colour"});
        },
        [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
          loads_.push_back(picker.key() + "/" + bar.key() + "/" + domain);
          picker.SetLines({"Floor2-Pilot", "IT"});
        }});
    wizard_->Load();
    ASSERT_TRUE(wizard_->Start(""));
    dialogs_.asked.clear();
  }
  gui::Form& W() { return wizard_->form(); }
  gui::ControlModel& M(const std::string& key) { return W()[key]; }
  std::vector<std::string> Lines(const std::string& list) { return M(list).lines(); }
  // A click on a line, as the front ends report it.
  void ClickLine(const std::string& list, int line) {
    M(list).SetValue(line);
    W().Click(list);
  }
  bool Dirty() { return wizard_->document().DocumentDirty; }
  std::string Said() {
    std::string said = gui::Transcript(dialogs_.asked);
    dialogs_.asked.clear();
    return said;
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::unique_ptr<Wizard> wizard_;
  std::vector<std::string> loads_;
};

TEST_F(RuleEditorsTest, EachPairEditorAppendsReplacesAndDeletesAsItSays) {
  struct Editor {
    std::string list;
    std::vector<std::string> boxes;
    std::string newButton, save, remove;
    std::vector<std::string> first, second;
    std::string firstLine, secondLine;
    std::string error;
    std::string question;
  };
  const std::vector<Editor> editors{
      {"lstServerPairs", {"txtFromServer", "txtToServer"}, "cmdNewServerPair",
       "cmdSaveServerPair", "cmdDeleteServer", {"OLDPS", "NEWPS"}, {"OLD2", "NEW2"},
       "OLDPS -> NEWPS", "OLD2 -> NEW2",
       "message [Save Error] Critical OK: Both a From and To Print Server name is required. "
       "Please enter both print server names.\n",
       "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
       "Print Server pair?\n"},
      {"lstPrinterPairs", {"txtFromPrinter", "txtToPrinter"}, "cmdNewPrinter", "cmdPrinterSave",
       "cmdDeletePrinter", {"HP4", "HP4-new"}, {"Canon", "Canon-new"}, "HP4 -> HP4-new",
       "Canon -> Canon-new",
       "message [Save Error] Critical OK: Both a From and To Printer name is required. Please "
       "enter both printer names.\n",
       "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
       "Printer pair?\n"},
      {"lstMixedPrintersAndServers",
       {"txtMixedFromServer", "txtMixedFromPrinter", "txtMixedToServer", "txtMixedToPrinter"},
       "cmdMixedNew", "cmdMixedSave", "cmdMixedDelete", {"OLD", "HP4", "NEW", "HP4 Floor 2"},
       {"A", "B", "C", "D"}, "OLD >> HP4 -> NEW >> HP4 Floor 2", "A >> B -> C >> D",
       "message [Save Error] Critical OK: Both a From and To Server and Printer name is "
       "required. Please enter both server and printer names.\n",
       "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
       "Server and Printer pair?\n"},
      {"lstPopulate", {"txtPopulateServerName", "txtPopulatePrinterName"}, "cmdPopulateNew",
       "cmdPopulateSave", "cmdPopulateDelete", {"NEWPS", "Laser"}, {"NEWPS2", "Colour"},
       "NEWPS >> Laser", "NEWPS2 >> Colour",
       "message [Error, Input Required] Exclamation OK: Please enter either a printer name and a "
       "server name. Boht are is required.\n",
       "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
       "Printer and Server pair?\n"},
      {"lstManualPrune", {"txtPruneServerName", "txtPrunePrinterName"}, "cmdPruneNew",
       "cmdPruneSave", "cmdPruneDelete", {"OLDPS", "HP4"}, {"OLD2", "Canon"}, "OLDPS >> HP4",
       "OLD2 >> Canon",
       "message [Error, Input Required] Exclamation OK: Please enter either a printer name or a "
       "server name. Either one is required.\n",
       "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
       "Printer and/or Server pair?\n"},
  };
  for (const Editor& editor : editors) {
    SCOPED_TRACE(editor.list);
    const auto type = [&](const std::vector<std::string>& texts) {
      for (std::size_t i = 0; i < texts.size(); ++i) M(editor.boxes[i]).SetText(texts[i]);
    };
    W().Click(editor.newButton);
    // One box empty: said, nothing changed.
    type(editor.first);
    M(editor.boxes.back()).SetText("");
    wizard_->document().DocumentDirty = false;
    W().Click(editor.save);
    EXPECT_EQ(Said(), editor.error);
    EXPECT_TRUE(Lines(editor.list).empty());
    // Saved twice after New: appended and chosen, then that line replaced.
    type(editor.first);
    W().Click(editor.save);
    EXPECT_EQ(Lines(editor.list), std::vector<std::string>{editor.firstLine});
    EXPECT_EQ(M(editor.list).value(), 0);
    type(editor.second);
    W().Click(editor.save);
    EXPECT_EQ(Lines(editor.list), std::vector<std::string>{editor.secondLine});
    EXPECT_TRUE(Dirty());
    // New then Delete only empties the boxes.
    W().Click(editor.newButton);
    type(editor.first);
    W().Click(editor.remove);
    EXPECT_EQ(Said(), "");
    EXPECT_EQ(M(editor.boxes.back()).text(), "");
    type(editor.first);
    W().Click(editor.save);  // appended: the flag was set by New
    ASSERT_EQ(Lines(editor.list).size(), 2U);
    // A click takes the line apart into the boxes.
    ClickLine(editor.list, 0);
    for (std::size_t i = 0; i < editor.boxes.size(); ++i) {
      EXPECT_EQ(M(editor.boxes[i]).text(), editor.second[i]);
    }
    // Delete asks, naming the line; No keeps, Yes removes and starts a new
    // entry.
    const std::string question = editor.question.substr(0, editor.question.size() - 1) +
                                 "\r|\r|" + editor.secondLine + "\n";
    dialogs_.SetNextAnswer(MessageAnswer::No);
    W().Click(editor.remove);
    EXPECT_EQ(Said(), question);
    EXPECT_EQ(Lines(editor.list).size(), 2U);
    dialogs_.SetNextAnswer(MessageAnswer::Yes);
    W().Click(editor.remove);
    EXPECT_EQ(Said(), question);
    EXPECT_EQ(Lines(editor.list), std::vector<std::string>{editor.firstLine});
    EXPECT_EQ(M(editor.boxes.front()).text(), "");
    // Replace mode with no line chosen (a document opened meanwhile): the
    // typed entry is appended, not lost.
    ClickLine(editor.list, 0);
    M(editor.list).SetValue(-1);
    type(editor.second);
    W().Click(editor.save);
    EXPECT_EQ(Lines(editor.list), (std::vector<std::string>{editor.firstLine, editor.secondLine}));
    EXPECT_EQ(M(editor.list).value(), 1);
    // Delete with nothing chosen asks nothing.
    ClickLine(editor.list, 0);
    M(editor.list).SetValue(-1);
    W().Click(editor.remove);
    EXPECT_EQ(Said(), "");
  }
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0U);
}

TEST_F(RuleEditorsTest, TheRuleTypesSetTheirWildcardsAndFollowTheClickedLine) {
  // Prune: each line's type, first match winning, and the boxes it frees.
  const std::vector<std::pair<std::string, std::string>> lines{
      {". >> HP4", "Local Printer Only"},     {"* >> HP4", "Networked Printer Only"},
      {".* >> HP4", "Local and Networked Printer Only"}, {". >> *", "Server Only"},
      {"OLDPS >> *", "Server Only"},          {"OLDPS >> HP4", "Printer and Server"}};
  std::vector<std::string> all;
  for (const auto& [line, type] : lines) all.push_back(line);
  M("lstManualPrune").SetLines(all);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i].first);
    ClickLine("lstManualPrune", static_cast<int>(i));
    EXPECT_EQ(M("cboPruneType").text(), lines[i].second);
    const bool serverFixed = lines[i].second.find("Only") != std::string::npos &&
                             lines[i].second != "Server Only";
    EXPECT_EQ(M("txtPruneServerName").enabled(), !serverFixed);
    EXPECT_EQ(M("txtPrunePrinterName").enabled(), lines[i].second != "Server Only");
    EXPECT_FALSE(wizard_->rules().IsNewEntry().prune);
  }
  for (const auto& [index, server] : std::vector<std::pair<int, std::string>>{{0, "."}, {1, "*"}, {2, ".*"}}) {
    M("cboPruneType").SetValue(index);
    EXPECT_EQ(M("txtPruneServerName").text(), server);
  }
  M("txtPrunePrinterName").SetText("Laser");
  M("cboPruneType").SetValue(3);
  EXPECT_EQ(M("txtPrunePrinterName").text(), "*");
  EXPECT_FALSE(M("txtPrunePrinterName").enabled());

  // Populate: Local puts the computer's "." into a box of its own; a line
  // chooses its type before it fills the boxes.
  EXPECT_EQ(M("cboPopulateType").text(), "Networked");
  M("cboPopulateType").SetValue(0);
  EXPECT_EQ(M("txtPopulateServerName").text(), ".");
  EXPECT_FALSE(M("txtPopulateServerName").enabled());
  W().Click("cmdPopulateNew");
  EXPECT_EQ(M("txtPopulateServerName").text(), ".");
  M("lstPopulate").SetLines({"NEWPS >> Laser", ". >> Label Writer"});
  ClickLine("lstPopulate", 0);
  EXPECT_EQ(M("cboPopulateType").text(), "Networked");
  EXPECT_EQ(M("txtPopulateServerName").text(), "NEWPS");
  EXPECT_TRUE(M("txtPopulateServerName").enabled());
  ClickLine("lstPopulate", 1);
  EXPECT_EQ(M("cboPopulateType").text(), "Local");
  EXPECT_EQ(M("txtPopulatePrinterName").text(), "Label Writer");
  EXPECT_FALSE(M("txtPopulateServerName").enabled());
}

TEST_F(RuleEditorsTest, DirectoryPickersNeedADomainAndFillTheBoxesForTheNextSave) {
  Make(DocumentType::ActiveDirectory);
  W().Click("cmdAdPopulateRefresh");
  EXPECT_EQ(Said(),
            "message [Error, No Domain Name] Exclamation OK: No domain name selected. Please "
            "select a domain name on the Active Directory step.\n");
  EXPECT_TRUE(loads_.empty());
  W().Click("cmdAdPopulateSelect");
  EXPECT_EQ(Said(),
            "message [Error selecting AD printer] Critical OK: No Active Directory printer "
            "selected. Please choose a printer.\n");

  M("cboDomainName").SetText("CORP");
  W().Click("cmdAdPruneRefresh");
  EXPECT_EQ(loads_, std::vector<std::string>{"cboADPrune/prbADPrune/CORP"});
  EXPECT_EQ(M("cboADPrune").text(), "PRINTSRV1 >> Laser4") << "the first entry chosen";
  M("cboADPrune").SetValue(1);
  W().Click("cmdPruneADSelect");
  EXPECT_EQ(M("cboPruneType").text(), "Printer and Server");
  EXPECT_EQ(M("txtPruneServerName").text(), "PRINTSRV2");
  EXPECT_EQ(M("txtPrunePrinterName").text(), "Colour");
  W().Click("cmdPruneSave");
  EXPECT_EQ(Lines("lstManualPrune"), std::vector<std::string>{"PRINTSRV2 >> Colour"});

  // The Populate page: "Yes" to the changed domain's question reads the
  // directory; the directory controls work in the directory variant only.
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  wizard_->navigation().ShowPage(Page::Populate);
  EXPECT_EQ(loads_.back(), "cboAdPopulate/prbAdPopulateProgress/CORP");
  EXPECT_TRUE(M("cmdAdPopulateSelect").enabled());
  W().Click("cmdAdPopulateSelect");
  EXPECT_EQ(M("cboPopulateType").text(), "Networked");
  EXPECT_EQ(M("txtPopulateServerName").text(), "PRINTSRV1");
  EXPECT_TRUE(wizard_->rules().IsNewEntry().populate);
  Make(DocumentType::Manual);
  wizard_->navigation().ShowPage(Page::Prune);
  EXPECT_FALSE(M("cboADPrune").enabled());
  EXPECT_FALSE(M("chkADPruneAll").enabled());
  EXPECT_FALSE(M("cmdAdPruneRefresh").enabled());
}

TEST_F(RuleEditorsTest, RecipientsDriversAndTheForcedDefaultFollowWhatTheyDependOn) {
  W().Click("cmdAddSendEmail");
  EXPECT_TRUE(Lines("lstToEmailAddresses").empty()) << "mail is off: the button is too";
  M("chkUseSMTP").SetChecked(true);
  M("txtSendEmailTo").SetText("helpdesk.example.com");
  W().Click("cmdAddSendEmail");
  EXPECT_EQ(Said(),
            "message [Invalid Email] Information OK: Incorrect email address. Please enter a "
            "valid email address (i.e. helpdesk@example.com)\n");
  M("txtSendEmailTo").SetText("ops@");
  W().Click("cmdAddSendEmail");
  // A recipient already there (in any letter case) would be mailed twice; a
  // comma would make two items of one in the document.
  M("txtSendEmailTo").SetText("OPS@");
  W().Click("cmdAddSendEmail");
  M("txtSendEmailTo").SetText("a@example.com,b@example.com");
  W().Click("cmdAddSendEmail");
  EXPECT_EQ(Said(),
            "message [Invalid Email] Information OK: The address \"OPS@\" is already in the "
            "Email To list.\n"
            "message [Invalid Email] Information OK: The Email To name "
            "\"a@example.com,b@example.com\" holds a comma, which would part it into two names "
            "in the document. Please enter it without the comma.\n");
  // A refused address stays in the box to be mended; an added one leaves it
  // empty for the next.
  EXPECT_EQ(M("txtSendEmailTo").text(), "a@example.com,b@example.com");
  EXPECT_EQ(Lines("lstToEmailAddresses"), (std::vector<std::string>{"ops@"}));
  M("txtSendEmailTo").SetText("two@");
  W().Click("cmdAddSendEmail");
  EXPECT_EQ(Lines("lstToEmailAddresses"), (std::vector<std::string>{"ops@", "two@"}));
  EXPECT_EQ(M("txtSendEmailTo").text(), "");
  ClickLine("lstToEmailAddresses", 1);
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  W().Click("cmdRemoveSendEmail");
  EXPECT_EQ(Lines("lstToEmailAddresses"), std::vector<std::string>{"ops@"});
  EXPECT_EQ(Said(),
            "message [Delete?] Question YesNo: Are you sure that you want to delete the selected "
            "Email To Address?\r|\r|two@\n");

  // Drivers: the targets of every list, once each, keeping the details of
  // those still targets; a longer name is another printer.
  M("lstMixedPrintersAndServers").SetLines({"OLD >> HP4 -> NEW >> Floor 1"});
  M("lstPrinterPairs").SetLines({"Old Colour -> Floor 1 Colour", "HP -> Floor 1"});
  M("lstPopulate").SetLines({". >> Label Writer"});
  M("lstPrinterDrivers")
      .SetLines({"Floor 1 Colour >> Colour PCL >> colour.inf >> IP_1", "GONE >> x >> y >> z",
                 "label writer >> Dymo >> dymo.inf >> USB001"});
  wizard_->navigation().ShowPage(Page::Drivers);
  EXPECT_EQ(Lines("lstPrinterDrivers"),
            (std::vector<std::string>{"Floor 1", "Floor 1 Colour >> Colour PCL >> colour.inf >> IP_1",
                                      "label writer >> Dymo >> dymo.inf >> USB001"}));
  W().Click("cmdSavePrinterDriver");
  EXPECT_EQ(Said(),
            "message [Error, Quillon] Exclamation OK: Please select a printer before saving.\n");
  ClickLine("lstPrinterDrivers", 0);
  EXPECT_EQ(M("txtPrinterNameViewOnly").text(), "Floor 1");
  EXPECT_EQ(M("txtDriverName").text(), "");
  W().Click("cmdSavePrinterDriver");
  EXPECT_EQ(Said(),
            "message [Error, Input Required] Exclamation OK: Please enter a driver name and a "
            "driver file name. Both are required.\n");
  M("txtDriverName").SetText("HP Universal");
  W().Click("cmdSavePrinterDriver");
  EXPECT_EQ(Lines("lstPrinterDrivers")[0], "Floor 1 >> HP Universal >>  >> ");

  // Set Default: a networked populate rule and every mixed target by their
  // UNC names, a local one by its bare name; the chosen printer stays chosen,
  // also one that no list names.
  M("lstPopulate").SetLines({". >> Label Writer", "NEWPS >> Laser"});
  M("cboForceDefault").SetText("\\\\new\\floor 1");
  wizard_->navigation().ShowPage(Page::SetDefault);
  EXPECT_EQ(Lines("cboForceDefault"),
            (std::vector<std::string>{"\\\\NEW\\Floor 1", "Label Writer", "\\\\NEWPS\\Laser"}));
  EXPECT_EQ(M("cboForceDefault").value(), 0);
  EXPECT_EQ(M("cboForceDefault").text(), "\\\\NEW\\Floor 1");
  M("cboForceDefault").SetText("\\\\KEPT\\Reception");
  wizard_->navigation().ShowPage(Page::SetDefault);
  EXPECT_EQ(M("cboForceDefault").text(), "\\\\KEPT\\Reception");
  EXPECT_TRUE(wizard_->rules().IsPrinterAndServerInForceListAlready("Label Writer"));
  EXPECT_FALSE(wizard_->rules().IsPrinterAndServerInForceListAlready("label writer"));
}

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

}  // namespace
}  // namespace quillon::toolkit

namespace quillon::toolkit {
namespace {

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
