// The printers installed on a computer and their drivers, for the driver
// inventory. Shaped like the Windows calls (enumerate, open, level-2 driver
// information in a caller's buffer, close), so one inventory logic serves the
// Windows spooler, CUPS and the simulated client.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/spooler.h"
#include "platform/status.h"

namespace quillon::platform {

struct PrinterNames {
  Status status;  // a failed enumeration: why
  std::vector<std::string> names;
};

class DriverInfoSource {
 public:
  virtual ~DriverInfoSource() = default;
  // The device names of the installed printers, in the order the system lists them.
  virtual PrinterNames EnumPrinterNames() = 0;
  // With default access.
  virtual HandleResult OpenPrinter(const std::string& name) = 0;
  // The printer's driver as installed on this computer (on Windows, for the
  // system's own environment), never fetched from a print server. With too small a
  // buffer: error 122 and the size needed in bytes.
  virtual SizedResult<DriverInfo2> GetPrinterDriver(PrinterHandle printer,
                                                    std::size_t bufferSize) = 0;
  virtual void ClosePrinter(PrinterHandle printer) = 0;
};

// The bytes a DRIVER_INFO_2 with these strings takes on 64-bit Windows: the
// fixed part and each string with its NUL. Sources that have no buffer of
// their own report this, so the inventory's sized calls work the same on all.
inline std::size_t DriverInfo2Size(const DriverInfo2& info) {
  constexpr std::size_t kFixedPart = 48;  // version, padding, five pointers
  std::size_t size = kFixedPart;
  for (const std::string* text :
       {&info.name, &info.environment, &info.driverPath, &info.dataFile, &info.configFile}) {
    size += text->size() + 1;
  }
  return size;
}

}  // namespace quillon::platform
