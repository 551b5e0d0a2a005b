#include "toolkit/ui/frm_wizard.h"

#include "gui/qt_dialogs.h"
#include "platform/network_domains.h"

namespace quillon::toolkit {

frmWizard::frmWizard(platform::FileSystem& files, const std::string& programFolder,
                     const std::string& startFolder, gui::Dialogs* dialogs) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<gui::QtDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  wizard_ = std::make_unique<Wizard>(Wizard::Environment{
      *dialogs, files, programFolder, startFolder, [] { return platform::ListNetworkDomains(); },
      [this](gui::Form& form) { ShowModal(form); }, {}});
  view_ = std::make_unique<gui::QtFormView>(wizard_->form(), *this);
}

frmWizard::~frmWizard() = default;

void frmWizard::ShowModal(gui::Form& form) {
  // A window of its own over this one, gone when it closes.
  QWidget window(this, Qt::Dialog);
  gui::QtFormView view(form, window);
  view.RunModal();
}

}  // namespace quillon::toolkit
