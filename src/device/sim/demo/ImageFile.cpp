#include "device/sim/demo/ImageFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace kalvorin::demo {

bool CreateSparseImage(const std::string& path, std::uint64_t sectors) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
  }
  std::error_code error;
  std::filesystem::resize_file(path, sectors * 512, error);
  return !error;
}

bool WriteAt(const std::string& path, std::uint64_t offset,
             const std::vector<std::uint8_t>& bytes) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!file) return false;
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::vector<std::uint8_t> ReadAt(const std::string& path, std::uint64_t offset, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

}  // namespace kalvorin::demo
