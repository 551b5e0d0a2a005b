// QuillonToolkit.exe: the wizard over the Win32 front end. A document named on
// the command line (Explorer's "Open with") opens at once; otherwise the start
// dialog asks, and cancelling it ends the program. The wide entry point: the
// document's name arrives in UTF-16 and goes on in UTF-8, whatever the code page.
#include <filesystem>
#include <memory>

#include "gui/win32/win32_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "platform/network_domains.h"
#include "toolkit/directory_picker.h"
#include "toolkit/toolkit_host.h"
#include "toolkit/wizard.h"
#include "toolkit/wizard_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int showCommand) {
  using namespace quillon;
  using platform::win32::Utf8;
  using platform::win32::Wide;
  std::string error;
  const auto host = toolkit::ToolkitHost::FromEnvironment(&error);
  if (!host) {
    MessageBoxW(nullptr, Wide(error).c_str(), Wide(toolkit::kProgramTitle).c_str(),
                MB_OK | MB_ICONHAND);
    return 2;
  }
  platform::HostFileSystem files;
  gui::Win32Dialogs dialogs;
  std::unique_ptr<toolkit::DirectoryPicker> picker;
  std::error_code noFolder;
  const std::string startFolder = Utf8(std::filesystem::current_path(noFolder).wstring());
  std::unique_ptr<gui::Win32FormView> view;
  toolkit::Wizard wizard({dialogs, files, platform::RunningProgramFolder(), startFolder,
                          [] { return platform::ListNetworkDomains(); },
                          [&view](gui::Form& form) {
                            gui::Win32FormView modal(form, view->window());
                            modal.RunModal();
                          },
                          [&picker](gui::ControlModel& list, gui::ControlModel& bar,
                                    const std::string& domain) {
                            if (picker) picker->LoadDirectoryPrinterList(list, bar, domain);
                          },
                          [&picker](gui::ControlModel& list, gui::ControlModel& bar,
                                    const std::string& domain) {
                            if (picker) picker->LoadDirectoryGroupList(list, bar, domain);
                          }});
  picker = std::make_unique<toolkit::DirectoryPicker>(host->directory(), dialogs, wizard.form());
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
         SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
       }});
  wizard.Load();
  view->Show(showCommand);
  if (!wizard.Start(toolkit::CommandLineDocument(Utf8(commandLine)))) return 0;
  return view->Run();
}
