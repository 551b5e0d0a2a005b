// Every prompt path of New, Open, Save, Save As and the close prompt, with
// scripted answers and real files: what is asked, what is written, and what
// the wizard shows afterwards.
#include "toolkit/file_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_folder.h"

namespace quillon::toolkit {
namespace {

using gui::MessageAnswer;

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = quillon::TestFolder("toolkit-");
    std::filesystem::create_directories(folder_);
    gui::FormDescription window;
    window.name = "frmWizard";
    window.controls = BoundControls();
    wizard_ = std::make_unique<gui::Form>(window);
    WatchForChanges(*wizard_, document_);
    FileCommands::Hooks hooks;
    hooks.askNewType = [this] { ++typeDialogs_; return nextType_; };
    hooks.rebuildTree = [this] { ++treeBuilds_; };
    hooks.checkBeforeSave = [this] { return checkPasses_; };
    hooks.checkBeforeWrite = [this](const document::MigrationDocument&) { return checkWrite_; };
    commands_ = std::make_unique<FileCommands>(*wizard_, dialogs_, files_, document_, hooks);
    ResetDocument(*wizard_, document_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  document::MigrationDocument Read(const std::string& path) {
    document::MigrationDocument read;
    EXPECT_FALSE(document::ReadDocument(files_, path, read)) << path;
    return read;
  }
  // The administrator types into a field.
  void Edit(const std::string& subject) { (*wizard_)["txtEmailSubject"].SetText(subject); }

  std::filesystem::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  WizardDocument document_;
  std::unique_ptr<gui::Form> wizard_;
  std::unique_ptr<FileCommands> commands_;
  std::optional<DocumentType> nextType_ = DocumentType::Manual;
  bool checkPasses_ = true;
  bool checkWrite_ = true;
  int typeDialogs_ = 0, treeBuilds_ = 0;
};

TEST_F(FileCommandsTest, SaveAndSaveAsAskWhatTheyMustAndWriteTheControls) {
  // Without changes Save does nothing, even for a document never saved.
  commands_->SaveFromToolbar();
  EXPECT_TRUE(dialogs_.asked.empty());
  EXPECT_EQ(wizard_->caption(), "Quillon - Deployment Toolkit [UNTITLED]");

  // A never-saved document asks for a file; a cancel writes nothing.
  Edit("First");
  dialogs_.SetNextFileName("");
  commands_->SaveFromToolbar();
  EXPECT_TRUE(document_.DocumentDirty);
  EXPECT_EQ(document_.DocumentPath, "");
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].save, SaveAsOptions());
  EXPECT_EQ(dialogs_.asked[0].save.title, "Save INI file As ...");
  EXPECT_EQ(dialogs_.asked[0].save.filter, "Quillon (*.ini)|*.ini");

  dialogs_.SetNextFileName(Path("Office Move.ini"));
  commands_->SaveFromToolbar();
  EXPECT_FALSE(document_.DocumentDirty);
  EXPECT_EQ(document_.DocumentFileName, "Office Move.ini");
  EXPECT_EQ(wizard_->caption(), "Quillon - Deployment Toolkit [Office Move.ini]");
  EXPECT_EQ(Read(Path("Office Move.ini")).EmailSubject, "First");

  // With a path Save writes without asking; a refused check saves nothing.
  Edit("Second");
  checkPasses_ = false;
  commands_->SaveFromToolbar();
  EXPECT_EQ(Read(Path("Office Move.ini")).EmailSubject, "First");
  checkPasses_ = true;
  commands_->SaveFromToolbar();
  EXPECT_EQ(Read(Path("Office Move.ini")).EmailSubject, "Second");
  EXPECT_EQ(dialogs_.asked.size(), 2u);

  // Save As always asks, even without changes, and moves the document.
  dialogs_.SetNextFileName(Path("Copy.ini"));
  commands_->SaveAsFromToolbar();
  EXPECT_EQ(document_.DocumentPath, Path("Copy.ini"));
  EXPECT_EQ(Read(Path("Copy.ini")).EmailSubject, "Second");

  // A file that cannot be written says so; the work stays unsaved, and the
  // document keeps the file it was last saved to.
  Edit("Third");
  dialogs_.SetNextFileName(Path("missing folder/x.ini"));
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(commands_->SaveDocumentAs());
  ASSERT_FALSE(dialogs_.asked.empty());
  EXPECT_EQ(dialogs_.asked.back().title, "Write Error");
  EXPECT_EQ(dialogs_.asked.back().icon, gui::MessageIcon::Critical);
  EXPECT_TRUE(document_.DocumentDirty);
  EXPECT_EQ(document_.DocumentPath, Path("Copy.ini"));
  EXPECT_EQ(document_.DocumentFileName, "Copy.ini");
  // So is a save over a file that refuses writing.
  std::filesystem::create_directories(Path("locked"));
  document_.DocumentPath = Path("locked");
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(commands_->SaveDocument());
  EXPECT_EQ(dialogs_.asked.back().title, "Write Error");
  EXPECT_TRUE(document_.DocumentDirty);
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(FileCommandsTest, NewAndOpenOfferToSaveFirstAndACancelStopsThem) {
  // New with changes, Yes, Save As cancelled: nothing changes, no type dialog.
  Edit("Unsaved");
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName("");
  commands_->NewDocument();
  EXPECT_EQ(typeDialogs_, 0);
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "Unsaved");
  EXPECT_TRUE(document_.DocumentDirty);
  EXPECT_EQ(dialogs_.asked[0].text,
            "Do you want to save your changes before creating a new INI file?");
  EXPECT_EQ(dialogs_.asked[0].title, "Save?");
  EXPECT_EQ(dialogs_.asked[0].buttons, gui::MessageButtons::YesNo);

  // No: the new document replaces it with the defaults and the chosen type.
  dialogs_.SetNextAnswer(MessageAnswer::No);
  nextType_ = DocumentType::ActiveDirectory;
  commands_->NewDocument();
  EXPECT_EQ(typeDialogs_, 1);
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "");
  EXPECT_TRUE(document_.record.UseActiveDirectory);
  EXPECT_FALSE(document_.record.UseManualDefinitions);
  EXPECT_FALSE(document_.DocumentDirty);
  EXPECT_EQ(wizard_->caption(), "Quillon - Deployment Toolkit [UNTITLED]");

  // A cancelled type dialog leaves the document as it was, unsaved edits
  // included: they are still there and still unsaved.
  Edit("Kept");
  dialogs_.SetNextAnswer(MessageAnswer::No);
  nextType_.reset();
  commands_->NewDocument();
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "Kept");
  EXPECT_TRUE(document_.DocumentDirty);
  EXPECT_TRUE(document_.record.UseActiveDirectory);

  // Open: Yes with a path saves first; a cancelled Open dialog keeps it all.
  document::MigrationDocument other = NewDocumentRecord();
  other.UseManualDefinitions = true;
  other.EmailSubject = "From the other file";
  other.ServerPairs = {{}, {"OLDSRV", "NEWSRV"}};
  ASSERT_FALSE(document::WriteDocument(files_, Path("other.ini"), other));
  document_.DocumentPath = Path("current.ini");
  Edit("Current");
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName("");
  commands_->OpenDocument();
  EXPECT_EQ(Read(Path("current.ini")).EmailSubject, "Current");
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "Current");
  EXPECT_EQ(dialogs_.asked.back().save, OpenOptions());

  const int builds = treeBuilds_;
  dialogs_.SetNextFileName(Path("other.ini"));
  commands_->OpenDocument();
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "From the other file");
  EXPECT_EQ((*wizard_)["lstServerPairs"].lines(), std::vector<std::string>{"OLDSRV -> NEWSRV"});
  EXPECT_TRUE(document_.record.UseManualDefinitions);
  EXPECT_FALSE(document_.DocumentDirty);
  EXPECT_EQ(treeBuilds_, builds + 1);
  EXPECT_EQ(wizard_->caption(), "Quillon - Deployment Toolkit [other.ini]");

  // A file that cannot be opened says what went wrong and changes nothing:
  // not the controls, not the name Save would write to.
  const auto unchanged = [this](const char* what) {
    EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "From the other file") << what;
    EXPECT_EQ(document_.DocumentPath, Path("other.ini")) << what;
    EXPECT_EQ(wizard_->caption(), "Quillon - Deployment Toolkit [other.ini]") << what;
    EXPECT_EQ(dialogs_.asked.back().title, kOpenErrorTitle) << what;
  };
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(commands_->OpenPath(Path("absent.ini")));
  EXPECT_EQ(dialogs_.asked.back().text,
            "The INI file " + Path("absent.ini") + " could not be found. Nothing was opened.");
  unchanged("a missing file");
  std::ofstream(Path("notes.ini")) << "[NOTES]\nnothing=here\n";
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  dialogs_.SetNextFileName(Path("notes.ini"));
  commands_->OpenDocument();
  EXPECT_EQ(dialogs_.asked.back().text,
            "The file " + Path("notes.ini") +
                " is not a Quillon INI file, or it is damaged: a setting it must hold is missing "
                "or unreadable. Nothing was opened.");
  unchanged("not a document");
  std::ofstream(Path("uneven.ini")) << "[MANUAL DEFINITIONS SERVERS]\nFromServers=A\n"
                                       "ToServers=B,C,D\n";
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(commands_->OpenPath(Path("uneven.ini")));
  EXPECT_NE(dialogs_.asked.back().text.find("[MANUAL DEFINITIONS SERVERS] key ToServers holds 3 "
                                            "items but the list has 2 records."),
            std::string::npos)
      << dialogs_.asked.back().text;
  unchanged("a damaged document");
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(FileCommandsTest, TheClosePromptSavesClosesOrKeepsTheWindow) {
  EXPECT_TRUE(commands_->MayClose()) << "nothing to save: no question";
  EXPECT_TRUE(dialogs_.asked.empty());

  Edit("Work");
  dialogs_.SetNextAnswer(MessageAnswer::Cancel);
  EXPECT_FALSE(commands_->MayClose());
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "Work");
  EXPECT_EQ(dialogs_.asked[0].text, "You have unsaved work, do you want to save before exiting?");
  EXPECT_EQ(dialogs_.asked[0].buttons, gui::MessageButtons::YesNoCancel);
  EXPECT_EQ(dialogs_.asked[0].icon, gui::MessageIcon::Question);

  dialogs_.SetNextAnswer(MessageAnswer::No);
  EXPECT_TRUE(commands_->MayClose());

  // Yes for a never-saved document asks for a file; cancelling it, or a save
  // that fails or is refused, returns to the window with the work intact.
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName("");
  EXPECT_FALSE(commands_->MayClose());
  EXPECT_TRUE(document_.DocumentDirty);
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName(Path("no folder/closing.ini"));
  dialogs_.SetNextAnswer(MessageAnswer::Ok);
  EXPECT_FALSE(commands_->MayClose());
  EXPECT_EQ(dialogs_.asked.back().title, "Write Error");
  checkWrite_ = false;
  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName(Path("closing.ini"));
  EXPECT_FALSE(commands_->MayClose());
  EXPECT_FALSE(std::filesystem::exists(Path("closing.ini")));
  checkWrite_ = true;
  EXPECT_EQ((*wizard_)["txtEmailSubject"].text(), "Work");

  dialogs_.SetNextAnswer(MessageAnswer::Yes);
  dialogs_.SetNextFileName(Path("closing.ini"));
  EXPECT_TRUE(commands_->MayClose());
  EXPECT_EQ(Read(Path("closing.ini")).EmailSubject, "Work");
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
}

}  // namespace
}  // namespace quillon::toolkit
