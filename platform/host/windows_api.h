// <windows.h> and the spooler's <winspool.h> for our Windows sources. Their
// character-set macros would rename our own functions and methods
// (GetComputerName becomes GetComputerNameA in one file but not in another), so
// they are undone here; Windows sources call the wide entry points by their
// full names. Text inside the programs is UTF-8, as on POSIX; `Wide` and
// `Utf8` convert it where it meets Windows.
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
#include <string>
#include <string_view>

namespace quillon::platform::win32 {

// The seam carries Windows handles (printers, event sources) as 64-bit numbers.
inline HANDLE ToHandle(std::uint64_t handle) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle));
}
inline std::uint64_t FromHandle(HANDLE handle) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

// Bytes that are not UTF-8 become U+FFFD.
inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, wide.data(), units);
  return wide;
}

// A lone surrogate becomes U+FFFD.
inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int units = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr,
                                        nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

// A string the system filled in, which may be a null pointer.
inline std::string Utf8(const wchar_t* text) {
  return text ? Utf8(std::wstring_view(text)) : std::string();
}

}  // namespace quillon::platform::win32
