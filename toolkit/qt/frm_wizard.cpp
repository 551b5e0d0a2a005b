#include "toolkit/qt/frm_wizard.h"

#include <QApplication>
#include <QSessionManager>

#include "gui/qt/qt_dialogs.h"
#include "platform/host/host_clock.h"
#include "platform/host/process.h"
#include "platform/network_domains.h"

namespace quillon::toolkit {

frmWizard::frmWizard(platform::FileSystem& files, const std::string& programFolder,
                     const std::string& startFolder, gui::Dialogs* dialogs,
                     platform::Directory* directory) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<gui::QtDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  wizard_ = std::make_unique<Wizard>(Wizard::Environment{
      *dialogs, files, programFolder, startFolder, [] { return platform::ListNetworkDomains(); },
      [this](gui::Form& form) { ShowModal(form); },
      [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
        if (picker_) picker_->LoadDirectoryPrinterList(picker, bar, domain);
      },
      [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
        if (picker_) picker_->LoadDirectoryGroupList(picker, bar, domain);
      }});
  if (directory) picker_ = std::make_unique<DirectoryPicker>(*directory, *dialogs, wizard_->form());
  view_ = std::make_unique<gui::QtFormView>(wizard_->form(), *this);
  // Log-out: asked as at Exit while the session manager waits; a refusal
  // cancels the log-out. Without leave to ask, nothing can be asked.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
    if (!manager.allowsInteraction()) return;
    const bool agreed = wizard_->form().QuerySessionEnd();
    manager.release();
    if (!agreed) manager.cancel();
  });
  clock_ = std::make_unique<platform::HostClock>();
  wizard_->SetDeploymentHost(
      {*clock_, platform::HostLoginName(), platform::HostComputerName(),
       platform::ReadMountTable(),
       [this](gui::Form& form) {
         // A window of its own over this one, closed by the answer.
         auto* window = new QWidget(this, Qt::Dialog);
         auto* view = new gui::QtFormView(form, *window);
         window->show();
         return std::function<void()>([window, view] {
           delete view;
           delete window;
         });
       },
       [this](bool busy) {
         setEnabled(!busy);
         if (busy) {
           QApplication::setOverrideCursor(Qt::WaitCursor);
         } else {
           QApplication::restoreOverrideCursor();
         }
       }});
}

frmWizard::~frmWizard() = default;

void frmWizard::ShowModal(gui::Form& form) {
  // A window of its own over this one, gone when it closes.
  QWidget window(this, Qt::Dialog);
  gui::QtFormView view(form, window);
  view.RunModal();
}

}  // namespace quillon::toolkit
