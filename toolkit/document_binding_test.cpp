// The wizard's binding on the control models alone: every field and list shape
// through the controls and back, the rules of what a list shows, the new-
// document defaults, and which edits mark the document changed.
#include "toolkit/document_binding.h"

#include <gtest/gtest.h>

#include "document/document_file.h"
#include "testing/memory_file_system.h"

namespace quillon::toolkit {
namespace {

using document::MigrationDocument;

gui::FormDescription BindingWindow() {
  gui::FormDescription window;
  window.name = "frmWizard";
  window.controls = BoundControls();
  return window;
}

// Every field set, lists as the reader and a gather leave them: an empty
// element first, then the entries.
MigrationDocument EveryField() {
  MigrationDocument d;
  d.AlwaysRun = true;
  d.ShowProgress = true;
  d.DomainName = "corp.example.com";
  d.ServerPairs = {{}, {"OLDSRV", "NEWSRV"}, {"OLD2", "NEW2"}};
  d.PrinterPairs = {{}, {"\\\\OLD\\HP4", "\\\\NEW\\HP4"}};
  d.MixedPairs = {{}, {"OLDSRV", "Laser", "Laser 2", "NEWSRV"}};
  d.UseSMTP = true;
  d.SMTPServerNameOrIP = "mail.corp.example.com";
  d.ServerPort = "2525";
  d.EmailSubject = "Printer moves";
  d.EmailTo = {{}, "helpdesk@corp.example.com", "admin@corp.example.com"};
  d.EmailFrom = "quillon@corp.example.com";
  d.UseFileOutput = true;
  d.FileOutputPath = "\\\\srv\\reports";
  d.FileOutputName = "moves.txt";
  d.IncludeComputerName = true;
  d.IncludeOutcome = true;
  d.WriteToEventLog = true;
  d.UseClientPopup = d.UseSuccessClientPopup = true;
  d.SuccessMessage = "Your printers moved.^CRLFCall 4242 with questions.";
  d.UseFailureClientPopup = true;
  d.FailureMessage = "Something went wrong.";
  d.DeploymentPath = "\\\\srv\\deploy";
  d.CreateWebLaunchPage = true;
  d.CreateBatchFile = true;
  d.IncludeMDAC = true;
  d.MDACOption = 1;
  d.PopulateRules = {{}, {"NEWSRV", "Color"}};
  d.PruneRules = {{}, {"OLDSRV", "*"}};
  d.DeleteADOrphans = true;
  d.DeleteAllNonNetworked = true;
  d.PrinterDrivers = {{"Label", "Generic / Text Only", "UNIDRV.DLL", "LPT1:"}};  // no empty first
  d.DriverSharePath = "\\\\srv\\drivers";
  d.DefaultType = 2;
  d.DefaultPrinterName = "\\\\NEWSRV\\Color";
  d.DebugOn = false;
  d.Targeting = {true,          "PC2*, LAB-??", "PC2-KIOSK*", "Floor2-Pilot", "Pilot Computers",
                 "Head-Office", "10.2.0.0/16",  "10",         "2026-12-14"};
  return d;
}

TEST(DocumentBindingTest, EveryFieldAndListShapeGoesThroughTheControlsAndBack) {
  gui::Form form(BindingWindow());
  const MigrationDocument original = EveryField();
  FillFormFromDocument(form, original);

  EXPECT_EQ(form["lstMixedPrintersAndServers"].lines(),
            std::vector<std::string>{"OLDSRV >> Laser -> NEWSRV >> Laser 2"});
  EXPECT_EQ(form["lstServerPairs"].lines(),
            (std::vector<std::string>{"OLDSRV -> NEWSRV", "OLD2 -> NEW2"}));
  EXPECT_EQ(form["lstPrinterDrivers"].lines(),
            std::vector<std::string>{"Label >> Generic / Text Only >> UNIDRV.DLL >> LPT1:"});
  EXPECT_EQ(form["txtSucessMessage"].text(), "Your printers moved.\r\nCall 4242 with questions.");
  EXPECT_TRUE(form["optMDACVersion(1)"].checked());
  EXPECT_FALSE(form["optMDACVersion(0)"].checked());
  EXPECT_TRUE(form["optDefault(2)"].checked());
  EXPECT_EQ(form["cboForceDefault"].text(), "\\\\NEWSRV\\Color");

  MigrationDocument gathered;
  GatherFormIntoDocument(form, gathered);
  EXPECT_EQ(gathered, original);

  // Saved with the document writer and read again, the record fills the
  // controls the same way: the two-line message comes back on two lines.
  platform::MemoryFileSystem files;
  ASSERT_FALSE(document::WriteDocument(files, "doc.ini", gathered));
  EXPECT_NE(files.files["doc.ini"].find(
                "SuccessMessage=Your printers moved.^CRLFCall 4242 with questions.\r\n"),
            std::string::npos);
  MigrationDocument reread;
  ASSERT_FALSE(document::ReadDocument(files, "doc.ini", reread));
  // Twice: nothing may appear or grow from one save to the next (an empty
  // first driver record used to come back as an "Error in Printer Name" line).
  for (int round = 0; round < 2; ++round) {
    gui::Form again(BindingWindow());
    FillFormFromDocument(again, reread);
    for (const auto& control : form.controls()) {
      SCOPED_TRACE(control->key());
      const gui::ControlModel& other = again[control->key()];
      EXPECT_EQ(other.text(), control->text());
      EXPECT_EQ(other.checked(), control->checked());
      EXPECT_EQ(other.lines(), control->lines());
    }
    GatherFormIntoDocument(again, reread);
    ASSERT_FALSE(document::WriteDocument(files, "doc.ini", reread));
    ASSERT_FALSE(document::ReadDocument(files, "doc.ini", reread));
  }
}

TEST(DocumentBindingTest, WhatTheListsShowAndHowTheyAreGathered) {
  gui::Form form(BindingWindow());
  MigrationDocument d = EveryField();
  // One element is the empty list: nothing shown, even with a name in it.
  d.ServerPairs = {{"ONLY", "ONE"}};
  d.EmailTo = {"only@corp.example.com"};
  // Elements without their first field are skipped; prune rules and drivers
  // need their first two fields, at any length.
  d.PopulateRules = {{}, {"", "Orphan"}, {"NEWSRV", "Color"}};
  d.PruneRules = {{"OLDSRV", "HP4"}};
  d.PrinterDrivers = {{}, {"Label", "", "x.dll", "LPT1:"}};
  // The two pop-up fields differ: the success one decides what is shown.
  d.UseClientPopup = true;
  d.UseSuccessClientPopup = false;
  FillFormFromDocument(form, d);
  EXPECT_TRUE(form["lstServerPairs"].lines().empty());
  EXPECT_TRUE(form["lstToEmailAddresses"].lines().empty());
  EXPECT_EQ(form["lstPopulate"].lines(), std::vector<std::string>{"NEWSRV >> Color"});
  EXPECT_EQ(form["lstManualPrune"].lines(), std::vector<std::string>{"OLDSRV >> HP4"});
  // A driver file alone is a driver the drivers page saves: shown, not lost.
  EXPECT_EQ(form["lstPrinterDrivers"].lines(),
            std::vector<std::string>{"Label >>  >> x.dll >> LPT1:"});
  EXPECT_FALSE(form["chkUseNotifyUser"].checked());

  // Gathered, an empty list is one empty element; the check box sets both.
  form["lstServerPairs"].SetLines({});
  form["chkUseNotifyUser"].SetChecked(true);
  form["optDefault(0)"].SetChecked(false);
  form["optDefault(1)"].SetChecked(true);
  form["optDefault(2)"].SetChecked(false);
  MigrationDocument gathered;
  GatherFormIntoDocument(form, gathered);
  EXPECT_EQ(gathered.ServerPairs, std::vector<document::ServerPair>{{}});
  EXPECT_EQ(gathered.EmailTo, std::vector<std::string>{""});
  EXPECT_TRUE(gathered.UseClientPopup);
  EXPECT_TRUE(gathered.UseSuccessClientPopup);
  EXPECT_EQ(gathered.DefaultType, 1);
  EXPECT_EQ(gathered.DefaultPrinterName, "") << "only the Force option names a printer";
  // A line without its separators still gives its fields, the rest empty.
  EXPECT_EQ(MixedPairOfLine("A >> B -> C"), (document::MixedPair{"A", "B", "", "C"}));
  EXPECT_EQ(PrinterDriverOfLine("P >> D"), (document::PrinterDriverRule{"P", "D", "", ""}));
}

TEST(DocumentBindingTest, ResetAfterEditingAndTheChangesThatMarkTheDocument) {
  gui::Form form(BindingWindow());
  WizardDocument wizard;
  WatchForChanges(form, wizard);
  wizard.DocumentPath = "C:\\docs\\move.ini";
  wizard.DocumentFileName = "move.ini";
  FillFormFromDocument(form, EveryField());
  EXPECT_TRUE(wizard.DocumentDirty) << "filling fires the change handlers; callers clear it";
  form["txtFromServer"].SetText("typed, not yet saved");

  ResetDocument(form, wizard);
  EXPECT_FALSE(wizard.DocumentDirty);
  EXPECT_EQ(wizard.DocumentFileName, "UNTITLED");
  EXPECT_EQ(wizard.DocumentPath, "");
  EXPECT_EQ(form["txtFromServer"].text(), "") << "the editors' boxes are emptied";
  EXPECT_TRUE(form["optDefault(0)"].checked());
  EXPECT_FALSE(form["optDefault(2)"].checked());
  MigrationDocument gathered;
  GatherFormIntoDocument(form, gathered);
  MigrationDocument expected;  // every list one empty element, every text empty
  expected.ShowProgress = true;
  expected.ServerPort = "25";
  expected.DebugOn = true;
  EXPECT_EQ(gathered, expected);

  struct Edit {
    const char* what;
    std::function<void()> make;
    bool marks;
  };
  const Edit edits[] = {
      {"typing a printer pair", [&] { form["txtFromPrinter"].SetText("x"); }, true},
      {"ticking a check box", [&] { form["chkAlwaysRun"].SetChecked(true); }, true},
      {"choosing an option", [&] { form["optMDACVersion(2)"].SetChecked(true); }, true},
      {"a list editor's change", [&] { form["lstPopulate"].SetLines({"A >> B"}); }, true},
      {"choosing the forced printer", [&] { form["cboForceDefault"].SetLines({"P"}); form["cboForceDefault"].SetValue(0); }, true},
      {"typing a domain", [&] { form["cboDomainName"].SetText("corp"); }, true},
      {"typing the driver share", [&] { form["txtDriverSharePath"].SetText("x"); }, true},
      // Not among the edits that mark the document.
      {"typing a server pair's from server", [&] { form["txtFromServer"].SetText("x"); }, false},
  };
  for (const Edit& edit : edits) {
    wizard.DocumentDirty = false;
    edit.make();
    EXPECT_EQ(wizard.DocumentDirty, edit.marks) << edit.what;
  }
}

}  // namespace
}  // namespace quillon::toolkit
