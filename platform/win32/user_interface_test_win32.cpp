// Message boxes and the progress window as real windows. They need a display:
// the tests run under Xvfb, and a watcher thread plays the user, reading each
// box and pressing one of its buttons.
#include "platform/host/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/win32/spooler_win32.h"
#include "platform/win32/user_interface_win32.h"

namespace quillon::platform::win32 {
namespace {

struct SeenBox {
  bool found = false;
  std::string text;
  HICON icon = nullptr;
  bool ownerWindowDisabled = false;
};

BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
  char kind[16] = {};
  GetClassNameA(child, kind, sizeof kind);
  if (lstrcmpiA(kind, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HICON*>(found) =
        reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  }
  return TRUE;
}

// A dialog the watcher did not recognise would block its test until CTest's
// time-out; closed, the test fails at once on what it did not see.
void CloseAnyDialog() {
  if (HWND dialog = FindWindowA("#32770", nullptr)) PostMessageA(dialog, WM_CLOSE, 0, 0);
}

// Waits for the dialog titled `title` on another thread, notes what it shows
// and whether `other` is disabled meanwhile, then presses `button`.
std::thread Answer(const std::string& title, int button, SeenBox& seen, HWND other = nullptr) {
  return std::thread([=, &seen] {
    for (int i = 0; i < 400; ++i) {
      HWND box = FindWindowA("#32770", title.c_str());
      if (box && IsWindowVisible(box)) {
        seen.found = true;
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.text = text;
        EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&seen.icon));
        seen.ownerWindowDisabled = other && !IsWindowEnabled(other);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        return;
      }
      Sleep(25);
    }
    CloseAnyDialog();
  });
}

TEST(Win32MessageBox, ShowsTitleTextAndIconAndWaitsForTheAnswer) {
  Win32UserInterface ui;
  struct Case {
    MessageIcon icon;
    MessageButtons buttons;
    int press;
    MessageAnswer answer;
    LPCSTR systemIcon;  // null: no icon at all
  };
  const Case cases[] = {
      {MessageIcon::Critical, MessageButtons::Ok, IDOK, MessageAnswer::Ok, IDI_HAND},
      {MessageIcon::None, MessageButtons::Ok, IDOK, MessageAnswer::Ok, nullptr},
      {MessageIcon::Question, MessageButtons::YesNo, IDNO, MessageAnswer::No, IDI_QUESTION},
      {MessageIcon::Exclamation, MessageButtons::OkCancel, IDCANCEL, MessageAnswer::Cancel,
       IDI_EXCLAMATION},
      {MessageIcon::Information, MessageButtons::YesNoCancel, IDYES, MessageAnswer::Yes,
       IDI_ASTERISK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToString(c.icon));
    SeenBox seen;
    std::thread user = Answer("Quillon", c.press, seen);
    const MessageAnswer answer =
        ui.ShowMessageBox("Quillon", "First line\r\nsecond line", c.icon, c.buttons);
    user.join();
    ASSERT_TRUE(seen.found) << "no box titled Quillon appeared";
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(seen.text, "First line\r\nsecond line");
    if (c.systemIcon) {
      EXPECT_EQ(seen.icon, LoadIconA(nullptr, c.systemIcon));
    } else {
      EXPECT_EQ(seen.icon, nullptr);
    }
  }
}

TEST(Win32MessageBox, IsModalForTheEnginesOtherWindows) {
  Win32UserInterface ui;
  auto progress = ui.CreateProgressWindow("Quillon Engine Progress ...", "Progress statements ...");
  HWND window = static_cast<HWND>(NativeWindowOf(progress.get()));
  ASSERT_NE(window, nullptr);
  progress->Show();
  SeenBox seen;
  std::thread user = Answer("Error", IDOK, seen, window);
  ui.ShowMessageBox("Error", "Unable to find INI file. Please check your deployment and try again.",
                    MessageIcon::Critical, MessageButtons::Ok);
  user.join();
  ASSERT_TRUE(seen.found);
  EXPECT_TRUE(seen.ownerWindowDisabled) << "the progress window took input while the box was up";
  EXPECT_TRUE(IsWindowEnabled(window)) << "and is given back once it is answered";
  progress->Close();
}

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

TEST(Win32ProgressWindow, IsANativeWindowWithALabelAboveABar) {
  Win32UserInterface ui;
  auto progress = ui.CreateProgressWindow("Quillon Engine Progress ...", "Progress statements ...");
  HWND window = static_cast<HWND>(NativeWindowOf(progress.get()));
  ASSERT_NE(window, nullptr);
  char windowClass[64] = {};
  GetClassNameA(window, windowClass, sizeof windowClass);
  EXPECT_STREQ(windowClass, "frmProgress");
  EXPECT_EQ(WindowText(window), "Quillon Engine Progress ...");
  EXPECT_FALSE(IsWindowVisible(window)) << "created hidden";

  HWND label = GetDlgItem(window, kProgressLabelId);
  HWND bar = GetDlgItem(window, kProgressBarId);
  ASSERT_NE(label, nullptr);
  ASSERT_NE(bar, nullptr);
  GetClassNameA(bar, windowClass, sizeof windowClass);
  EXPECT_STREQ(windowClass, PROGRESS_CLASSA);
  EXPECT_EQ(WindowText(label), "Progress statements ...");
  RECT labelFrame{}, barFrame{};
  GetWindowRect(label, &labelFrame);
  GetWindowRect(bar, &barFrame);
  EXPECT_LE(labelFrame.bottom, barFrame.top) << "the label is above the bar";
  EXPECT_EQ(labelFrame.right - labelFrame.left, barFrame.right - barFrame.left);

  progress->SetLabel("Quillon starting ...");
  progress->SetBarMaximum(100);
  progress->SetBarValue(1);
  progress->ProcessMessages();
  progress->Show();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(WindowText(label), "Quillon starting ...");
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
  progress->SetBarValue(37);
  progress->Repaint();
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 37);

  // Nothing in it can be operated, closing included.
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));
  progress->Close();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(NativeWindowOf(progress.get()), nullptr);
  EXPECT_EQ(NativeWindowOf(nullptr), nullptr);
}

// The port monitor's dialog opens over the progress window: the user sees
// which program asks.
TEST(Win32ProgressWindow, OwnsTheDialogsOfAddPort) {
  Win32UserInterface ui;
  auto progress = ui.CreateProgressWindow("Quillon Engine Progress ...", "Progress statements ...");
  HWND window = static_cast<HWND>(NativeWindowOf(progress.get()));
  ASSERT_NE(window, nullptr);
  progress->Show();

  std::atomic<HWND> owner = nullptr;
  std::atomic<bool> found = false;
  std::thread user([&] {
    for (int i = 0; i < 400 && !found; ++i) {
      HWND dialog = FindWindowA("#32770", nullptr);
      if (dialog && IsWindowVisible(dialog)) {
        found = true;
        owner = GetWindow(dialog, GW_OWNER);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
      Sleep(25);
    }
    if (!found) CloseAnyDialog();
  });
  Win32Spooler spooler;
  SpoolerResult port = spooler.AddPort("Local Port", progress.get());
  user.join();
  ASSERT_TRUE(found) << "the port monitor showed no dialog; AddPort gave " << port.error;
  EXPECT_EQ(owner.load(), window);
  EXPECT_FALSE(port.ok) << "the user cancelled";
  progress->Close();
}

}  // namespace
}  // namespace quillon::platform::win32
