// frmMain over Qt Widgets: the inventory window's description built by the Qt
// front end, with its behaviour (inventory/inventory_window.h) over the models.
// Every widget's objectName is its control name, so tests and tools find it.
#pragma once

#include <memory>

#include <QWidget>

#include "gui/dialogs.h"
#include "gui/qt/qt_form_view.h"
#include "inventory/inventory_window.h"

namespace quillon::inventory {

class frmMain : public QWidget {
 public:
  // `dialogs` null: the real Qt dialogs, owned by the window.
  frmMain(platform::DriverInfoSource& source, platform::FileSystem& files,
          gui::Dialogs* dialogs = nullptr);
  ~frmMain() override;

  // The list as the logic sees it (for tools that tick rows, as the screenshot does).
  DriverList& list();

 private:
  std::unique_ptr<gui::Dialogs> ownDialogs_;
  std::unique_ptr<InventoryWindow> window_;
  std::unique_ptr<gui::QtFormView> view_;
};

}  // namespace quillon::inventory
