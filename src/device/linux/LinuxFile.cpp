#include "device/linux/LinuxFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kalvorin::device::linuxbackend {
namespace {

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
constexpr std::uint64_t kMemoryAlignment = 4096;
constexpr std::uint64_t kDirectChunk = 1 << 20;

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The range as posix_fadvise takes it; false when it lies beyond any offset.
bool AdviceRange(std::uint64_t offset, std::uint64_t bytes, off_t& start, off_t& length) {
  if (offset > kMaxOffset) return false;
  start = static_cast<off_t>(offset);
  length = static_cast<off_t>(std::min(bytes, kMaxOffset - offset));
  return true;
}

}  // namespace

void LinuxFile::AlignedFree::operator()(void* p) const { std::free(p); }

std::unique_ptr<LinuxFile> LinuxFile::Open(const OpenRequest& request,
                                           std::unique_ptr<DeviceQueries> queries) {
  int flags = O_CLOEXEC | O_NONBLOCK;  // a FIFO must not block the open
  bool readOnly =
      request.access == Access::Read || (request.readOnlyFallback && request.kernelReadOnly);
  flags |= readOnly ? O_RDONLY : O_RDWR;
  if (request.disposition == Disposition::CreateAlways) flags |= O_CREAT | O_TRUNC;
  int fd = OpenRetrying(request.path.c_str(), flags, 0666);
  if (fd < 0 && !readOnly && request.readOnlyFallback &&
      (errno == EROFS || (errno == EACCES && request.kernelReadOnly))) {
    readOnly = true;
    fd = OpenRetrying(request.path.c_str(), (flags & ~O_RDWR) | O_RDONLY);
  }
  if (fd < 0) return nullptr;
  struct stat status {};
  const bool blockDevice = ::fstat(fd, &status) == 0 && S_ISBLK(status.st_mode);
  const bool regular = S_ISREG(status.st_mode);
  const bool wrongDevice =
      request.expectedDevice != 0 &&
      (!blockDevice || static_cast<std::uint64_t>(status.st_rdev) != request.expectedDevice);
  if ((!blockDevice && !regular) || wrongDevice ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<LinuxFile> file(
      new LinuxFile(fd, request.path, blockDevice, readOnly, std::move(queries)));
  file->OpenDirect();
  return file;
}

LinuxFile::LinuxFile(int fd, std::string path, bool blockDevice, bool readOnly,
                     std::unique_ptr<DeviceQueries> queries)
    : fd_(fd),
      path_(std::move(path)),
      blockDevice_(blockDevice),
      readOnly_(readOnly),
      queries_(std::move(queries)) {}

LinuxFile::~LinuxFile() {
  if (directFd_ >= 0) ::close(directFd_);
  if (fd_ >= 0) ::close(fd_);
}

bool LinuxFile::Seek(std::uint64_t byteOffset) {
  // Past the end is accepted, as on Windows: a read there moves no byte and
  // a write to a device fails.
  if (fd_ < 0 || byteOffset > kMaxOffset) return false;
  position_ = byteOffset;
  return true;
}

bool LinuxFile::ReadAt(int fd, std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
                       std::uint64_t& got) {
  got = 0;
  if (offset > kMaxOffset || bytes > kMaxOffset - offset) return false;
  while (got < bytes) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes - got, 1U << 30));
    const ssize_t n = ::pread(fd, buffer + got, chunk, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    got += static_cast<std::uint64_t>(n);
    // A direct read continues only from an aligned offset: a short one
    // stopped at the end of the file.
    if (fd == directFd_ && static_cast<std::size_t>(n) < chunk) break;
  }
  return true;
}

bool LinuxFile::WriteAt(int fd, std::uint64_t offset, const std::uint8_t* buffer,
                        std::uint32_t bytes, std::uint32_t& put) {
  put = 0;
  while (put < bytes) {
    const ssize_t n = ::pwrite(fd, buffer + put, bytes - put, static_cast<off_t>(offset + put));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    put += static_cast<std::uint32_t>(n);
    // A short direct write ends where the medium ends.
    if (fd == directFd_ && put < bytes) return false;
  }
  return true;
}

bool LinuxFile::Flush() {
  int result;
  do {
    result = ::fdatasync(fd_);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

void LinuxFile::OpenDirect() {
  // The same open file through /proc, not the path again: the path may
  // name another file by now.
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  directFd_ = OpenRetrying(self.c_str(), (readOnly_ ? O_RDONLY : O_RDWR) | O_DIRECT | O_CLOEXEC);
  if (directFd_ < 0) return;  // EINVAL: the file system has no direct I/O
  struct stat opened {};
  struct stat original {};
  if (::fstat(directFd_, &opened) != 0 || ::fstat(fd_, &original) != 0 ||
      opened.st_ino != original.st_ino || opened.st_dev != original.st_dev ||
      opened.st_rdev != original.st_rdev) {
    DropDirect();
    return;
  }
  int logical = 0;
  if (blockDevice_ && ::ioctl(directFd_, BLKSSZGET, &logical) == 0) {
    // A size the alignment arithmetic cannot serve leaves the cache in use.
    const auto size = static_cast<std::uint64_t>(logical);
    if (logical < 512 || logical > 65536 || (size & (size - 1)) != 0) {
      DropDirect();
      return;
    }
    directGranule_ = size;
  }
  memoryAlignment_ = std::max(kMemoryAlignment, directGranule_);
}

void LinuxFile::DropDirect() {
  if (directFd_ >= 0) ::close(directFd_);
  directFd_ = -1;
}

bool LinuxFile::Aligned(const void* buffer, std::uint64_t offset, std::uint64_t bytes) const {
  return reinterpret_cast<std::uintptr_t>(buffer) % memoryAlignment_ == 0 &&
         offset % directGranule_ == 0 && bytes % directGranule_ == 0;
}

bool LinuxFile::ReadBounced(std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
                            std::uint64_t& got) {
  got = 0;
  if (!directBuffer_) {
    directBufferSize_ = std::max(kDirectChunk, memoryAlignment_);
    directBuffer_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(
        static_cast<std::size_t>(memoryAlignment_), static_cast<std::size_t>(directBufferSize_))));
    if (!directBuffer_) return false;
  }
  // Whole granules around the asked range go through the aligned buffer;
  // only the asked bytes are copied out.
  const std::uint64_t end = offset + bytes;
  std::uint64_t position = offset;
  while (position < end) {
    const std::uint64_t alignedStart = position - position % directGranule_;
    const std::uint64_t chunkEnd = std::min(end, alignedStart + directBufferSize_);
    std::uint64_t alignedLength = chunkEnd - alignedStart;
    if (alignedLength % directGranule_ != 0) {
      alignedLength += directGranule_ - alignedLength % directGranule_;
    }
    std::uint64_t read = 0;
    if (!ReadAt(directFd_, alignedStart, directBuffer_.get(), alignedLength, read)) return false;
    const std::uint64_t available = std::min(chunkEnd, alignedStart + read);
    if (available <= position) return true;  // the end of the file
    std::memcpy(buffer + (position - offset), directBuffer_.get() + (position - alignedStart),
                static_cast<std::size_t>(available - position));
    got += available - position;
    if (available < chunkEnd) return true;
    position = chunkEnd;
  }
  return true;
}

bool LinuxFile::ReadDirect(std::uint64_t offset, std::uint8_t* buffer, std::uint64_t bytes,
                           std::uint64_t& got) {
  got = 0;
  if (offset > kMaxOffset || bytes > kMaxOffset - offset) return false;
  if (!Aligned(buffer, offset, bytes)) return ReadBounced(offset, buffer, bytes, got);
  if (ReadAt(directFd_, offset, buffer, bytes, got)) return true;
  if (errno != EINVAL || got != 0) return false;
  // Stricter alignment than the file system let us know: use the cache.
  DropDirect();
  return ReadAt(fd_, offset, buffer, bytes, got);
}

bool LinuxFile::Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (fd_ < 0) return false;
  std::uint64_t got = 0;
  auto* target = static_cast<std::uint8_t*>(buffer);
  const bool ok = directFd_ >= 0 ? ReadDirect(position_, target, bytes, got)
                                 : ReadAt(fd_, position_, target, bytes, got);
  transferred = static_cast<std::uint32_t>(got);
  position_ += got;
  return ok;
}

bool LinuxFile::Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (fd_ < 0 || position_ > kMaxOffset || bytes > kMaxOffset - position_) return false;
  if (bytes > 0) written_ = true;
  const auto* source = static_cast<const std::uint8_t*>(buffer);
  bool ok;
  if (directFd_ >= 0 && Aligned(buffer, position_, bytes)) {
    ok = WriteAt(directFd_, position_, source, bytes, transferred);
    if (!ok && errno == EINVAL && transferred == 0) {
      DropDirect();
      ok = WriteAt(fd_, position_, source, bytes, transferred) && Flush();
    }
  } else {
    // Through the cache, flushed now: a failure belongs to this write.
    ok = WriteAt(fd_, position_, source, bytes, transferred) && Flush();
  }
  position_ += transferred;
  return ok;
}

bool LinuxFile::Size(std::uint64_t& bytes) {
  bytes = 0;
  if (fd_ < 0) return false;
  if (blockDevice_) return ::ioctl(fd_, BLKGETSIZE64, &bytes) == 0;
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || status.st_size < 0) return false;
  bytes = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool LinuxFile::DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                                std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  if (fd_ < 0 || !queries_) return false;
  return queries_->Answer(fd_, code, in, inSize, out, outSize, returned);
}

bool LinuxFile::ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) {
  if (fd_ < 0 || byteOffset > kMaxOffset || bytes > kMaxOffset - byteOffset) return false;
  if (bytes == 0) return true;
  auto* target = static_cast<std::uint8_t*>(buffer);
  std::uint64_t got = 0;
  if (directFd_ < 0) {
    // Without O_DIRECT the page cache is the medium (tmpfs) or the only way
    // in: a read after dropping the cached range is the best answer.
    ::posix_fadvise(fd_, static_cast<off_t>(byteOffset), static_cast<off_t>(bytes),
                    POSIX_FADV_DONTNEED);
    return ReadAt(fd_, byteOffset, target, bytes, got) && got == bytes;
  }
  return ReadDirect(byteOffset, target, bytes, got) && got == bytes;
}

void LinuxFile::AdviseSequential(std::uint64_t byteOffset, std::uint64_t bytes) {
  off_t start = 0, length = 0;
  if (fd_ >= 0 && AdviceRange(byteOffset, bytes, start, length)) {
    ::posix_fadvise(fd_, start, length, POSIX_FADV_SEQUENTIAL);
  }
}

void LinuxFile::AdviseWillNeed(std::uint64_t byteOffset, std::uint64_t bytes) {
  off_t start = 0, length = 0;
  if (fd_ >= 0 && AdviceRange(byteOffset, bytes, start, length)) {
    ::posix_fadvise(fd_, start, length, POSIX_FADV_WILLNEED);
  }
}

bool LinuxFile::Close() {
  if (fd_ < 0) return false;
  bool ok = true;
  // The device's own write cache too: fdatasync of a block device flushes it.
  if (written_) ok = Flush();
  DropDirect();
  // Linux releases the descriptor even when close reports EINTR.
  if (::close(fd_) != 0 && errno != EINTR) ok = false;
  fd_ = -1;
  return ok;
}

}  // namespace kalvorin::device::linuxbackend
