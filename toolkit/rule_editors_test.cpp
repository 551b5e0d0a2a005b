// The list editors as the administrator uses them, on the wizard's own window
// (every control of every page) with scripted dialogs: what each button does
// to the lists and boxes, what is asked and said, and what the pages derived
// from other pages show.
#include "toolkit/rule_editors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/rule_editors_test_support.h"

namespace quillon::toolkit {
namespace {

using namespace rule_editors_tests;

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

}  // namespace
}  // namespace quillon::toolkit
