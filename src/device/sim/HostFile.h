// A file of the host's file system with positional transfers, used for the
// disk images and for the plain files the simulated machine opens. The only
// place of sim/ that calls the operating system's file API.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace kalvorin::device::sim {

// UTF-8 text to a path, on every platform.
std::filesystem::path PathFromUtf8(const std::string& text);

class HostFile {
 public:
  // nullptr when the file cannot be opened (a folder never opens).
  static std::unique_ptr<HostFile> Open(const std::filesystem::path& path, bool write,
                                        bool createAlways);
  ~HostFile();
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  // Bytes read at `offset`: fewer than asked only at the end of the file;
  // false on an I/O error.
  bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t bytes, std::uint32_t& transferred);
  bool WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t bytes,
               std::uint32_t& transferred);
  bool Size(std::uint64_t& bytes);
  // Flushes to the medium and closes; false when either failed.
  bool SyncAndClose();
  bool writable() const { return write_; }

 private:
  HostFile(int descriptor, bool write) : descriptor_(descriptor), write_(write) {}
  int descriptor_;
  bool write_;
};

}  // namespace kalvorin::device::sim
