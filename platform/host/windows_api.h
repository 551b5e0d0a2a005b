// <windows.h> and the spooler's <winspool.h> for our Windows sources. Their
// character-set macros would rename our own functions and methods
// (GetComputerName becomes GetComputerNameA in one file but not in another), so
// they are undone here; Windows sources call the ANSI entry points by their
// full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winspool.h>

#undef GetComputerName
#undef GetUserName
#undef GetProfileString
#undef WriteProfileString
#undef ReplaceFile
#undef CreateFile
#undef CopyFile
#undef GetVersion
#undef RegisterEventSource
#undef ReportEvent
#undef EnumPrinters
#undef OpenPrinter
#undef GetPrinter
#undef SetPrinter
#undef AddPrinter
#undef AddPrinterConnection
#undef DeletePrinterConnection
#undef AddPrinterDriver
#undef GetPrinterDriver
#undef AddPort
#undef GetDefaultPrinter
#undef SetDefaultPrinter

#include <cstdint>

namespace quillon::platform::win32 {

// The seam carries Windows handles (printers, event sources) as 64-bit numbers.
inline HANDLE ToHandle(std::uint64_t handle) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle));
}
inline std::uint64_t FromHandle(HANDLE handle) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace quillon::platform::win32
