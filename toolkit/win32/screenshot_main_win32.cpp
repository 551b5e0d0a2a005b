// Draws frmWizard as the Win32 front end shows it, with a document open at one
// page, into a 24-bit BMP file (scripts/screenshot-toolkit makes a PNG of it).
// Usage: toolkit_screenshot_win32 <document.ini> <page number> <out.bmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "gui/win32/win32_test_support.h"
#include "platform/host/host_file_system.h"
#include "toolkit/wizard.h"

int main() {
  using namespace quillon;
  // The arguments in UTF-8, not in the code page as main's.
  const std::vector<std::string> argv = gui::testing::Utf8Arguments();
  if (argv.size() != 4) {
    std::fprintf(stderr, "usage: toolkit_screenshot_win32 <document.ini> <page number> <out.bmp>\n");
    return 2;
  }
  // A picture never asks anything; a dialog would be answered as cancelled.
  gui::ScriptedDialogs dialogs;
  platform::HostFileSystem files;
  toolkit::Wizard wizard({dialogs, files, ".", ".", {}, [](gui::Form&) {}, {}, {}});
  gui::Win32FormView view(wizard.form());
  wizard.Load();
  SetWindowPos(view.window(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
  view.Show();
  SetForegroundWindow(view.window());
  if (!wizard.Start(argv[1])) {
    std::fprintf(stderr, "toolkit_screenshot_win32: cannot open %s\n", argv[1].c_str());
    return 1;
  }
  wizard.navigation().ShowPage(static_cast<toolkit::Page>(std::atoi(argv[2].c_str())));
  gui::testing::PumpUntil([] { return false; }, 800);
  if (!gui::testing::SaveWindowBitmap(view.window(), argv[3])) {
    std::fprintf(stderr, "toolkit_screenshot_win32: cannot write %s\n", argv[3].c_str());
    return 1;
  }
  return dialogs.asked.empty() ? 0 : 1;
}
