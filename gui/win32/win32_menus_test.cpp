// The Win32 front end's menu bar and toolbar as real windows: unavailable
// commands greyed and taking no clicks.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::AfterDoubleClickTime;
using testing::Center;
using testing::ClickMouse;
using testing::Pump;
using testing::PumpUntil;
using testing::TypeKey;
using testing::Win32FormViewTest;

TEST_F(Win32FormViewTest, UnavailableCommandsAreGreyedInMenuAndToolbarAndTakeNoClicks) {
  view_.Show();
  SetForegroundWindow(window_);
  Pump();
  std::vector<std::string> clicked;
  form_.OnClick("mnuFileOpen", [&] { clicked.push_back("open"); });
  HWND toolbar = FindControl(window_, "frmSample.toolbar");
  ASSERT_TRUE(toolbar);
  TBBUTTON separator{}, tool{};
  SendMessageA(toolbar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&separator));
  EXPECT_TRUE(separator.fsStyle & BTNS_SEP);
  SendMessageA(toolbar, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&tool));
  RECT toolBox{};
  SendMessageA(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&toolBox));
  RECT separatorBox{};
  SendMessageA(toolbar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&separatorBox));
  EXPECT_GT(separatorBox.right - separatorBox.left, 0) << "the separator takes room";
  HMENU file = GetSubMenu(GetMenu(window_), 0);
  const UINT entry = GetMenuItemID(file, 0);
  // The user: the tool clicked, then File > Open chosen by the keyboard (a
  // greyed entry ignores its mnemonic), the menu left with Escape.
  const auto useBoth = [&] {
    ClickMouse(toolbar, Center(toolBox));
    Pump();
    TypeKey(VK_MENU);
    TypeKey('F');
    TypeKey('O');
    TypeKey(VK_ESCAPE);
    TypeKey(VK_ESCAPE);
    PumpUntil([&] { return false; }, 300);
    AfterDoubleClickTime();
  };

  form_.SetCommandEnabled("mnuFileOpen", false);
  EXPECT_TRUE(GetMenuState(file, entry, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, static_cast<WPARAM>(tool.idCommand), 0));
  useBoth();
  EXPECT_TRUE(clicked.empty()) << "a greyed command was clicked";

  form_.SetCommandEnabled("mnuFileOpen", true);
  EXPECT_FALSE(GetMenuState(file, entry, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, static_cast<WPARAM>(tool.idCommand), 0));
  useBoth();
  EXPECT_EQ(clicked, (std::vector<std::string>{"open", "open"}));

  // Unavailable before the window is made: greyed from the start.
  Form other(testing::SampleForm());
  other.SetCommandEnabled("mnuFileExit", false);
  Win32FormView otherView(other);
  HMENU otherFile = GetSubMenu(GetMenu(otherView.window()), 0);
  EXPECT_TRUE(GetMenuState(otherFile, GetMenuItemID(otherFile, 2), MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(otherFile, GetMenuItemID(otherFile, 0), MF_BYCOMMAND) & MF_GRAYED);
}

}  // namespace
}  // namespace quillon::gui
