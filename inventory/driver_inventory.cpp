// DriverInventory: the algorithms behind frmMain's buttons. Copy and save go on
// past a failed row and report the last error once, at the end; the CSV file
// is replaced in one step, so a failed save leaves an earlier file whole.
#include "inventory/driver_inventory.h"

#include <algorithm>

namespace quillon::inventory {

namespace {
constexpr std::uint32_t kErrorFileNotFound = 2;  // what copying a missing file reports
}  // namespace

gui::SaveFileOptions SaveInfoDialogOptions() {
  gui::SaveFileOptions options;
  options.title = "Save Print Driver Info file As ...";
  options.defaultExtension = "csv";
  options.fileName = "Default.csv";
  options.filter = "Comma Seperated Values(*.csv)|*.csv";
  options.promptOverwrite = true;
  return options;
}

DriverInfo GetDriverInfo(platform::DriverInfoSource& source, const std::string& printerName) {
  DriverInfo info;
  const platform::HandleResult opened = source.OpenPrinter(printerName);
  if (opened.handle == 0) {
    info.name = kOpenPrinterError + printerName;
    return info;
  }
  // The first call only learns the size; its own failure (122) is expected.
  const std::size_t needed = source.GetPrinterDriver(opened.handle, 0).needed;
  const std::size_t words = needed / 4 + 1;
  platform::SizedResult<DriverInfo> read = source.GetPrinterDriver(opened.handle, words * 4);
  if (read.ok) {
    info = std::move(read.value);
  } else {
    info.name = kDriverInfoError + printerName;
  }
  source.ClosePrinter(opened.handle);
  return info;
}

std::string DriverFileName(std::string_view driverPath) {
  const auto cut = driverPath.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? driverPath : driverPath.substr(cut + 1));
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvLine(const DriverRow& row) {
  return CsvField(row.printerName) + "," + CsvField(row.driverName) + "," +
         CsvField(row.driverFile);
}

std::string ErrorMessage(const std::string& text, const platform::Status& error) {
  return text + "\n\nERROR NUMBER: " + std::to_string(error.errorNumber) +
         "\nERROR DESCRIPTION: " + error.description;
}

void DriverInventory::RefreshDriverList() {
  bar_.Show();
  bar_.ProcessEvents();
  const platform::PrinterNames printers = source_.EnumPrinterNames();
  const int count = static_cast<int>(printers.names.size());
  bar_.SetRange(0, std::max(count - 1, 1));
  bar_.SetValue(0);
  for (int i = 0; i < count; ++i) {
    bar_.SetValue(i);
    bar_.ProcessEvents();
    const std::string& name = printers.names[static_cast<std::size_t>(i)];
    const DriverInfo info = GetDriverInfo(source_, name);
    list_.AddRow({name, info.name, DriverFileName(info.driverPath), info.driverPath, false});
  }
  bar_.SetValue(0);
  bar_.ProcessEvents();
  // Windows always lists its printers; a print server (CUPS) may be out of reach.
  if (!printers.status.ok) {
    dialogs_.ShowMessageBox(kListErrorTitle, ErrorMessage(kListErrorText, printers.status),
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  }
}

void DriverInventory::Refresh() {
  list_.Clear();
  RefreshDriverList();
}

void DriverInventory::SelectAll() {
  for (int i = 0; i < list_.RowCount(); ++i) list_.SetChecked(i, true);
}

void DriverInventory::UnselectAll() {
  for (int i = 0; i < list_.RowCount(); ++i) list_.SetChecked(i, false);
}

void DriverInventory::CopyDrivers() {
  const std::string folder = dialogs_.BrowseForFolder();
  if (folder.empty()) return;
  bar_.Show();
  bar_.ProcessEvents();
  const int rows = list_.RowCount();
  // A bar's maximum below its minimum is not a bar: an empty list gets 1 to 1.
  bar_.SetRange(1, std::max(rows, 1));
  bar_.SetValue(1);
  platform::Status lastError;
  for (int i = 0; i < rows; ++i) {
    bar_.SetValue(i + 1);
    bar_.ProcessEvents();
    const DriverRow row = list_.Row(i);
    if (!row.checked) continue;
    // JoinPath adds the separator only when the folder (a root: "/", "D:\") lacks it.
    platform::Status copied =
        row.driverPath.empty()
            ? platform::Status::Error(kErrorFileNotFound,
                                      "The printer " + row.printerName + " has no driver file.")
            : files_.CopyFile(row.driverPath, platform::JoinPath(folder, row.driverFile));
    if (!copied.ok) lastError = std::move(copied);
  }
  bar_.SetValue(1);
  bar_.ProcessEvents();
  if (!lastError.ok) {
    dialogs_.ShowMessageBox(kCopyErrorTitle, ErrorMessage(kCopyErrorText, lastError),
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  }
}

void DriverInventory::SaveInfo() {
  const std::string path = dialogs_.ShowSaveDialog(SaveInfoDialogOptions());
  if (path.empty()) return;
  bar_.Show();
  const int rows = list_.RowCount();
  bar_.SetRange(1, std::max(rows, 1));
  bar_.SetValue(1);
  std::string text = std::string(kCsvHeader) + "\r\n";
  for (int i = 0; i < rows; ++i) {
    bar_.SetValue(i + 1);
    bar_.ProcessEvents();
    const DriverRow row = list_.Row(i);
    if (row.checked) text += CsvLine(row) + "\r\n";
  }
  const platform::Status saved = files_.WriteFileAtomic(path, text);
  bar_.ProcessEvents();
  if (!saved.ok) {
    dialogs_.ShowMessageBox(kSaveErrorTitle, ErrorMessage(kSaveErrorText, saved),
                            gui::MessageIcon::Critical, gui::MessageButtons::Ok);
  }
}

}  // namespace quillon::inventory
