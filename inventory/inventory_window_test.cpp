// frmMain's behaviour on its controls' models, without any window: what the
// front ends show is what these models hold.
#include "inventory/inventory_window.h"

#include <gtest/gtest.h>

#include <set>

#include "gui/scripted_dialogs.h"
#include "inventory/inventory_test_support.h"

namespace quillon::inventory {
namespace {

using testing::FakeDriverSource;

class InventoryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_.printers.push_back(
        {"\\\\OLDSRV\\HP4", 0, 0, {3, "HP 4", "x64", "C:\\d\\UNIDRV.DLL", "", ""}, 0});
    source_.printers.push_back({"Locked", 5, 0, {}, 0});
  }
  std::vector<gui::ListRow> Rows() { return window_.form()["lvwPrintDrivers"].rows(); }

  FakeDriverSource source_;
  platform::HostFileSystem files_;
  gui::ScriptedDialogs dialogs_;
  InventoryWindow window_{source_, files_, dialogs_};
};

TEST_F(InventoryWindowTest, TheDescriptionNamesEveryControlOnceWithItsCaption) {
  const gui::FormDescription described = InventoryWindowDescription();
  EXPECT_EQ(described.name, "frmMain");
  EXPECT_EQ(described.caption, "Quillon Inventory");
  std::vector<std::string> keys;
  std::set<char> mnemonics;
  for (const gui::ControlDescription& control : described.controls) {
    keys.push_back(gui::ControlKey(control));
    const auto amp = control.caption.find('&');
    if (amp != std::string::npos) {
      EXPECT_TRUE(
          mnemonics.insert(static_cast<char>(std::tolower(control.caption[amp + 1]))).second)
          << control.caption << " shares its mnemonic";
    }
    // Inside the window as designed.
    EXPECT_LE(control.place.x + control.place.width, described.width) << control.name;
    EXPECT_LE(control.place.y + control.place.height, described.height) << control.name;
  }
  // The tab order: the list, then the buttons from left to right.
  EXPECT_EQ(keys,
            (std::vector<std::string>{"lvwPrintDrivers", "prbMain", "cmdRefresh", "cmdSelectAll",
                                      "cmdUnselectAll", "cmdCopyFiles", "cmdSaveText", "cmdExit"}));
  EXPECT_EQ(described.controls[0].columns,
            (std::vector<std::string>{"Printer Name", "Driver Name", "Driver File"}));
  // Escape presses nothing: a stray key must not drop the user's ticks.
  EXPECT_EQ(described.cancelControl, "");
}

TEST_F(InventoryWindowTest, TheFirstActivationFillsTheModelsAndOneOperationRunsAtATime) {
  gui::Form& form = window_.form();
  EXPECT_FALSE(form["prbMain"].visible());
  // A click that arrives while the bar lets events through is not obeyed:
  // the refresh it would start would run inside the one that is running.
  int nested = 0;
  form.SetEventProcessor([&] {
    ++nested;
    form.Click("cmdRefresh");
  });
  form.Activate();
  form.Activate();
  EXPECT_GT(nested, 0);
  EXPECT_TRUE(form["prbMain"].visible());
  EXPECT_EQ(Rows(), (std::vector<gui::ListRow>{
                        {{"\\\\OLDSRV\\HP4", "HP 4", "UNIDRV.DLL"}, "C:\\d\\UNIDRV.DLL", false},
                        {{"Locked", "ERROR: Opening printer: Locked", ""}, "", false}}));
  EXPECT_EQ(form["prbMain"].maximum(), 1);

  form.SetEventProcessor(nullptr);
  // The user's tick reaches the logic through the model, where the buttons work
  // on it.
  form["lvwPrintDrivers"].SetRowChecked(0, true);
  EXPECT_TRUE(window_.list().Row(0).checked);
  form.Click("cmdUnselectAll");
  EXPECT_FALSE(form["lvwPrintDrivers"].rows()[0].checked);
  form.Click("cmdSelectAll");
  EXPECT_TRUE(form["lvwPrintDrivers"].rows()[1].checked);
  form.Click("cmdRefresh");
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_FALSE(Rows()[0].checked);

  int closed = 0;
  form.OnClose([&] { ++closed; });
  form.Click("cmdExit");
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(dialogs_.asked.empty());
}

// Dialogs that note, when a message box comes up, whether the window had
// already closed, and whose folder dialog may fail.
class WatchingDialogs : public gui::ScriptedDialogs {
 public:
  gui::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                    gui::MessageIcon icon, gui::MessageButtons buttons) override {
    closedAtMessage.push_back(*closed);
    return ScriptedDialogs::ShowMessageBox(title, text, icon, buttons);
  }
  std::string BrowseForFolder() override {
    if (failFolder) throw std::runtime_error("no shell");
    return ScriptedDialogs::BrowseForFolder();
  }
  const int* closed = nullptr;
  std::vector<int> closedAtMessage;
  bool failFolder = false;
};

TEST(InventoryWindowCloseTest, AClosingDuringAnOperationWaitsForItsEndAndItsError) {
  FakeDriverSource source;
  source.printers.push_back({"Locked", 5, 0, {}, 0});
  platform::HostFileSystem files;
  WatchingDialogs dialogs;
  int closed = 0;
  dialogs.closed = &closed;
  InventoryWindow window(source, files, dialogs);
  gui::Form& form = window.form();
  form.OnClose([&] { ++closed; });
  form.Activate();
  form.Click("cmdSelectAll");
  ASSERT_TRUE(form["lvwPrintDrivers"].rows().at(0).checked);

  // The user closes the window while the copy runs; its error must still be
  // shown by the window, which closes once the copy is over.
  bool refused = false;
  form.SetEventProcessor([&] {
    if (!refused) refused = !form.Close();
  });
  dialogs.SetNextFolder(::testing::TempDir());
  form.Click("cmdCopyFiles");
  EXPECT_TRUE(refused) << "the close was refused during the copy";
  ASSERT_EQ(dialogs.closedAtMessage, std::vector<int>{0}) << "Copy Error came while it was open";
  EXPECT_EQ(dialogs.asked.back().title, "Copy Error");
  EXPECT_EQ(closed, 1) << "closed when the copy ended";

  // Out of an operation the close box closes at once.
  form.SetEventProcessor(nullptr);
  EXPECT_TRUE(form.Close());
  EXPECT_EQ(closed, 2);
}

TEST(InventoryWindowCloseTest, AnOperationThatThrowsLeavesTheWindowUsable) {
  FakeDriverSource source;
  source.printers.push_back({"Locked", 5, 0, {}, 0});
  platform::HostFileSystem files;
  WatchingDialogs dialogs;
  int closed = 0;
  dialogs.closed = &closed;
  InventoryWindow window(source, files, dialogs);
  gui::Form& form = window.form();
  form.Activate();
  dialogs.failFolder = true;
  EXPECT_THROW(form.Click("cmdCopyFiles"), std::runtime_error);
  form.Click("cmdSelectAll");
  EXPECT_TRUE(form["lvwPrintDrivers"].rows().at(0).checked) << "the next operation runs";
  form.OnClose([&] { ++closed; });
  EXPECT_TRUE(form.Close());
  EXPECT_EQ(closed, 1);
}

}  // namespace
}  // namespace quillon::inventory
