// UTF-8 (the platform interface) to and from UTF-16 (the W calls).
#pragma once

#include <string>

namespace kalvorin::device::win32 {

// Invalid UTF-8 gives the empty text, which every W call refuses, so a
// malformed path never opens some other file.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, std::size_t length);

}  // namespace kalvorin::device::win32
