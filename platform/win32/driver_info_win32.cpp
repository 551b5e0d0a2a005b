// Win32DriverInfoSource: EnumPrinters at level 4 (names only, the cheap level),
// OpenPrinter with default access, GetPrinterDriver at level 2, ClosePrinter.
// Each call returns its own last-error code, as the seam's spooler does.
#include "platform/win32/driver_info_win32.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/host/system_error_win32.h"
// With <winspool.h>, whose macros for our method names it undoes.
#include "platform/host/windows_api.h"
#include "platform/win32/spooler_win32.h"

namespace quillon::platform::win32 {

namespace {

static_assert(sizeof(void*) != 8 || sizeof(DRIVER_INFO_2A) == 48,
              "DriverInfo2Size assumes the 64-bit layout");

// Buffers of 8-byte words, so that the structures the spooler writes are aligned.
std::vector<std::uint64_t> Buffer(std::size_t bytes) {
  return std::vector<std::uint64_t>(bytes / sizeof(std::uint64_t) + 1);
}

std::string ReadString(const char* text, const char* begin, const char* end) {
  if (!text || text < begin || text >= end) return {};
  const void* nul = std::memchr(text, '\0', static_cast<std::size_t>(end - text));
  if (!nul) return {};
  return std::string(text, static_cast<const char*>(nul));
}

}  // namespace

DriverInfo2 DecodeDriverInfo2(const void* buffer, std::size_t size) {
  DriverInfo2 info;
  if (!buffer || size < sizeof(DRIVER_INFO_2A)) return info;
  DRIVER_INFO_2A raw;
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
  SetLastError(0);
  if (!OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) {
    result.error = GetLastError();
    return result;
  }
  result.handle = static_cast<PrinterHandle>(reinterpret_cast<std::uintptr_t>(printer));
  return result;
}

SizedResult<DriverInfo2> Win32DriverInfoSource::GetPrinterDriver(PrinterHandle printer,
                                                                 std::size_t bufferSize) {
  SizedResult<DriverInfo2> result;
  std::vector<std::uint64_t> buffer = Buffer(bufferSize);
  BYTE* bytes = bufferSize ? reinterpret_cast<BYTE*>(buffer.data()) : nullptr;
  DWORD needed = 0;
  SetLastError(0);
  if (!GetPrinterDriverA(ToHandle(printer), nullptr, 2, bytes, static_cast<DWORD>(bufferSize),
                         &needed)) {
    result.error = GetLastError();
    result.needed = needed;
    return result;
  }
  result.ok = true;
  result.needed = needed;
  result.value = DecodeDriverInfo2(bytes, bufferSize);
  return result;
}

void Win32DriverInfoSource::ClosePrinter(PrinterHandle printer) {
  ::ClosePrinter(ToHandle(printer));
}

}  // namespace quillon::platform::win32
