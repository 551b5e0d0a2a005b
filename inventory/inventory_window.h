// frmMain, the inventory's one window, as a description and its behaviour over
// the controls' models: the list lvwPrintDrivers with its check boxes, the
// progress bar prbMain and six buttons. A front end (Qt on Linux, Win32 on
// Windows) shows it; the logic here runs without one.
#pragma once

#include <memory>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "inventory/driver_inventory.h"

namespace quillon::inventory {

gui::FormDescription InventoryWindowDescription();

class InventoryWindow {
 public:
  InventoryWindow(platform::DriverInfoSource& source, platform::FileSystem& files,
                  gui::Dialogs& dialogs);
  ~InventoryWindow();

  gui::Form& form() { return form_; }
  // The list as the logic sees it (for tools that tick rows, as the screenshot
  // does).
  DriverList& list();

 private:
  class ModelDriverList;
  class ModelProgress;

  // One operation at a time: the bar's event processing could otherwise start
  // a second one (a click on Refresh while copying) in the middle of the first.
  template <typename Action>
  void Perform(Action action);

  gui::Form form_;
  std::unique_ptr<ModelDriverList> list_;
  std::unique_ptr<ModelProgress> bar_;
  std::unique_ptr<DriverInventory> inventory_;
  bool activated_ = false;
  bool busy_ = false;
  bool closeWhenDone_ = false;  // a close was asked for during an operation
};

}  // namespace quillon::inventory
