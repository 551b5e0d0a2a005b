// frmMain driven through its real widgets, found by their control names, on a
// simulated client with real driver files in a temporary folder; every dialog
// is scripted before the click that opens it.
#include "inventory/qt/frm_main.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <random>

#include "gui/gui_test_support.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_driver_info.h"

namespace quillon::inventory {
namespace {

namespace fs = std::filesystem;
using gui::testing::Named;
using platform::JoinPath;

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = (fs::temp_directory_path() / ("quillon-frmmain-" + std::to_string(seed()))).string();
    fs::create_directories(folder_);
    unidrv_ = Write("UNIDRV.DLL", "unidrv");
    tty_ = Write("TTY.DLL", "tty");
    AddPrinter("\\\\OLDSRV\\HP4", "HP LaserJet 4 PCL6", unidrv_);
    AddPrinter("Label Writer", "Generic / Text Only", tty_);
    state_.printers.push_back({"Locked", "", "", "USB001", "Gone", "", "", 64, {}});
    state_.failures.push_back({"OpenPrinter", "Locked", 5, {}});
    window_ = std::make_unique<frmMain>(source_, files_, &dialogs_);
  }
  void TearDown() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = JoinPath(folder_, name);
    EXPECT_TRUE(files_.WriteFileAtomic(path, content).ok);
    return path;
  }
  void AddPrinter(const std::string& name, const std::string& driver, const std::string& path) {
    state_.printers.push_back({name, "", "", "LPT1:", driver, "", "", 64, {}});
    state_.drivers.push_back({driver, path, "", "", "Windows x64", 3, false, {}});
  }
  // Shows the window and waits for its first activation to fill the list.
  void Start() {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QTRY_VERIFY_WITH_TIMEOUT(Bar()->isVisible(), 5000);
  }
  QTreeWidget* List() { return Named<QTreeWidget>(*window_, "lvwPrintDrivers"); }
  QProgressBar* Bar() { return Named<QProgressBar>(*window_, "prbMain"); }
  void Click(const char* button) {
    QPushButton* found = Named<QPushButton>(*window_, button);
    ASSERT_TRUE(found);
    QTest::mouseClick(found, Qt::LeftButton);
  }
  // Alt and the caption's underlined letter: the button goes down at once and
  // is clicked when it comes up again, a moment later.
  void PressMnemonic(const char* button, Qt::Key key) {
    QPushButton* found = Named<QPushButton>(*window_, button);
    ASSERT_TRUE(found);
    QTest::keyClick(window_.get(), key, Qt::AltModifier);
    ASSERT_TRUE(found->isDown()) << button << " did not take its mnemonic";
    QTRY_VERIFY_WITH_TIMEOUT(!found->isDown(), 5000);
  }
  std::vector<std::string> Column(int column) {
    std::vector<std::string> texts;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
      texts.push_back(List()->topLevelItem(i)->text(column).toStdString());
    }
    return texts;
  }
  std::vector<bool> Ticks() {
    std::vector<bool> ticks;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
      ticks.push_back(List()->topLevelItem(i)->checkState(0) == Qt::Checked);
    }
    return ticks;
  }
  // The user's tick: the row made current, then the space bar on the list.
  void Tick(int row) {
    List()->setCurrentItem(List()->topLevelItem(row));
    QTest::keyClick(List(), Qt::Key_Space);
  }
  std::string Content(const std::string& path) { return files_.ReadFile(path).value_or("<none>"); }

  std::string folder_, unidrv_, tty_;
  platform::sim::SimClientState state_;
  platform::sim::SimDriverInfoSource source_{state_};
  platform::HostFileSystem files_;
  gui::ScriptedDialogs dialogs_;
  std::unique_ptr<frmMain> window_;
};

TEST_F(FrmMainTest, ControlsCarryTheirNamesAndCaptions) {
  EXPECT_EQ(window_->objectName(), "frmMain");
  EXPECT_EQ(window_->windowTitle(), "Quillon Inventory");
  const std::pair<const char*, const char*> buttons[] = {
      {"cmdRefresh", "&Refresh"},         {"cmdSelectAll", "Select All"},
      {"cmdUnselectAll", "Unselect All"}, {"cmdCopyFiles", "&Copy Drivers"},
      {"cmdSaveText", "Save &Info"},      {"cmdExit", "E&xit"},
  };
  for (const auto& [name, caption] : buttons) {
    QPushButton* button = Named<QPushButton>(*window_, name);
    ASSERT_TRUE(button) << name;
    EXPECT_EQ(button->text().toStdString(), caption) << name;
  }
  QTreeWidgetItem* header = List()->headerItem();
  ASSERT_EQ(List()->columnCount(), 3);
  EXPECT_EQ(header->text(0), "Printer Name");
  EXPECT_EQ(header->text(1), "Driver Name");
  EXPECT_EQ(header->text(2), "Driver File");
  EXPECT_FALSE(Bar()->isVisible()) << "shown by the first operation";
}

TEST_F(FrmMainTest, TheFirstActivationFillsTheListOnce) {
  Start();
  EXPECT_EQ(Column(0), (std::vector<std::string>{"\\\\OLDSRV\\HP4", "Label Writer", "Locked"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"HP LaserJet 4 PCL6", "Generic / Text Only",
                                                 "ERROR: Opening printer: Locked"}));
  EXPECT_EQ(Column(2), (std::vector<std::string>{"UNIDRV.DLL", "TTY.DLL", ""}));
  EXPECT_EQ(List()->topLevelItem(0)->data(0, Qt::UserRole).toString().toStdString(), unidrv_);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(Bar()->minimum(), 0);
  EXPECT_EQ(Bar()->maximum(), 2);
  EXPECT_EQ(Bar()->value(), 0);

  // Another window takes the focus and gives it back: no second fill.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::qWait(50);
  EXPECT_EQ(List()->topLevelItemCount(), 3);
  EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(FrmMainTest, RefreshKeepsOneRowPerPrinterAndSeesChanges) {
  Start();
  Click("cmdRefresh");
  Click("cmdRefresh");
  EXPECT_EQ(List()->topLevelItemCount(), 3);
  AddPrinter("Plotter", "HP DesignJet", Write("DJ.DLL", "dj"));
  PressMnemonic("cmdRefresh", Qt::Key_R);
  EXPECT_EQ(Column(0),
            (std::vector<std::string>{"\\\\OLDSRV\\HP4", "Label Writer", "Locked", "Plotter"}));
  EXPECT_EQ(Bar()->maximum(), 3);
}

TEST_F(FrmMainTest, CheckBoxesFollowTheUserAndTheSelectButtons) {
  Start();
  Tick(1);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false}));
  Click("cmdSelectAll");
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));
  Tick(0);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true}));
  Click("cmdUnselectAll");
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false}));
  // A refresh empties the list first: its ticks go with it.
  Click("cmdSelectAll");
  Click("cmdRefresh");
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false}));
}

TEST_F(FrmMainTest, CopyDriversCopiesTheTickedFilesAndReportsTheFailedRow) {
  Start();
  const std::string share = JoinPath(folder_, "share");
  ASSERT_TRUE(files_.CreateFolders(share).ok);

  dialogs_.SetNextFolder("");  // the user cancels the folder dialog
  Click("cmdCopyFiles");
  EXPECT_TRUE(fs::is_empty(share));

  Tick(0);
  dialogs_.SetNextFolder(share);
  PressMnemonic("cmdCopyFiles", Qt::Key_C);
  EXPECT_EQ(Content(JoinPath(share, "UNIDRV.DLL")), "unidrv");
  EXPECT_FALSE(files_.FileExists(JoinPath(share, "TTY.DLL")));
  EXPECT_EQ(dialogs_.asked.size(), 2u);

  Tick(2);  // the printer that could not be opened
  dialogs_.SetNextFolder(share);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  Click("cmdCopyFiles");
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "folder [Please select a folder.]\n"
            "folder [Please select a folder.]\n"
            "folder [Please select a folder.]\n"
            "message [Copy Error] Critical OK: Error copying driver files.||ERROR NUMBER: 2|"
            "ERROR DESCRIPTION: The printer Locked has no driver file.\n");
  EXPECT_EQ(Bar()->value(), Bar()->minimum());
  EXPECT_EQ(Bar()->maximum(), 3);
  EXPECT_EQ(dialogs_.unscripted, 0);
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
}

TEST_F(FrmMainTest, SaveInfoWritesTheTickedRowsWithTheDialogsSettings) {
  Start();
  Tick(1);
  Tick(2);
  const std::string csv = JoinPath(folder_, "drivers.csv");
  dialogs_.SetNextFileName(csv);
  PressMnemonic("cmdSaveText", Qt::Key_I);
  EXPECT_EQ(Content(csv),
            "Printer Name,Driver Name,Driver Path\r\n"
            "Label Writer,Generic / Text Only,TTY.DLL\r\n"
            "Locked,ERROR: Opening printer: Locked,\r\n");
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "save [Save Print Driver Info file As ...] extension=csv file=Default.csv "
            "filter=Comma Seperated Values(*.csv)|*.csv prompt-overwrite\n");

  dialogs_.SetNextFileName("");  // cancelled: the file stays as it was
  Click("cmdSaveText");
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_NE(Content(csv).find("Label Writer"), std::string::npos);
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(FrmMainTest, ExitClosesTheWindow) {
  Start();
  // A stray Escape does not drop the user's ticks; the close box closes.
  Tick(0);
  QTest::keyClick(List(), Qt::Key_Escape);
  QTest::qWait(50);
  EXPECT_TRUE(window_->isVisible()) << "Escape closed the window";
  window_->close();
  EXPECT_FALSE(window_->isVisible());
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Click("cmdExit");
  EXPECT_FALSE(window_->isVisible());
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  PressMnemonic("cmdExit", Qt::Key_X);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(dialogs_.asked.empty());
}

}  // namespace
}  // namespace quillon::inventory
