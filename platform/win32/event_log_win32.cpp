#include "platform/win32/event_log_win32.h"

#include <cstdint>

#include "platform/host/windows_api.h"
#include "platform/host/system_error_win32.h"

namespace quillon::platform::win32 {
namespace {

EventLogResult Outcome(BOOL ok, DWORD error) {
  if (ok) return {true, 0, {}};
  return {false, error, SystemErrorText(error)};
}

}  // namespace

EventSourceResult Win32EventLog::RegisterEventSource(const std::string& sourceName) {
  const std::wstring name = Wide(sourceName);
  SetLastError(0);
  HANDLE handle = RegisterEventSourceW(nullptr, name.c_str());
  const DWORD error = GetLastError();
  if (!handle) return {0, error, SystemErrorText(error)};
  return {static_cast<EventSourceHandle>(reinterpret_cast<std::uintptr_t>(handle)), 0, {}};
}

EventLogResult Win32EventLog::ReportEvent(EventSourceHandle source, std::uint16_t type,
                                          std::uint16_t category, std::uint32_t eventId,
                                          const std::string& message, std::string_view rawData) {
  const std::wstring text = Wide(message);
  const wchar_t* strings[] = {text.c_str()};
  SetLastError(0);
  const BOOL ok = ReportEventW(ToHandle(source), type, category, eventId, nullptr, 1,
                               static_cast<DWORD>(rawData.size()), strings,
                               const_cast<char*>(rawData.data()));
  return Outcome(ok, GetLastError());
}

EventLogResult Win32EventLog::DeregisterEventSource(EventSourceHandle source) {
  SetLastError(0);
  const BOOL ok = ::DeregisterEventSource(ToHandle(source));
  return Outcome(ok, GetLastError());
}

std::string Win32EventLog::MessageFile() {
  if (!FindResourceW(nullptr, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MESSAGETABLE))) {
    return {};
  }
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);  // characters
  if (length == 0 || length >= MAX_PATH) return {};
  return Utf8(std::wstring_view(path, length));
}

}  // namespace quillon::platform::win32
