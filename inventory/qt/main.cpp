// QuillonInventory: the driver inventory window over the simulated client that
// QUILLON_CLIENT names, or else over this computer's printers (CUPS).
#include <cstdlib>
#include <iostream>

#include <QApplication>

#include "inventory/inventory_host.h"
#include "inventory/qt/frm_main.h"
#include "quillon_version.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << "QuillonInventory " << quillon::kVersion << "\n";
    return 0;
  }
  // Read before the window system is needed, so a bad client file is reported
  // even where no display is.
  const char* client = std::getenv("QUILLON_CLIENT");
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(client ? client : "", &error);
  if (!host) {
    std::cerr << "QuillonInventory: " << error << "\n";
    return 2;
  }
  QApplication application(argc, argv);
  quillon::inventory::frmMain window(host->drivers(), host->files());
  window.show();
  return application.exec();
}
