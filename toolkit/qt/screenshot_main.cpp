// Draws frmWizard with a document open at one page into a PNG file, on Qt's
// offscreen platform with a fixed style and font, so that docs/images/toolkit.png
// can be made again the same way (scripts/screenshot-toolkit).
// Usage: toolkit_screenshot <document.ini> <page number> <out.png>
#include <cstdlib>
#include <iostream>

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "toolkit/qt/frm_wizard.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: toolkit_screenshot <document.ini> <page number> <out.png>\n";
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("DejaVu Sans", 9));

  // A picture never asks anything; a dialog would be answered as cancelled.
  quillon::gui::ScriptedDialogs dialogs;
  quillon::platform::HostFileSystem files;
  quillon::toolkit::frmWizard window(files, ".", ".", &dialogs);
  window.wizard().Load();
  window.show();
  if (!window.wizard().Start(argv[1])) {
    std::cerr << "toolkit_screenshot: cannot open " << argv[1] << "\n";
    return 1;
  }
  window.wizard().navigation().ShowPage(static_cast<quillon::toolkit::Page>(std::atoi(argv[2])));
  QApplication::processEvents();
  if (!window.grab().save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::cerr << "toolkit_screenshot: cannot write " << argv[3] << "\n";
    return 1;
  }
  return dialogs.asked.empty() ? 0 : 1;
}
