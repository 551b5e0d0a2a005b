// List boxes of the Win32 front end as real windows: a double click or Enter
// on a line chooses it.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::AfterDoubleClickTime;
using testing::Center;
using testing::ClickMouse;
using testing::PressKey;
using testing::Pump;
using testing::PumpUntil;
using testing::Win32FormViewTest;

TEST_F(Win32FormViewTest, ADoubleClickOrEnterOnAListsLineChoosesIt) {
  view_.Show();
  SetForegroundWindow(window_);
  Pump();
  std::vector<std::string> chosen;
  for (const char* key : {"dirExisting", "filExisting"}) {
    form_.OnDoubleClick(key, [&, key] {
      chosen.push_back(std::string(key) + ":" + std::to_string(form_[key].value()));
    });
  }
  int okClicks = 0;
  form_.OnClick("cmdOK", [&] { ++okClicks; });
  form_["dirExisting"].SetLines({"c:\\", "windows", "temp"});
  form_["filExisting"].SetLines({"a.ini", "b.ini"});
  const auto line = [](HWND list, int index) {
    RECT box{};
    SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&box));
    return Center(box);
  };
  HWND folders = Control("dirExisting"), files = Control("filExisting");
  ClickMouse(folders, line(folders, 2), 2);
  EXPECT_TRUE(PumpUntil([&] { return !chosen.empty(); }, 2000));
  AfterDoubleClickTime();
  int lineClicks = 0;
  form_.OnClick("filExisting", [&] { ++lineClicks; });
  ClickMouse(files, line(files, 1));
  EXPECT_TRUE(PumpUntil([&] { return form_["filExisting"].value() == 1; }, 2000));
  Pump();
  EXPECT_EQ(chosen, (std::vector<std::string>{"dirExisting:2"})) << "one click is no choice";
  // Each click on a line is one Click, also on the line already chosen, and
  // so is a move by key; the logic's choice is none.
  EXPECT_EQ(lineClicks, 1);
  AfterDoubleClickTime();
  ClickMouse(files, line(files, 1));
  EXPECT_TRUE(PumpUntil([&] { return lineClicks == 2; }, 2000)) << lineClicks;
  PressKey(files, VK_UP);
  EXPECT_TRUE(PumpUntil([&] { return lineClicks == 3; }, 2000)) << lineClicks;
  EXPECT_EQ(form_["filExisting"].value(), 0);
  form_["filExisting"].SetValue(1);
  Pump();
  EXPECT_EQ(lineClicks, 3);
  PressKey(files, VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return chosen.size() == 2; }, 2000));
  EXPECT_EQ(chosen, (std::vector<std::string>{"dirExisting:2", "filExisting:1"}));
  EXPECT_EQ(okClicks, 0);
  // Without a line chosen, Enter is the default button's.
  form_["filExisting"].SetValue(-1);
  PressKey(files, VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return okClicks == 1; }, 2000));
  EXPECT_EQ(chosen.size(), 2U);
}

}  // namespace
}  // namespace quillon::gui
