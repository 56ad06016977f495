#include "device/sim/HostFile.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kalvorin::device::sim {

namespace {

#ifdef _WIN32
int OpenDescriptor(const std::filesystem::path& path, int flags) {
  return _wopen(path.c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
}
constexpr int kReadOnly = _O_RDONLY;
constexpr int kReadWrite = _O_RDWR;
constexpr int kCreateTruncate = _O_CREAT | _O_TRUNC;

// The CRT has no positional transfer: position, then transfer.
long long ReadOnce(int descriptor, void* buffer, unsigned bytes, std::uint64_t offset) {
  if (_lseeki64(descriptor, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
  return _read(descriptor, buffer, bytes);
}
long long WriteOnce(int descriptor, const void* buffer, unsigned bytes, std::uint64_t offset) {
  if (_lseeki64(descriptor, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
  return _write(descriptor, buffer, bytes);
}
bool SizeOf(int descriptor, std::uint64_t& bytes) {
  const long long size = _filelengthi64(descriptor);
  if (size < 0) return false;
  bytes = static_cast<std::uint64_t>(size);
  return true;
}
bool Sync(int descriptor) { return _commit(descriptor) == 0; }
bool CloseDescriptor(int descriptor) { return _close(descriptor) == 0; }
#else
int OpenDescriptor(const std::filesystem::path& path, int flags) {
  return ::open(path.c_str(), flags | O_CLOEXEC, 0644);
}
constexpr int kReadOnly = O_RDONLY;
constexpr int kReadWrite = O_RDWR;
constexpr int kCreateTruncate = O_CREAT | O_TRUNC;

long long ReadOnce(int descriptor, void* buffer, unsigned bytes, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return -1;
  ssize_t done;
  do {
    done = ::pread(descriptor, buffer, bytes, static_cast<off_t>(offset));
  } while (done < 0 && errno == EINTR);
  return done;
}
long long WriteOnce(int descriptor, const void* buffer, unsigned bytes, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return -1;
  ssize_t done;
  do {
    done = ::pwrite(descriptor, buffer, bytes, static_cast<off_t>(offset));
  } while (done < 0 && errno == EINTR);
  return done;
}
bool SizeOf(int descriptor, std::uint64_t& bytes) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return false;
  bytes = static_cast<std::uint64_t>(status.st_size);
  return true;
}
bool Sync(int descriptor) { return ::fsync(descriptor) == 0; }
bool CloseDescriptor(int descriptor) { return ::close(descriptor) == 0; }
#endif

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::unique_ptr<HostFile> HostFile::Open(const std::filesystem::path& path, bool write,
                                         bool createAlways) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return nullptr;
  int flags = write ? kReadWrite : kReadOnly;
  if (createAlways) flags |= kCreateTruncate;
  const int descriptor = OpenDescriptor(path, flags);
  if (descriptor < 0) return nullptr;
  return std::unique_ptr<HostFile>(new HostFile(descriptor, write));
}

HostFile::~HostFile() {
  if (descriptor_ >= 0) CloseDescriptor(descriptor_);
}

bool HostFile::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t bytes,
                      std::uint32_t& transferred) {
  transferred = 0;
  if (descriptor_ < 0) return false;
  auto* bytesOut = static_cast<unsigned char*>(buffer);
  while (transferred < bytes) {
    if (offset > UINT64_MAX - transferred) return false;
    const long long done =
        ReadOnce(descriptor_, bytesOut + transferred, bytes - transferred, offset + transferred);
    if (done < 0) return false;
    if (done == 0) break;  // end of file
    transferred += static_cast<std::uint32_t>(done);
  }
  return true;
}

bool HostFile::WriteAt(std::uint64_t offset, const void* buffer, std::uint32_t bytes,
                       std::uint32_t& transferred) {
  transferred = 0;
  if (descriptor_ < 0 || !write_) return false;
  const auto* bytesIn = static_cast<const unsigned char*>(buffer);
  while (transferred < bytes) {
    if (offset > UINT64_MAX - transferred) return false;
    const long long done =
        WriteOnce(descriptor_, bytesIn + transferred, bytes - transferred, offset + transferred);
    if (done <= 0) return false;
    transferred += static_cast<std::uint32_t>(done);
  }
  return true;
}

bool HostFile::Size(std::uint64_t& bytes) { return descriptor_ >= 0 && SizeOf(descriptor_, bytes); }

bool HostFile::SyncAndClose() {
  if (descriptor_ < 0) return false;
  const bool synced = !write_ || Sync(descriptor_);
  const bool closed = CloseDescriptor(descriptor_);
  descriptor_ = -1;
  return synced && closed;
}

}  // namespace kalvorin::device::sim
