// Conversions between the 8-bit texts of disks and reports and the UTF-8
// texts of the logic.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvorin::media {

// cp1252 (the Western ANSI code page) to UTF-8. Bytes that cp1252 leaves
// undefined map to the C1 control of the same value, as Windows does.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to cp1252; a character cp1252 cannot hold becomes '?'. Invalid
// UTF-8 bytes are taken as cp1252 bytes.
std::string Utf8ToAnsi(std::string_view utf8);
// UTF-8 to Latin-1 as the report narrows texts: each character up to U+00FF
// becomes its byte; the text ends before the first character above U+00FF.
std::string Utf8ToLatin1Truncated(std::string_view utf8);
// The text of a zero-padded field: the bytes up to the first zero, at most
// `size`.
std::string FixedField(const unsigned char* bytes, std::size_t size);

}  // namespace kalvorin::media
