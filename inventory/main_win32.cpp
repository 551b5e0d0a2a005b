// QuillonInventory.exe: the driver inventory window over the Windows spooler,
// or over the simulated client that QUILLON_CLIENT names.
#include <cstdlib>

#include "gui/win32/win32_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "inventory/inventory_host.h"
#include "inventory/inventory_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  const char* client = std::getenv("QUILLON_CLIENT");
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(client ? client : "", &error);
  if (!host) {
    MessageBoxA(nullptr, error.c_str(), "Quillon Inventory", MB_OK | MB_ICONHAND);
    return 2;
  }
  quillon::gui::Win32Dialogs dialogs;
  quillon::inventory::InventoryWindow window(host->drivers(), host->files(), dialogs);
  quillon::gui::Win32FormView view(window.form());
  dialogs.SetOwner(view.window());
  view.Show(showCommand);
  return view.Run();
}
