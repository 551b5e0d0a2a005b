#include "inventory/qt/frm_main.h"

#include "gui/qt/qt_dialogs.h"

namespace quillon::inventory {

frmMain::frmMain(platform::DriverInfoSource& source, platform::FileSystem& files,
                 gui::Dialogs* dialogs) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<gui::QtDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  window_ = std::make_unique<InventoryWindow>(source, files, *dialogs);
  view_ = std::make_unique<gui::QtFormView>(window_->form(), *this);
}

frmMain::~frmMain() = default;

DriverList& frmMain::list() { return window_->list(); }

}  // namespace quillon::inventory
