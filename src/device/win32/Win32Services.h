// The Win32 calls behind each Platform operation other than Open, as free
// functions so that each concern lives in its own file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/Platform.h"

namespace kalvorin::device::win32 {

// Volumes and files (Win32FileSystem.cpp).
int DriveTypeOf(char letter);
std::optional<std::string> VolumeLabelOf(char letter);
std::optional<std::uint64_t> FreeBytesFor(const std::string& path);
bool MoveReplacing(const std::string& from, const std::string& to);
bool Delete(const std::string& path);

// The command interpreter and the program's own location (Win32Process.cpp).
int RunThroughInterpreter(const std::string& commandLine);
std::string ExecutablePath();
std::string VolumePathOf(const std::string& executablePath);

// Clocks (Win32Clock.cpp).
LocalTime LocalNow();
std::uint64_t TickMilliseconds();
std::string LongTimeText(int hour, int minute, int second);

// The management query (Win32Wmi.cpp).
std::vector<WmiObject> RunWmiQuery(const std::string& selection);

}  // namespace kalvorin::device::win32
