// Win32ClientReader: only enumerations, opens with default access, level-2
// reads and closes. Each call's last-error code is read right after it and
// carried with the system's text for it.
#include "platform/win32/client_reader_win32.h"
#include "platform/win32/sized_call.h"

#include <cstdint>
#include <vector>

#include "platform/host/system_error_win32.h"
#include "platform/host/windows_api.h"
#include "platform/printer_registry.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {
namespace {

Status Failure(const std::string& call, DWORD error) {
  return Status::Error(error, call + ": " + SystemErrorText(error));
}

using Buffer = SizedBuffer;

// An enumeration sized to what the spooler asks for, asked again while the
// list grows between the calls. `call(bytes, size, &needed, &returned)`.
template <typename Call>
Status Enumerate(const char* name, Buffer& buffer, DWORD& returned, Call call) {
  const DWORD error = CallSized(buffer, returned, call);
  return error ? Failure(name, error) : Status::Ok();
}

// One printer read as the engine's inventory reads it: open, the size query
// (which must end in 122), the sized read, close.
void ReadPrinter(ListedPrinter& printer) {
  HANDLE handle = nullptr;
  std::wstring name = Wide(printer.info.printerName);
  SetLastError(0);
  if (!OpenPrinterW(name.data(), &handle, nullptr) || !handle) {
    printer.failedCall = "OpenPrinter";
    printer.failure = Failure("OpenPrinter", GetLastError());
    return;
  }
  DWORD needed = 0;
  SetLastError(0);
  BOOL ok = GetPrinterW(handle, 2, nullptr, 0, &needed);
  DWORD error = GetLastError();
  if (!ok && error == ERROR_INSUFFICIENT_BUFFER && needed > 0) {
    Buffer buffer;
    buffer.Resize(needed);
    SetLastError(0);
    ok = GetPrinterW(handle, 2, buffer.Bytes(), needed, &needed);
    error = GetLastError();
    if (ok) {
      printer.info =
          DecodePrinterInfo2(*reinterpret_cast<const PRINTER_INFO_2W*>(buffer.Bytes()));
    }
  } else if (ok) {
    error = ERROR_INVALID_DATA;  // a level-2 record never fits in no bytes
    ok = FALSE;
  }
  if (!ok) {
    printer.failedCall = "GetPrinter";
    printer.failure = Failure("GetPrinter", error);
  }
  ClosePrinter(handle);
}

using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);

std::optional<OsVersion> RealVersion() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return std::nullopt;
  // Through void(*)(), the one function type GCC lets any other be cast to.
  const auto call = reinterpret_cast<RtlGetVersionCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (!call) return std::nullopt;
  OSVERSIONINFOW record{};
  record.dwOSVersionInfoSize = sizeof record;
  if (call(&record) != 0) return std::nullopt;
  OsVersion version;
  version.platformId = static_cast<int>(record.dwPlatformId);
  version.majorVersion = static_cast<int>(record.dwMajorVersion);
  version.buildNumber = record.dwBuildNumber;
  return version;
}

std::optional<std::string> NonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

ClientFacts Win32ClientReader::ReadFacts() {
  Win32SystemInfo system;
  ClientFacts facts;
  facts.version = RealVersion();
  if (!facts.version) facts.version = system.GetVersion();
  facts.computerName = system.GetComputerName();
  facts.dnsFullName = system.GetDnsFullName();
  facts.userName = NonEmpty(system.GetUserName());
  facts.profileFolder = NonEmpty(system.GetProfileFolder());
  if (const auto mode = Win32Registry().GetNumber(std::string(kUserWindowsSettingsKey),
                                                  std::string(kLegacyDefaultPrinterModeValue))) {
    facts.legacyDefaultPrinterMode = *mode == 1;
  }
  return facts;
}

PrinterListing Win32ClientReader::ListPrinters() {
  PrinterListing listing;
  Buffer buffer;
  DWORD returned = 0;
  listing.status = Enumerate("EnumPrinters", buffer, returned,
                             [](BYTE* bytes, DWORD size, DWORD* needed, DWORD* count) {
                               return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS,
                                                    nullptr, 4, bytes, size, needed, count);
                             });
  const auto* records = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.Bytes());
  for (DWORD i = 0; i < returned; ++i) {
    if (!records[i].pPrinterName) continue;
    ListedPrinter printer;
    printer.info.printerName = Utf8(records[i].pPrinterName);
    printer.info.serverName = Utf8(records[i].pServerName);
    printer.info.attributes = records[i].Attributes;
    listing.printers.push_back(std::move(printer));
  }
  for (ListedPrinter& printer : listing.printers) ReadPrinter(printer);
  // The spooler lists the computer's connections as the user's; only the
  // registry tells them apart.
  for (const std::string& subkey :
       Win32Registry().ListSubkeys(std::string(kPerMachineConnectionsKey))) {
    const std::optional<std::string> name = ConnectionNameOfSubkey(subkey);
    if (!name) continue;
    for (ListedPrinter& printer : listing.printers) {
      if (lstrcmpiW(Wide(*name).c_str(), Wide(printer.info.printerName).c_str()) == 0) {
        printer.perMachine = true;
      }
    }
  }
  return listing;
}

DefaultPrinterName Win32ClientReader::GetDefaultPrinter() {
  DefaultPrinterName result;
  DWORD size = 0;
  SetLastError(0);
  if (GetDefaultPrinterW(nullptr, &size)) return result;  // no name fits in no characters
  DWORD error = GetLastError();
  if (error == ERROR_INSUFFICIENT_BUFFER && size > 0) {
    std::wstring name(size, L'\0');  // characters, the NUL included
    SetLastError(0);
    if (GetDefaultPrinterW(name.data(), &size)) {
      result.name = Utf8(name.c_str());
      return result;
    }
    error = GetLastError();
  }
  if (error != ERROR_FILE_NOT_FOUND) result.status = Failure("GetDefaultPrinter", error);
  return result;
}

DriverListing Win32ClientReader::ListDrivers() {
  DriverListing listing;
  Buffer buffer;
  DWORD returned = 0;
  // Every environment's, each record naming its own: a 32-bit program asking
  // for its own would not see the 64-bit drivers that printers print through.
  // Systems that know no "all" (before Windows 2000) have only their own.
  auto inEnvironment = [&](const wchar_t* environment) {
    return Enumerate("EnumPrinterDrivers", buffer, returned,
                     [environment](BYTE* bytes, DWORD size, DWORD* needed, DWORD* count) {
                       return EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(environment), 2,
                                                  bytes, size, needed, count);
                     });
  };
  listing.status = inEnvironment(L"all");
  if (!listing.status.ok && listing.status.errorNumber == ERROR_INVALID_ENVIRONMENT) {
    listing.status = inEnvironment(nullptr);
  }
  const auto* records = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.Bytes());
  for (DWORD i = 0; i < returned; ++i) {
    DriverInfo2 driver;
    driver.version = records[i].cVersion;
    driver.name = Utf8(records[i].pName);
    driver.environment = Utf8(records[i].pEnvironment);
    driver.driverPath = Utf8(records[i].pDriverPath);
    driver.dataFile = Utf8(records[i].pDataFile);
    driver.configFile = Utf8(records[i].pConfigFile);
    listing.drivers.push_back(std::move(driver));
  }
  return listing;
}

PortListing Win32ClientReader::ListPorts() {
  PortListing listing;
  Buffer buffer;
  DWORD returned = 0;
  listing.status = Enumerate("EnumPorts", buffer, returned,
                             [](BYTE* bytes, DWORD size, DWORD* needed, DWORD* count) {
                               return EnumPortsW(nullptr, 1, bytes, size, needed, count);
                             });
  const auto* records = reinterpret_cast<const PORT_INFO_1W*>(buffer.Bytes());
  for (DWORD i = 0; i < returned; ++i) {
    if (records[i].pName) listing.ports.push_back(Utf8(records[i].pName));
  }
  return listing;
}

QueueListing Win32ClientReader::ListServerQueues(const std::string& server) {
  QueueListing listing;
  std::wstring name = Wide("\\\\" + server);
  Buffer buffer;
  DWORD returned = 0;
  listing.status = Enumerate("EnumPrinters", buffer, returned,
                             [&name](BYTE* bytes, DWORD size, DWORD* needed, DWORD* count) {
                               return EnumPrintersW(PRINTER_ENUM_NAME, name.data(), 2, bytes,
                                                    size, needed, count);
                             });
  const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.Bytes());
  for (DWORD i = 0; i < returned; ++i) {
    PrinterInfo2 queue = DecodePrinterInfo2(records[i]);
    // Clients connect to a queue by its share name; an unshared one cannot be reached.
    if ((queue.attributes & PRINTER_ATTRIBUTE_SHARED) && !queue.shareName.empty()) {
      listing.queues.push_back(std::move(queue));
    }
  }
  return listing;
}

}  // namespace quillon::platform::win32

namespace quillon::platform {

std::unique_ptr<ClientReader> CreateHostClientReader() {
  return std::make_unique<win32::Win32ClientReader>();
}

}  // namespace quillon::platform
