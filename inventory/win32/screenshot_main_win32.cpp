// Draws frmMain as the Win32 front end shows it, over a simulated client, into
// a 24-bit BMP file (scripts/screenshot-inventory turns it into a PNG).
// Usage: inventory_screenshot_win32 <client.json> <out.bmp> [row to tick ...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "gui/win32/win32_test_support.h"
#include "inventory/inventory_host.h"
#include "inventory/inventory_window.h"

namespace {

void Pump(int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

}  // namespace

int main() {
  // The arguments in UTF-8, not in the code page as main's.
  const std::vector<std::string> argv = quillon::gui::testing::Utf8Arguments();
  if (argv.size() < 3) {
    std::fprintf(stderr, "usage: inventory_screenshot_win32 <client.json> <out.bmp> [row ...]\n");
    return 2;
  }
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(argv[1], &error);
  if (!host) {
    std::fprintf(stderr, "inventory_screenshot_win32: %s\n", error.c_str());
    return 2;
  }
  // A picture never asks anything; a dialog would be answered as cancelled.
  quillon::gui::ScriptedDialogs dialogs;
  quillon::inventory::InventoryWindow window(host->drivers(), host->files(), dialogs);
  quillon::gui::Win32FormView view(window.form());
  SetWindowPos(view.window(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
  view.Show();
  SetForegroundWindow(view.window());
  Pump(1500);  // the first activation fills the list
  if (window.list().RowCount() == 0) {
    std::fprintf(stderr, "inventory_screenshot_win32: the list was not filled\n");
    return 1;
  }
  for (std::size_t i = 3; i < argv.size(); ++i)
    window.list().SetChecked(std::atoi(argv[i].c_str()), true);
  Pump(500);
  if (!quillon::gui::testing::SaveWindowBitmap(view.window(), argv[2])) {
    std::fprintf(stderr, "inventory_screenshot_win32: cannot write %s\n", argv[2].c_str());
    return 1;
  }
  return dialogs.asked.empty() ? 0 : 1;
}
