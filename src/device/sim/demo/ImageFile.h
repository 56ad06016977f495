// Small helpers to make raw image files for fixtures and the demo machine.
// Images are sparse: only the bytes written take space.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvorin::demo {

// Creates (or truncates) `path` with `sectors` sectors of 512 bytes, all
// zero. False when the file cannot be made.
bool CreateSparseImage(const std::string& path, std::uint64_t sectors);
// Writes `bytes` at byte `offset` of an existing file. False on failure.
bool WriteAt(const std::string& path, std::uint64_t offset, const std::vector<std::uint8_t>& bytes);
// Reads `size` bytes at `offset`; fewer when the file ends sooner.
std::vector<std::uint8_t> ReadAt(const std::string& path, std::uint64_t offset, std::size_t size);

}  // namespace kalvorin::demo
