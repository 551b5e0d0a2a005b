#include "platform/win32/clock_win32.h"

#include "platform/host/windows_api.h"

namespace quillon::platform::win32 {

LocalTime Win32Clock::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

ZonedTime Win32Clock::NowWithOffset() {
  // One instant, in UTC and in the zone's local time (with its daylight rule).
  FILETIME instant{};
  GetSystemTimeAsFileTime(&instant);
  SYSTEMTIME utc{}, local{};
  FileTimeToSystemTime(&instant, &utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  const auto parts = [](const SYSTEMTIME& t) {
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  };
  return {parts(local), OffsetMinutes(parts(local), parts(utc))};
}

void Win32Clock::Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

std::string Win32Clock::FormatGeneralDate(const LocalTime& time) {
  SYSTEMTIME at{};
  at.wYear = static_cast<WORD>(time.year);
  at.wMonth = static_cast<WORD>(time.month);
  at.wDay = static_cast<WORD>(time.day);
  at.wHour = static_cast<WORD>(time.hour);
  at.wMinute = static_cast<WORD>(time.minute);
  at.wSecond = static_cast<WORD>(time.second);
  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  // A time the locale cannot format (a month 0, say) falls back to the
  // locale-free form rather than reporting nothing. Sizes in characters.
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, date, 128) == 0 ||
      GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &at, nullptr, clock, 128) == 0) {
    return Clock::FormatGeneralDate(time);
  }
  return Utf8(date) + " " + Utf8(clock);
}

}  // namespace quillon::platform::win32
