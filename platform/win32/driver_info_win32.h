// The driver inventory over the Windows spooler: installed printers (local ones
// and connections), and each one's level-2 driver information as installed on
// this computer for the system's own environment, through winspool's ANSI
// entry points.
#pragma once

#include <cstddef>

#include "platform/driver_info.h"

namespace quillon::platform::win32 {

class Win32DriverInfoSource : public DriverInfoSource {
 public:
  PrinterNames EnumPrinterNames() override;
  HandleResult OpenPrinter(const std::string& name) override;
  SizedResult<DriverInfo2> GetPrinterDriver(PrinterHandle printer,
                                            std::size_t bufferSize) override;
  void ClosePrinter(PrinterHandle printer) override;
};

// A DRIVER_INFO_2A as the spooler leaves it in a buffer of `size` bytes. A
// string whose pointer is null, points outside the buffer or has no NUL before
// the buffer's end reads as empty.
DriverInfo2 DecodeDriverInfo2(const void* buffer, std::size_t size);

}  // namespace quillon::platform::win32
