// Win32DriverInfoSource: EnumPrinters at level 4 (names only, the cheap level),
// OpenPrinter with default access, the driver as below, ClosePrinter. Each
// call returns its own last-error code, as the seam's spooler does.
#include "platform/win32/driver_info_win32.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/host/system_error_win32.h"
// With <winspool.h>, whose macros for our method names it undoes.
#include "platform/host/windows_api.h"
#include "platform/win32/sized_call.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {

namespace {

static_assert(sizeof(void*) != 8 || sizeof(DRIVER_INFO_2W) == 48,
              "DriverInfo2Size assumes the 64-bit layout");

// A sized spooler call, asked again while what it lists grows meanwhile.
// `call(bytes, size, &needed)`; the last-error code when it fails, else 0.
template <typename Call>
DWORD ReadSized(SizedBuffer& buffer, Call call) {
  DWORD unused = 0;
  return CallSized(buffer, unused, [&call](BYTE* bytes, DWORD size, DWORD* needed, DWORD*) {
    return call(bytes, size, needed);
  });
}

// A string that lies whole in the buffer, its NUL included; read unit by unit,
// as the spooler's pointer need not be aligned.
std::string ReadString(const wchar_t* text, const char* begin, const char* end) {
  const char* at = reinterpret_cast<const char*>(text);
  if (!text || at < begin || at >= end) return {};
  std::wstring units;
  for (; end - at >= static_cast<std::ptrdiff_t>(sizeof(wchar_t)); at += sizeof(wchar_t)) {
    wchar_t unit;
    std::memcpy(&unit, at, sizeof unit);
    if (unit == L'\0') return Utf8(units);
    units += unit;
  }
  return {};
}

}  // namespace

DriverInfo2 DecodeDriverInfo2(const void* buffer, std::size_t size) {
  DriverInfo2 info;
  if (!buffer || size < sizeof(DRIVER_INFO_2W)) return info;
  DRIVER_INFO_2W raw;
  std::memcpy(&raw, buffer, sizeof raw);
  const char* begin = static_cast<const char*>(buffer);
  const char* end = begin + size;
  info.version = raw.cVersion;
  info.name = ReadString(raw.pName, begin, end);
  info.environment = ReadString(raw.pEnvironment, begin, end);
  info.driverPath = ReadString(raw.pDriverPath, begin, end);
  info.dataFile = ReadString(raw.pDataFile, begin, end);
  info.configFile = ReadString(raw.pConfigFile, begin, end);
  return info;
}

PrinterNames Win32DriverInfoSource::EnumPrinterNames() {
  PrinterNames result;
  UserPrinterList listed = ListUserPrinters();
  result.names = std::move(listed.names);
  if (!listed.ok) {
    result.status =
        Status::Error(listed.error, "EnumPrinters: " + SystemErrorText(listed.error));
  }
  return result;
}

HandleResult Win32DriverInfoSource::OpenPrinter(const std::string& name) {
  HandleResult result;
  HANDLE printer = nullptr;
  std::wstring wide = Wide(name);
  SetLastError(0);
  if (!OpenPrinterW(wide.data(), &printer, nullptr)) {
    result.error = GetLastError();
    return result;
  }
  result.handle = static_cast<PrinterHandle>(reinterpret_cast<std::uintptr_t>(printer));
  return result;
}

// GetPrinterDriver would install a connection's driver from its server when
// this computer lacks it (a download, and on Windows 10 a prompt): the
// printer's level-2 record names the driver, and the drivers installed here
// for the system's own environment are searched for it.
SizedResult<DriverInfo2> Win32DriverInfoSource::GetPrinterDriver(PrinterHandle printer,
                                                                 std::size_t bufferSize) {
  SizedResult<DriverInfo2> result;
  SizedBuffer buffer;
  result.error = ReadSized(buffer, [&](BYTE* bytes, DWORD size, DWORD* needed) {
    return GetPrinterW(ToHandle(printer), 2, bytes, size, needed);
  });
  if (result.error != 0) return result;
  const PrinterInfo2 record =
      DecodePrinterInfo2(*buffer.Records<PRINTER_INFO_2W>());

  // The system's own environment first; then the program's, where a printer
  // stands on a driver of that one alone (Wine lets a 32-bit program make one).
  const char* native = NativeDriverEnvironment();
  for (const char* environment : {native, static_cast<const char*>(nullptr)}) {
    DWORD returned = 0;
    std::wstring wideEnvironment = environment ? Wide(environment) : std::wstring();
    wchar_t* asked = environment ? wideEnvironment.data() : nullptr;
    result.error = ReadSized(buffer, [&](BYTE* bytes, DWORD size, DWORD* needed) {
      return EnumPrinterDriversW(nullptr, asked, 2, bytes, size, needed, &returned);
    });
    if (result.error != 0) return result;
    const char* begin = reinterpret_cast<const char*>(buffer.Bytes());
    const std::size_t size = buffer.Size();
    for (DWORD i = 0; i < returned; ++i) {
      const std::size_t offset = i * sizeof(DRIVER_INFO_2W);
      DriverInfo2 driver = DecodeDriverInfo2(begin + offset, size - offset);
      // Driver names are told apart without regard to case, as printer names are.
      if (driver.name.empty() ||
          lstrcmpiW(Wide(driver.name).c_str(), Wide(record.driverName).c_str()) != 0) {
        continue;
      }
      result.needed = DriverInfo2Size(driver);
      if (bufferSize < result.needed) {
        result.error = ERROR_INSUFFICIENT_BUFFER;
        return result;
      }
      result.ok = true;
      result.value = std::move(driver);
      return result;
    }
    if (environment == nullptr) break;
  }
  result.error = ERROR_UNKNOWN_PRINTER_DRIVER;  // not installed here: not fetched either
  return result;
}

void Win32DriverInfoSource::ClosePrinter(PrinterHandle printer) {
  ::ClosePrinter(ToHandle(printer));
}

}  // namespace quillon::platform::win32
