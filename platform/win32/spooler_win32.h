// The Windows print spooler (winspool) behind the seam: each call is the one
// ANSI entry point it is named after, with its own result and the last-error
// code read right after it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/spooler.h"

struct _PRINTER_INFO_2W;

namespace quillon::platform::win32 {

// A level-2 record as the seam's PrinterInfo2 (missing strings empty).
PrinterInfo2 DecodePrinterInfo2(const _PRINTER_INFO_2W& record);

// The user's printers, local ones and connections, in the spooler's order:
// EnumPrinters at level 4 (names only, read without asking the print servers),
// at level 1 where level 4 is unknown (Windows 95/98/ME). `error` is the
// last-error code when neither lists them.
struct UserPrinterList {
  bool ok = false;
  std::uint32_t error = 0;
  std::vector<std::string> names;
};
UserPrinterList ListUserPrinters();

// AddPrinterConnection2W's shape (window, name, level, PRINTER_CONNECTION_INFO_1*).
using AddConnectionWithoutPromptsCall = int(__stdcall*)(void*, const wchar_t*, unsigned long,
                                                        void*);

// winspool's AddPrinterConnection2W, looked up at run time: null where it is
// missing (before Windows Vista, and in Wine).
AddConnectionWithoutPromptsCall FindAddConnectionWithoutPrompts();

// With Never and a `withoutPrompts` call: that call at level 1 with
// PRINTER_CONNECTION_NO_UI and the name converted from the ANSI code page, so
// a driver that would need a prompt fails at once (3019). Otherwise
// AddPrinterConnectionA, which may wait on a prompt.
SpoolerResult AddConnection(const std::string& name, ConnectionPrompts prompts,
                            AddConnectionWithoutPromptsCall withoutPrompts);

class Win32Spooler : public Spooler {
 public:
  Win32Spooler() = default;
  Win32Spooler(const Win32Spooler&) = delete;
  Win32Spooler& operator=(const Win32Spooler&) = delete;

  // ListUserPrinters' names, or its error.
  PrinterNameList EnumPrinterNames() override;
  SizedResult<std::vector<PrinterInfo2>> EnumDefaultPrinter(std::size_t bufferSize) override;
  HandleResult OpenPrinter(const std::string& name, PrinterAccess access) override;
  SizedResult<PrinterInfo2> GetPrinter(PrinterHandle printer, std::size_t bufferSize) override;
  // Writes back the record the last GetPrinter on this handle read (device
  // mode and all) with the fields of `info`; the security descriptor is left
  // as it is.
  SpoolerResult SetPrinter(PrinterHandle printer, const PrinterInfo2& info) override;
  void ClosePrinter(PrinterHandle printer) override;
  // AddConnection with FindAddConnectionWithoutPrompts' call.
  SpoolerResult AddPrinterConnection(const std::string& name, ConnectionPrompts prompts) override;
  SpoolerResult DeletePrinterConnection(const std::string& name) override;
  HandleResult AddPrinter(const PrinterInfo2& info) override;
  SpoolerResult DeletePrinter(PrinterHandle printer) override;
  SpoolerResult AddPrinterDriver(const DriverInfo2& info) override;
  SpoolerResult AddPrinterDriverFromFolder(const DriverInfo2& info) override;
  SpoolerResult AddLocalPort(const std::string& portName) override;
  // The owner is the progress window's handle, or none.
  SpoolerResult AddPort(const std::string& monitorName, ProgressWindow* owner) override;
  SizedResult<std::string> GetDefaultPrinter(std::size_t bufferChars) override;
  SpoolerResult SetDefaultPrinter(const std::string& name) override;
  // driver_staging_win32.cpp
  ServerQueueList ListServerQueues(const std::string& server) override;
  InstalledDriverList ListInstalledDrivers(const std::string& environment) override;
  SpoolerResult InstallDriverFromServer(const std::string& queueName) override;
  ProfileConnectionList ListProfileConnections() override;
  // ProbePrintServers on the SMB and RPC ports with the seam's time-out.
  std::vector<ServerProbe> ProbeServers(const std::vector<std::string>& servers) override;

 private:
  // The bytes of the last level-2 record read through each open handle.
  std::unordered_map<PrinterHandle, std::vector<unsigned char>> lastRead_;
};

}  // namespace quillon::platform::win32
