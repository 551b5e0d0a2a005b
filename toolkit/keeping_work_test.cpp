// The administrator's work is never lost, changed or misstated: documents
// opened and saved unchanged keep their bytes, lists the engine would cut are
// said and never cut silently, every save path checks what the engine cannot
// use, and a failed save is never taken for a saved document.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_folder.h"
#include "toolkit/field_checks.h"
#include "toolkit/walk_test_support.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::MessageAnswer;

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class KeepingWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = quillon::TestFolder("keeping-");
    fs::create_directories(folder_);
    Make();
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Make() {
    wizard_ = std::make_unique<Wizard>(Wizard::Environment{
        dialogs_, files_, folder_.string(), folder_.string(), {},
        [](gui::Form& dialog) {
          dialog.Click("optUseManualConfiguration");
          dialog.Click("cmdSelect");
        },
        {},
        {}});
    wizard_->Load();
    ASSERT_TRUE(wizard_->Start(""));
    dialogs_.asked.clear();
  }
  gui::Form& W() { return wizard_->form(); }
  gui::ControlModel& M(const std::string& key) { return W()[key]; }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  bool Dirty() { return wizard_->document().DocumentDirty; }
  std::string Said() {
    std::string said = gui::Transcript(dialogs_.asked);
    dialogs_.asked.clear();
    return said;
  }
  void AddServerPair(const std::string& from, const std::string& to) {
    W().Click("cmdNewServerPair");
    M("txtFromServer").SetText(from);
    M("txtToServer").SetText(to);
    W().Click("cmdSaveServerPair");
  }
  // Opens the file, shows every page of its kind, and saves it over itself.
  void OpenShowEveryPageAndSaveOver(const std::string& path) {
    ASSERT_TRUE(wizard_->commands().OpenPath(path)) << Said();
    for (const auto& kind : testing::DocumentKinds()) {
      if (kind.variant != wizard_->navigation().variant()) continue;
      for (const Page page : kind.pages) wizard_->navigation().ShowPage(page);
    }
    EXPECT_FALSE(Dirty()) << path << ": showing the pages changed nothing";
    dialogs_.SetNextFileName(path);
    EXPECT_TRUE(wizard_->commands().SaveDocumentAs()) << Said();
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::unique_ptr<Wizard> wizard_;
};

TEST_F(KeepingWorkTest, EveryDocumentOpenedAndSavedUnchangedKeepsItsBytes) {
  std::vector<fs::path> documents;
  for (const auto& entry : fs::recursive_directory_iterator(QUILLON_EXAMPLES_DIR)) {
    if (entry.path().extension() == ".ini") {
      documents.push_back(folder_ / entry.path().filename());
      fs::copy_file(entry.path(), documents.back(), fs::copy_options::overwrite_existing);
    }
  }
  ASSERT_GE(documents.size(), 4U);
  // Documents the toolkit writes: every editor used, a driver saved with a
  // file alone and one with an empty port, a forced default, a message on
  // two lines, a prune rule of one item.
  AddServerPair("OLDPS01", "NEWPS01");
  W().Click("cmdNewPrinter");
  M("txtFromPrinter").SetText("HP4");
  M("txtToPrinter").SetText("Floor3-Mono");
  W().Click("cmdPrinterSave");
  W().Click("cmdPopulateNew");
  M("txtPopulateServerName").SetText("NEWPS01");
  M("txtPopulatePrinterName").SetText("Floor3-Mono");
  W().Click("cmdPopulateSave");
  M("cboPruneType").SetValue(3);  // Server Only
  M("txtPruneServerName").SetText("OLDPS01");
  W().Click("cmdPruneSave");
  wizard_->navigation().ShowPage(Page::Drivers);
  ASSERT_EQ(M("lstPrinterDrivers").lines().size(), 1U);
  M("lstPrinterDrivers").SetValue(0);
  W().Click("lstPrinterDrivers");
  M("txtDriverFileName").SetText("hp4.inf");
  W().Click("cmdSavePrinterDriver");
  M("txtDriverSharePath").SetText("\\\\fs01\\drivers");
  M("optDefault(0)").SetChecked(false);
  M("optDefault(2)").SetChecked(true);
  wizard_->navigation().ShowPage(Page::SetDefault);
  M("cboForceDefault").SetValue(0);
  M("chkUseNotifyUser").SetChecked(true);
  M("txtSucessMessage").SetText("Moved.\r\nThank you.");
  dialogs_.SetNextFileName(Path("written.ini"));
  ASSERT_TRUE(wizard_->commands().SaveDocumentAs()) << Said();
  documents.push_back(Path("written.ini"));
  document::MigrationDocument written;
  ASSERT_FALSE(document::ReadDocument(files_, Path("written.ini"), written));
  ASSERT_FALSE(written.PrinterDrivers.empty());
  EXPECT_EQ(written.PrinterDrivers.front(),
            (document::PrinterDriverRule{"Floor3-Mono", "", "hp4.inf", ""}));
  EXPECT_EQ(written.DriverSharePath, "\\\\fs01\\drivers") << "typed, so saved";
  EXPECT_EQ(written.DefaultPrinterName, "\\\\NEWPS01\\Floor3-Mono");

  for (const fs::path& document : documents) {
    const std::string before = Bytes(document);
    OpenShowEveryPageAndSaveOver(document.string());
    EXPECT_EQ(Bytes(document), before) << document;
    // Twice, so a placeholder read back is not written as a name either.
    OpenShowEveryPageAndSaveOver(document.string());
    EXPECT_EQ(Bytes(document), before) << document;
  }
  // One change rewrites only what changed: the prune list keeps its text.
  ASSERT_TRUE(wizard_->commands().OpenPath((folder_ / "manual.ini").string()));
  M("txtEmailSubject").SetText("Printer migration, fourth floor");
  ASSERT_TRUE(wizard_->commands().SaveDocument());
  const std::string saved = Bytes(folder_ / "manual.ini");
  EXPECT_NE(saved.find("EmailSubject=Printer migration, fourth floor\r\n"), std::string::npos);
  EXPECT_NE(saved.find("ServerNames=OLDPS01,.\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("Error in"), std::string::npos) << saved;
}

TEST_F(KeepingWorkTest, ListsLongerThanTheEngineReadsAreSaidNeverCutSilently) {
  // 3,000 pairs: far beyond the characters the engine reads of a list.
  document::MigrationDocument record = NewDocumentRecord();
  record.UseManualDefinitions = true;
  record.ServerPairs = {{}};
  for (int i = 0; i < 3000; ++i) {
    record.ServerPairs.push_back({"OLDSRV" + std::to_string(i), "NEWSRV" + std::to_string(i)});
  }
  ASSERT_FALSE(document::WriteDocument(files_, Path("long.ini"), record));
  const std::string before = Bytes(folder_ / "long.ini");
  // The pairs the engine reads whole: as many names as fit its characters.
  std::size_t length = 0, fit = 0;
  while (fit < 3000) {
    const std::size_t more = (fit ? 1 : 0) + ("OLDSRV" + std::to_string(fit)).size();
    if (length + more > document::kEngineListCharacters) break;
    length += more;
    ++fit;
  }
  ASSERT_GT(fit, 900U);
  const std::string beyond = std::to_string(3000 - fit);

  // Cancel opens nothing; No keeps every item, and then no save writes them.
  dialogs_.SetNextAnswer(MessageAnswer::Cancel);
  EXPECT_FALSE(wizard_->commands().OpenPath(Path("long.ini")));
  EXPECT_EQ(wizard_->document().DocumentPath, "");
  ASSERT_EQ(dialogs_.asked.size(), 1U);
  EXPECT_EQ(dialogs_.asked[0].title, kListsTooLongTitle);
  EXPECT_NE(dialogs_.asked[0].text.find("Servers: " + beyond.substr(0, 1) + "," + beyond.substr(1) +
                                        " of its 3,000 items"),
            std::string::npos)
      << dialogs_.asked[0].text;
  dialogs_.asked.clear();
  dialogs_.SetNextAnswer(MessageAnswer::No);
  ASSERT_TRUE(wizard_->commands().OpenPath(Path("long.ini")));
  EXPECT_EQ(M("lstServerPairs").lines().size(), 3000U);
  EXPECT_FALSE(Dirty());
  AddServerPair("ONE", "MORE");
  dialogs_.SetNextAnswer(MessageAnswer::Yes);  // the Save? question at New
  W().Click("ID_BTN_NEW");
  EXPECT_NE(Said().find("The list of server pairs is too long for the Quillon Engine: its key "
                        "FromServers in [MANUAL DEFINITIONS SERVERS] would be"),
            std::string::npos);
  EXPECT_TRUE(Dirty()) << "the refused save left the work unsaved";
  EXPECT_EQ(Bytes(folder_ / "long.ini"), before);
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::Servers);

  // Yes leaves out what the engine does not read whole; the document is
  // changed until saved, and what is saved the engine reads whole.
  Make();
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  ASSERT_TRUE(wizard_->commands().OpenPath(Path("long.ini")));
  EXPECT_EQ(M("lstServerPairs").lines().size(), fit);
  EXPECT_TRUE(Dirty());
  ASSERT_TRUE(wizard_->commands().SaveDocument()) << Said();
  document::MigrationDocument read;
  ASSERT_FALSE(document::ReadDocument(files_, Path("long.ini"), read));
  EXPECT_EQ(read.ServerPairs.size(), fit);
  EXPECT_EQ(read.ServerPairs.back(), (document::ServerPair{"OLDSRV" + std::to_string(fit - 1),
                                                           "NEWSRV" + std::to_string(fit - 1)}));
  // One more pair would be cut by the engine: refused, with the list named.
  AddServerPair("OLDSRV-LAST", "NEWSRV-LAST");
  W().Click("ID_BTN_SAVE");
  const std::string items = std::to_string(fit + 1);
  EXPECT_NE(Said().find("(" + items.substr(0, 1) + "," + items.substr(1) + " items)"),
            std::string::npos);
  EXPECT_TRUE(Dirty());
}

TEST_F(KeepingWorkTest, EverySavePathRefusesWhatTheEngineCannotUse) {
  // The port as the engine reads it: decimal digits only.
  for (const char* port : {"25", " 1025 ", "70000"}) EXPECT_TRUE(IsNumericText(port)) << port;
  for (const char* port : {"25a", "nan", "inf", "0x19", "2.5e1", "-25", "+25", ""}) {
    EXPECT_FALSE(IsNumericText(port)) << port;
  }
  AddServerPair("OLDSRV", "NEWSRV");
  M("chkUseSMTP").SetChecked(true);
  M("txtSMTPServerPort").SetText("25a");
  const std::string refused =
      "message [Invalid Port Number] Information OK: Incorrect port number. Please enter a "
      "valid port number (i.e. 1025)\n";
  // The close prompt's save: refused, the window stays, nothing written.
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName(Path("port.ini"));
  bool closed = false;
  W().OnClose([&closed] { closed = true; });
  W().Click("ID_BTN_EXIT");
  EXPECT_FALSE(closed);
  EXPECT_FALSE(fs::exists(Path("port.ini")));
  std::string said = Said();
  EXPECT_NE(said.find(refused), std::string::npos) << said;
  EXPECT_EQ(wizard_->navigation().CurrentPage(), Page::SmtpMail);
  EXPECT_TRUE(M("txtSMTPServerPort").focused());
  // The toolbar's Save As, and the same with a sender without "@".
  dialogs_.SetNextFileName(Path("port.ini"));
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_NE(Said().find(refused), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("port.ini")));
  M("txtSMTPServerPort").SetText("0x19");
  dialogs_.SetNextFileName(Path("port.ini"));
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_NE(Said().find(refused), std::string::npos);
  M("txtSMTPServerPort").SetText("25");
  M("txtSMTPEmailAddress").SetText("quillon");
  dialogs_.SetNextFileName(Path("port.ini"));
  W().Click("ID_BTN_SAVE_AS");
  EXPECT_NE(Said().find("[Invalid Email]"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("port.ini")));
  // With e-mail switched off, the fields it greys hold no save.
  M("chkUseSMTP").SetChecked(false);
  dialogs_.SetNextFileName(Path("port.ini"));
  W().Click("ID_BTN_SAVE_AS");
  said = Said();
  EXPECT_TRUE(fs::exists(Path("port.ini"))) << said;
  EXPECT_EQ(said.find("[Invalid Email]"), std::string::npos) << said;
  fs::remove(Path("port.ini"));
  M("chkUseSMTP").SetChecked(true);
  M("txtSMTPEmailAddress").SetText("quillon@example.com");
  dialogs_.SetNextFileName(Path("port.ini"));
  W().Click("ID_BTN_SAVE_AS");
  said = Said();
  EXPECT_TRUE(fs::exists(Path("port.ini"))) << said;

  // The editors refuse names the engine cannot use, naming the field.
  const auto saveServers = [this](const std::string& from, const std::string& to) {
    const std::vector<std::string> before = M("lstServerPairs").lines();
    AddServerPair(from, to);
    EXPECT_EQ(M("lstServerPairs").lines(), before) << from << " -> " << to;
    return Said();
  };
  EXPECT_EQ(saveServers("\\\\OLDSRV2", "NEWSRV"),
            "message [Save Error] Critical OK: The From Server name \"\\\\OLDSRV2\" holds a "
            "backslash. Please enter the server's name alone, without \"\\\\\" (for example "
            "OLDSRV).\n");
  EXPECT_NE(saveServers("OLDSRV2", "NEWSRV\\").find("The To Server name \"NEWSRV\\\" ends with a "
                                                    "backslash"),
            std::string::npos);
  EXPECT_NE(saveServers("OLD,SRV2", "NEWSRV").find("holds a comma"), std::string::npos);
  // A from-name already moved, in any letter case, is refused.
  EXPECT_EQ(saveServers("oldsrv", "OTHERSRV"),
            "message [Save Error] Critical OK: The list already moves \"OLDSRV\" (the line "
            "\"OLDSRV -> NEWSRV\"). Please change that line instead of adding another.\n");
  W().Click("cmdNewPrinter");
  M("txtFromPrinter").SetText("Floor 2, East");
  M("txtToPrinter").SetText("Floor2-East");
  W().Click("cmdPrinterSave");
  EXPECT_NE(Said().find("The From Printer name \"Floor 2, East\" holds a comma"),
            std::string::npos);
  EXPECT_TRUE(M("lstPrinterPairs").lines().empty());
  // Changing the chosen line itself is no duplicate.
  M("lstServerPairs").SetValue(0);
  W().Click("lstServerPairs");
  M("txtToServer").SetText("NEWSRV2");
  W().Click("cmdSaveServerPair");
  EXPECT_EQ(M("lstServerPairs").lines(), std::vector<std::string>{"OLDSRV -> NEWSRV2"});
}

TEST_F(KeepingWorkTest, AFailedSaveIsNeverDeployedAndNoDocumentInheritsAnother) {
  // Another document's forced printer is no default of the next one.
  AddServerPair("OLDSRV", "NEWSRV");
  M("optDefault(0)").SetChecked(false);
  M("optDefault(2)").SetChecked(true);
  M("cboForceDefault").SetLines({"\\\\NEWSRV\\Forced"});
  M("cboForceDefault").SetValue(0);
  dialogs_.SetNextFileName(Path("forced.ini"));
  ASSERT_TRUE(wizard_->commands().SaveDocumentAs());
  W().Click("ID_BTN_NEW");
  EXPECT_EQ(M("cboForceDefault").text(), "");
  EXPECT_TRUE(M("cboForceDefault").lines().empty());
  AddServerPair("A", "B");
  M("optDefault(0)").SetChecked(false);
  M("optDefault(2)").SetChecked(true);
  dialogs_.SetNextFileName(Path("plain.ini"));
  ASSERT_TRUE(wizard_->commands().SaveDocumentAs());
  document::MigrationDocument read;
  ASSERT_FALSE(document::ReadDocument(files_, Path("plain.ini"), read));
  EXPECT_EQ(read.DefaultPrinterName, "");
  ASSERT_TRUE(wizard_->commands().OpenPath(Path("forced.ini")));
  EXPECT_EQ(M("cboForceDefault").lines(), std::vector<std::string>{"\\\\NEWSRV\\Forced"});
  ASSERT_TRUE(wizard_->commands().OpenPath(Path("plain.ini")));
  EXPECT_EQ(M("cboForceDefault").text(), "");
  EXPECT_EQ(M("cboForceDefault").lines(), std::vector<std::string>{""});

  // A save that did not write leaves the work unsaved: Deploy Now refuses it.
  fs::create_directories(folder_ / "share");
  M("txtNetworkSharePath").SetText((folder_ / "share").string());
  fs::create_directories(Path("plain.ini.locked"));
  dialogs_.SetNextFileName(Path("plain.ini.locked"));
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(wizard_->commands().SaveDocumentAs());
  EXPECT_TRUE(Dirty());
  Said();
  EXPECT_FALSE(wizard_->DeployNow());
  EXPECT_EQ(Said(),
            "message [Error] Critical OK: This INI file needs to be saved. Please save your INI "
            "file before trying to deploy.\n");
}

}  // namespace
}  // namespace quillon::toolkit
