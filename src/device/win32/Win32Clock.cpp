#include <cstdio>
#include <string>

#include "device/win32/WideText.h"
#include "device/win32/Win32Services.h"
#include "device/win32/WindowsApi.h"

namespace kalvorin::device::win32 {

LocalTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LocalTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.millisecond = now.wMilliseconds;
  return time;
}

std::uint64_t TickMilliseconds() { return GetTickCount64(); }

// The user's long time format (no format string, no flags).
std::string LongTimeText(int hour, int minute, int second) {
  SYSTEMTIME time{};
  time.wYear = 2000;
  time.wMonth = 1;
  time.wDay = 1;
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  wchar_t text[128] = {};
  const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128);
  if (length > 1) return Narrow(text, static_cast<std::size_t>(length - 1));
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "%02d:%02d:%02d", hour, minute, second);
  return fallback;
}

}  // namespace kalvorin::device::win32
