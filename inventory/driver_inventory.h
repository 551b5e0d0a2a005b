// The driver inventory utility's logic, free of widgets: fill the list with
// every installed printer and its driver, tick rows, copy the ticked rows'
// driver files to a folder and save the ticked rows as a CSV file.
#pragma once

#include <string>
#include <string_view>

#include "gui/dialogs.h"
#include "inventory/driver_list.h"
#include "platform/driver_info.h"
#include "platform/file_system.h"

namespace quillon::inventory {

using DriverInfo = platform::DriverInfo2;

inline constexpr const char* kOpenPrinterError = "ERROR: Opening printer: ";
inline constexpr const char* kDriverInfoError = "ERROR: Getting driver information printer: ";
inline constexpr const char* kCopyErrorTitle = "Copy Error";
inline constexpr const char* kCopyErrorText = "Error copying driver files.";
inline constexpr const char* kSaveErrorTitle = "Save Error";
inline constexpr const char* kSaveErrorText = "Error saving csv file.";
inline constexpr const char* kListErrorTitle = "Quillon Inventory";
inline constexpr const char* kListErrorText = "Error listing printers.";
inline constexpr const char* kCsvHeader = "Printer Name,Driver Name,Driver Path";

// The settings `cdgMain` gets before Save Info shows it.
gui::SaveFileOptions SaveInfoDialogOptions();

// The printer's level-2 driver information; a printer that cannot be opened
// or read gives a record whose name is the error text and nothing else.
DriverInfo GetDriverInfo(platform::DriverInfoSource& source, const std::string& printerName);

// The part of a driver path after its last separator ("\" or "/": the
// simulated client keeps Windows' paths on every host).
std::string DriverFileName(std::string_view driverPath);

// One CSV field: in double quotes, inner quotes doubled, when it holds a comma,
// a double quote or a line break; otherwise as it is.
std::string CsvField(std::string_view text);
// A ticked row's line without its line end: printer, driver name, driver file.
std::string CsvLine(const DriverRow& row);

// Message text of the copy and save errors: the text, an empty line, the
// error's number and description.
std::string ErrorMessage(const std::string& text, const platform::Status& error);

class DriverInventory {
 public:
  DriverInventory(platform::DriverInfoSource& source, platform::FileSystem& files,
                  DriverList& list, ProgressBar& bar, gui::Dialogs& dialogs)
      : source_(source), files_(files), list_(list), bar_(bar), dialogs_(dialogs) {}

  // Appends one row per installed printer, in the system's order.
  void RefreshDriverList();
  // `cmdRefresh`: the list is emptied first, so it never holds a printer twice.
  void Refresh();
  void SelectAll();
  void UnselectAll();
  // `cmdCopyFiles`: the ticked rows' driver files into a folder the user
  // picks, replacing files of the same name; errors are reported once, after.
  void CopyDrivers();
  // `cmdSaveText`: the ticked rows as CSV in a file the user picks.
  void SaveInfo();

 private:
  platform::DriverInfoSource& source_;
  platform::FileSystem& files_;
  DriverList& list_;
  ProgressBar& bar_;
  gui::Dialogs& dialogs_;
};

}  // namespace quillon::inventory
