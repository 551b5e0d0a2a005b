// QuillonToolkit: the wizard that edits migration documents. A document named
// on the command line opens at once; otherwise the start dialog asks.
#include <string>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <iostream>

#include "platform/host/host_file_system.h"
#include "toolkit/toolkit_host.h"
#include "toolkit/qt/frm_wizard.h"

int main(int argc, char** argv) {
  // Read before the window system is needed, so a bad client file is said
  // even where no display is.
  std::string error;
  const auto host = quillon::toolkit::ToolkitHost::FromEnvironment(&error);
  if (!host) {
    std::cerr << "QuillonToolkit: " << error << "\n";
    return 2;
  }
  QApplication application(argc, argv);
  std::string arguments;
  for (int i = 1; i < argc; ++i) arguments += std::string(i > 1 ? " " : "") + argv[i];
  const std::string document = quillon::toolkit::CommandLineDocument(arguments);

  quillon::platform::HostFileSystem files;
  quillon::toolkit::frmWizard window(files, QCoreApplication::applicationDirPath().toStdString(),
                                     QDir::currentPath().toStdString(), nullptr,
                                     &host->directory());
  window.wizard().Load();
  window.show();
  // Once the window is up: a cancelled start dialog closes it and ends the program.
  QTimer::singleShot(0, &window, [&window, &document] {
    if (!window.wizard().Start(document)) QApplication::quit();
  });
  return application.exec();
}
