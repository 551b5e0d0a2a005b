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
  EXPECT_EQ(described.cancelControl, "cmdExit");
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
  // The user's tick reaches the logic through the model: Save Info writes it.
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

}  // namespace
}  // namespace quillon::inventory
