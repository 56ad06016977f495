// An open file or block device: positioned transfers, size, the uncached
// read, read-ahead hints and the flush on close. The device queries are
// answered by the DeviceQueries given at open (none for plain files).
//
// Transfers reach the medium, not the page cache: they go through a second
// descriptor of the same file opened with O_DIRECT, so a read comes from the
// medium even while another program holds the disk open, and a write that
// the medium refuses fails at that write. O_DIRECT needs offsets and lengths
// in whole logical sectors and an aligned buffer: other reads go through an
// aligned bounce buffer, other writes are written through the page cache and
// flushed at once. Where the file system refuses O_DIRECT (tmpfs, some FUSE
// file systems) every write is flushed at once instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/Platform.h"

namespace kalvorin::device::linuxbackend {

class DeviceQueries {
 public:
  virtual ~DeviceQueries() = default;
  // `fd` is the open device. Same contract as File::DeviceIoControl.
  virtual bool Answer(int fd, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                      std::uint32_t outSize, std::uint32_t& returned) = 0;
};

struct OpenRequest {
  std::string path;  // a path of the file system, e.g. "/dev/sdb" or "disk.img"
  Access access = Access::ReadWrite;
  Disposition disposition = Disposition::OpenExisting;
  // A device whose read-write open is refused because it is write-protected
  // (EROFS, or EACCES while the kernel's read-only flag is set) is opened for
  // reading instead; its writes then fail.
  bool readOnlyFallback = false;
  bool kernelReadOnly = false;  // the device's read-only flag, known beforehand
  // Only a block device with this device number is accepted (0: any file).
  std::uint64_t expectedDevice = 0;
};

class LinuxFile final : public File {
 public:
  // nullptr when the open fails or the path is neither a regular file nor a
  // block device.
  static std::unique_ptr<LinuxFile> Open(const OpenRequest& request,
                                         std::unique_ptr<DeviceQueries> queries);
  ~LinuxFile() override;

  bool Seek(std::uint64_t byteOffset) override;
  bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Size(std::uint64_t& bytes) override;
  bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override;
  bool ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) override;
  void AdviseSequential(std::uint64_t byteOffset, std::uint64_t bytes) override;
  void AdviseWillNeed(std::uint64_t byteOffset, std::uint64_t bytes) override;
  bool Close() override;

  bool openedReadOnly() const { return readOnly_; }
  // Whether transfers bypass the page cache (O_DIRECT was accepted).
  bool directTransfers() const { return directFd_ >= 0; }
  // Offsets and lengths of direct transfers are multiples of it: the
  // device's logical sector size, or the file system's direct I/O alignment.
  std::uint64_t directGranule() const { return directGranule_; }

 private:
  LinuxFile(int fd, std::string path, bool blockDevice, bool readOnly,
            std::unique_ptr<DeviceQueries> queries);
  void OpenDirect();
  void DropDirect();
  bool Aligned(const void* buffer, std::uint64_t offset, std::uint64_t bytes) const;
  bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
              std::uint64_t& got);
  // Reads through the direct descriptor; a short count only at the end of
  // the file. Unaligned requests go through the bounce buffer.
  bool ReadDirect(std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
                  std::uint64_t& got);
  bool ReadBounced(std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
                   std::uint64_t& got);
  bool WriteAt(int fd, std::uint64_t offset, const std::uint8_t* buffer, std::uint32_t bytes,
               std::uint32_t& put);
  bool Flush();

  int fd_ = -1;
  std::string path_;
  bool blockDevice_ = false;
  bool readOnly_ = false;
  bool written_ = false;
  std::uint64_t position_ = 0;  // position_ <= kMaxOffset
  std::unique_ptr<DeviceQueries> queries_;

  // The O_DIRECT descriptor of the same open file; -1 where refused.
  int directFd_ = -1;
  std::uint64_t directGranule_ = 4096;    // power of two, 512..65536
  std::uint64_t memoryAlignment_ = 4096;  // power of two, >= directGranule_
  struct AlignedFree {
    void operator()(void* p) const;
  };
  std::unique_ptr<std::uint8_t, AlignedFree> directBuffer_;
  std::uint64_t directBufferSize_ = 0;
};

}  // namespace kalvorin::device::linuxbackend
