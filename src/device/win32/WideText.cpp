#include "device/win32/WideText.h"

#include <climits>

#include "device/win32/WindowsApi.h"

namespace kalvorin::device::win32 {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int length = static_cast<int>(utf8.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), needed);
  return wide;
}

std::string Narrow(const wchar_t* utf16, std::size_t length) {
  if (length == 0 || length > INT_MAX) return {};
  const int size = static_cast<int>(length);
  const int needed = WideCharToMultiByte(CP_UTF8, 0, utf16, size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16, size, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), utf16.size()); }

}  // namespace kalvorin::device::win32
