// The client as Windows shows it, read through winspool's ANSI entry points
// and the system's facts; nothing here changes a printer, driver or port.
#pragma once

#include "platform/client_reader.h"

namespace quillon::platform::win32 {

class Win32ClientReader : public ClientReader {
 public:
  // The version is RtlGetVersion's, which tells the real version to programs
  // without a compatibility manifest too; GetVersionExA where it is missing.
  ClientFacts ReadFacts() override;
  // EnumPrinters at level 4 for the names, then each printer opened with
  // default access and read at level 2, as the engine's inventory reads it.
  PrinterListing ListPrinters() override;
  DefaultPrinterName GetDefaultPrinter() override;
  // EnumPrinterDrivers at level 2 for every environment ("all").
  DriverListing ListDrivers() override;
  // EnumPorts at level 1.
  PortListing ListPorts() override;
  // EnumPrinters by the server's name at level 2; the shared printers only.
  QueueListing ListServerQueues(const std::string& server) override;
  // driver_staging_win32.cpp: through the staging run's own calls.
  std::optional<std::string> DriverEnvironment() override;
  InstalledDriverList ListDriverVersions() override;
  ServerQueueList ListQueueDrivers(const std::string& server) override;
  // HKLM\Software\Policies\Microsoft\Windows NT\Printers\PointAndPrint.
  std::optional<std::vector<std::pair<std::string, std::string>>> ReadPointAndPrint() override;
};

}  // namespace quillon::platform::win32
