// QuillonToolkit.exe: the wizard over the Win32 front end. A document named on
// the command line (Explorer's "Open with") opens at once; otherwise the start
// dialog asks, and cancelling it ends the program.
#include <filesystem>
#include <memory>

#include "gui/win32/win32_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "platform/network_domains.h"
#include "toolkit/wizard.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int showCommand) {
  using namespace quillon;
  platform::HostFileSystem files;
  gui::Win32Dialogs dialogs;
  std::error_code noFolder;
  const std::string startFolder = std::filesystem::current_path(noFolder).string();
  std::unique_ptr<gui::Win32FormView> view;
  toolkit::Wizard wizard({dialogs, files, platform::RunningProgramFolder(), startFolder,
                          [] { return platform::ListNetworkDomains(); },
                          [&view](gui::Form& form) {
                            gui::Win32FormView modal(form, view->window());
                            modal.RunModal();
                          },
                          {}});
  view = std::make_unique<gui::Win32FormView>(wizard.form());
  dialogs.SetOwner(view->window());
  platform::HostClock clock;
  wizard.SetDeploymentHost(
      {clock, platform::HostLoginName(), platform::HostComputerName(), std::nullopt,
       [&view](gui::Form& form) {
         auto* progress = new gui::Win32FormView(form, view->window());
         progress->Show();
         return std::function<void()>([progress] { delete progress; });
       },
       [&view](bool busy) {
         EnableWindow(view->window(), !busy);
         SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
       }});
  wizard.Load();
  view->Show(showCommand);
  if (!wizard.Start(toolkit::CommandLineDocument(commandLine ? commandLine : ""))) return 0;
  return view->Run();
}
