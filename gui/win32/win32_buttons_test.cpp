// Links of the Win32 front end as real windows: drawn as one, the help
// pointer, and Space, Enter and clicks following it.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::AfterDoubleClickTime;
using testing::ClickMouse;
using testing::InkOf;
using testing::LightnessApart;
using testing::MoveMouse;
using testing::PixelsOf;
using testing::PressKey;
using testing::Pump;
using testing::PumpUntil;
using testing::Text;
using testing::Win32FormViewTest;

TEST_F(Win32FormViewTest, ALinkIsDrawnAsOneShowsTheHelpPointerAndActsOnClickSpaceAndEnter) {
  view_.Show();
  SetForegroundWindow(window_);
  Pump();
  int clicks = 0, okClicks = 0;
  form_.OnClick("lnkHelp", [&] { ++clicks; });
  form_.OnClick("cmdOK", [&] { ++okClicks; });
  HWND link = Control("lnkHelp");
  EXPECT_TRUE(GetWindowLongA(link, GWL_STYLE) & WS_TABSTOP);
  EXPECT_EQ(Text(link), "More about ports");
  // Drawn in a link colour that stands out, underlined: the underline is a
  // line of that colour whatever the font smoothing.
  RECT box{};
  GetClientRect(link, &box);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), grey = GetSysColor(COLOR_GRAYTEXT);
  const COLORREF ink = InkOf(link, face);
  EXPECT_NE(ink, grey);
  EXPECT_GE(LightnessApart(ink, face), 64) << std::hex << ink;
  EXPECT_GT(PixelsOf(link, ink), box.right / 3);

  HCURSOR help = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HELP));
  HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  // X drops a move to where the pointer already is, and a busy display may lose
  // one: the pointer is moved a pixel aside first, and again if nothing came.
  const auto pointAt = [&](HWND window, POINT point, const std::function<bool()>& shown) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      MoveMouse(window, {point.x + 1, point.y});
      MoveMouse(window, point);
      if (PumpUntil(shown, 1000)) return true;
    }
    return false;
  };
  EXPECT_TRUE(pointAt(link, {4, box.bottom / 2}, [&] { return GetCursor() == help; }))
      << "not the help pointer";
  EXPECT_TRUE(pointAt(Control("txtSMTPServerPort"), {4, 4}, [&] { return GetCursor() != help; }));
  // The window's own background.
  EXPECT_TRUE(pointAt(window_, {2, 2}, [&] { return GetCursor() == arrow; }));

  ClickMouse(link, {4, box.bottom / 2});
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 2000));
  AfterDoubleClickTime();
  // A tab stop after the file list; Space and Enter follow it.
  SetFocus(Control("filExisting"));
  PressKey(Control("filExisting"), VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == link; }, 2000));
  EXPECT_TRUE(form_["lnkHelp"].focused());
  PressKey(link, VK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 2; }, 2000));
  PressKey(link, VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 3; }, 2000));
  EXPECT_EQ(okClicks, 0) << "Enter on the link is not the default button's";

  form_["lnkHelp"].SetEnabled(false);
  Pump();
  EXPECT_EQ(PixelsOf(link, ink), 0);
  EXPECT_EQ(InkOf(link, face), grey) << "greyed";
  ClickMouse(link, {4, box.bottom / 2});
  Pump();
  EXPECT_EQ(clicks, 3);
}

}  // namespace
}  // namespace quillon::gui
