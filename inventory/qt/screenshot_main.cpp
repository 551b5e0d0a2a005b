// Draws frmMain over a simulated client into a PNG file, on Qt's offscreen
// platform with a fixed style and font, so that docs/images/inventory.png can
// be made again the same way (scripts/screenshot-inventory).
// Usage: inventory_screenshot <client.json> <out.png> [row to tick ...]
#include <cstdlib>
#include <iostream>
#include <string>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFont>
#include <QPixmap>
#include <QProgressBar>
#include <QStyleFactory>

#include "gui/scripted_dialogs.h"
#include "inventory/inventory_host.h"
#include "inventory/qt/frm_main.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: inventory_screenshot <client.json> <out.png> [row to tick ...]\n";
    return 2;
  }
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(argv[1], &error);
  if (!host) {
    std::cerr << "inventory_screenshot: " << error << "\n";
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("DejaVu Sans", 9));

  // A picture never asks anything; a dialog would be answered as cancelled.
  quillon::gui::ScriptedDialogs dialogs;
  quillon::inventory::frmMain window(host->drivers(), host->files(), &dialogs);
  window.show();
  // The list fills on the window's first activation.
  auto* bar = window.findChild<QProgressBar*>("prbMain");
  QDeadlineTimer deadline(5000);
  while (!bar->isVisible() && !deadline.hasExpired()) QApplication::processEvents();
  if (!bar->isVisible()) {
    std::cerr << "inventory_screenshot: the list was not filled\n";
    return 1;
  }
  for (int i = 3; i < argc; ++i) window.list().SetChecked(std::atoi(argv[i]), true);
  QApplication::processEvents();
  if (!window.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::cerr << "inventory_screenshot: cannot write " << argv[2] << "\n";
    return 1;
  }
  return dialogs.asked.empty() ? 0 : 1;
}
