// frmMain, the inventory's one window: the printers with their drivers in
// lvwPrintDrivers, the progress bar prbMain and six buttons. Every widget's
// objectName is its control name, so that tests and tools find it by name.
#pragma once

#include <memory>

#include <QWidget>

#include "gui/dialogs.h"
#include "inventory/driver_inventory.h"

class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace quillon::inventory {

class frmMain : public QWidget {
 public:
  // `dialogs` null: the real Qt dialogs, owned by the window.
  frmMain(platform::DriverInfoSource& source, platform::FileSystem& files,
          gui::Dialogs* dialogs = nullptr);
  ~frmMain() override;

  // The list as the logic sees it (for tools that tick rows, as the screenshot does).
  DriverList& list();

 protected:
  // The first activation fills the list, as the window's start does.
  bool event(QEvent* event) override;

 private:
  class TreeDriverList;
  class BarProgress;

  // One operation at a time: the bar's event processing could otherwise start
  // a second one (a click on Refresh while copying) in the middle of the first.
  template <typename Action>
  void Perform(Action action);
  void FitColumns();

  QTreeWidget* lvwPrintDrivers;
  QProgressBar* prbMain;
  QPushButton *cmdRefresh, *cmdSelectAll, *cmdUnselectAll, *cmdCopyFiles, *cmdSaveText, *cmdExit;

  std::unique_ptr<gui::Dialogs> ownDialogs_;
  std::unique_ptr<TreeDriverList> list_;
  std::unique_ptr<BarProgress> bar_;
  std::unique_ptr<DriverInventory> inventory_;
  bool activated_ = false;
  bool busy_ = false;
};

}  // namespace quillon::inventory
