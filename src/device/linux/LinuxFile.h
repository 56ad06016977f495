// An open file or block device: positioned transfers, size, the uncached
// read, read-ahead hints and the flush on close. The device queries are
// answered by the DeviceQueries given at open (none for plain files).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
  // A whole disk opened for a job: claimed exclusively when opened for
  // writing (the kernel then refuses it while a partition is mounted or
  // the system or another program holds it), and its BSD lock taken
  // (exclusive for writing, shared for reading), the lock udev and other
  // tools respect. Not for identification.
  bool forJob = false;
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
  std::optional<std::uint64_t> MediumSequence() override;
  bool MediumGone() override;
  bool RereadPartitions() override;

  bool openedReadOnly() const { return readOnly_; }

 private:
  LinuxFile(int fd, std::string path, bool blockDevice, bool readOnly,
            std::unique_ptr<DeviceQueries> queries);
  bool OpenDirect();
  bool ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
              std::uint64_t& got);

  int fd_ = -1;
  std::string path_;
  bool blockDevice_ = false;
  bool readOnly_ = false;
  bool written_ = false;
  std::uint64_t position_ = 0;  // position_ <= kMaxOffset
  std::unique_ptr<DeviceQueries> queries_;
  int lastError_ = 0;  // errno of the last failed transfer

  // The O_DIRECT descriptor of ReadUncached, opened on first use.
  int directFd_ = -1;
  bool directTried_ = false;
  bool directUnsupported_ = false;      // the file system refuses O_DIRECT
  std::uint64_t directGranule_ = 4096;  // offsets and lengths are multiples of it
  struct AlignedFree {
    void operator()(void* p) const;
  };
  std::unique_ptr<std::uint8_t, AlignedFree> directBuffer_;
  std::uint64_t directBufferSize_ = 0;
};

}  // namespace kalvorin::device::linuxbackend
