// QuillonInventory.exe: the driver inventory window over the Windows spooler,
// or over the simulated client that QUILLON_CLIENT names (read in UTF-16, passed
// on in UTF-8).
#include <cstdlib>

#include "gui/win32/win32_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "inventory/inventory_host.h"
#include "inventory/inventory_window.h"
#include "platform/host/process.h"
#include "quillon_version.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  using quillon::platform::win32::Utf8;
  using quillon::platform::win32::Wide;
  const std::vector<std::string> arguments = quillon::platform::CommandLineArguments(__argc, __argv);
  if (arguments.size() == 1 && arguments[0] == "--version") {
    quillon::platform::WriteOutputLine(std::string("QuillonInventory ") + quillon::kVersion);
    return 0;
  }
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(Utf8(_wgetenv(L"QUILLON_CLIENT")), &error);
  if (!host) {
    MessageBoxW(nullptr, Wide(error).c_str(), L"Quillon Inventory", MB_OK | MB_ICONHAND);
    return 2;
  }
  quillon::gui::Win32Dialogs dialogs;
  quillon::inventory::InventoryWindow window(host->drivers(), host->files(), dialogs);
  quillon::gui::Win32FormView view(window.form());
  dialogs.SetOwner(view.window());
  view.Show(showCommand);
  return view.Run();
}
