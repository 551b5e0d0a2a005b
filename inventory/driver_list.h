// What the inventory's logic works on besides the driver source: the list of
// printers with their check boxes and the progress bar. The window provides
// them over its widgets; tests provide them in memory.
#pragma once

#include <string>

namespace quillon::inventory {

// One row of `lvwPrintDrivers`.
struct DriverRow {
  std::string printerName;  // the row's text, column "Printer Name"
  std::string driverName;   // column "Driver Name": the driver's name or an error text
  std::string driverFile;   // column "Driver File": the driver path's file name
  std::string driverPath;   // the row's tag (not shown): the driver file's full path
  bool checked = false;
  bool operator==(const DriverRow&) const = default;
};

class DriverList {
 public:
  virtual ~DriverList() = default;
  virtual int RowCount() const = 0;
  virtual DriverRow Row(int index) const = 0;
  // Appends a row with its check box as `row` says.
  virtual void AddRow(const DriverRow& row) = 0;
  virtual void Clear() = 0;
  virtual void SetChecked(int index, bool checked) = 0;
};

// `prbMain`.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void Show() = 0;
  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetValue(int value) = 0;
  // Lets the window repaint and answer the user during a long operation.
  virtual void ProcessEvents() = 0;
};

}  // namespace quillon::inventory
