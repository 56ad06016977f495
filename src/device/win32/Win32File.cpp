#include "device/win32/Win32File.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "device/win32/WideText.h"

namespace kalvorin::device::win32 {
namespace {

// The errors of a device that is no longer there (winerror.h values).
constexpr DWORD kErrorDevNotExist = 55;
constexpr DWORD kErrorNoSuchDevice = 433;
constexpr DWORD kErrorDeviceNotConnected = 1167;

constexpr std::uint64_t kMaxPosition = std::numeric_limits<LONGLONG>::max();
// Unbuffered reads go through a bounce buffer of at most this size.
constexpr std::uint32_t kUncachedChunk = 1u << 20;

struct VirtualFreer {
  void operator()(std::uint8_t* p) const { VirtualFree(p, 0, MEM_RELEASE); }
};
using PageBuffer = std::unique_ptr<std::uint8_t, VirtualFreer>;

bool SeekHandle(HANDLE handle, std::uint64_t byteOffset) {
  if (byteOffset > kMaxPosition) return false;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(byteOffset);
  return SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

Win32File::Win32File(HANDLE handle, std::wstring path, bool writable)
    : handle_(handle), path_(std::move(path)), writable_(writable) {}

Win32File::~Win32File() {
  if (uncached_ != INVALID_HANDLE_VALUE) CloseHandle(uncached_);
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

void Win32File::NoteFailure() {
  const DWORD error = GetLastError();
  if (error == kErrorDevNotExist || error == kErrorNoSuchDevice ||
      error == kErrorDeviceNotConnected) {
    gone_ = true;
  }
}

bool Win32File::Seek(std::uint64_t byteOffset) {
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (SeekHandle(handle_, byteOffset)) return true;
  NoteFailure();
  return false;
}

bool Win32File::Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const BOOL ok = ReadFile(handle_, buffer, bytes, &done, nullptr);
  if (!ok) NoteFailure();
  transferred = done;
  return ok != FALSE;
}

bool Win32File::Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  written_ = true;
  DWORD done = 0;
  const BOOL ok = WriteFile(handle_, buffer, bytes, &done, nullptr);
  if (!ok) NoteFailure();
  transferred = done;
  return ok != FALSE;
}

bool Win32File::Size(std::uint64_t& bytes) {
  bytes = 0;
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_, &size) || size.QuadPart < 0) return false;
  bytes = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool Win32File::DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                                std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const BOOL ok =
      ::DeviceIoControl(handle_, code, const_cast<void*>(in), inSize, out, outSize, &done, nullptr);
  returned = std::min<DWORD>(done, outSize);
  return ok != FALSE;
}

bool Win32File::ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) {
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (byteOffset > kMaxPosition || bytes > kMaxPosition - byteOffset) return false;
  if (bytes == 0) return true;
  if (uncached_ == INVALID_HANDLE_VALUE) {
    uncached_ = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (uncached_ == INVALID_HANDLE_VALUE) {
      NoteFailure();
      return false;
    }
  }
  // Unbuffered transfers must cover whole sectors of the medium: try 512-byte
  // sectors first, then 4096 for disks that refuse them.
  auto* target = static_cast<std::uint8_t*>(buffer);
  for (std::uint32_t unit : {512u, 4096u}) {
    const AlignedRead result = ReadAligned(byteOffset, target, bytes, unit);
    if (result != AlignedRead::kRefused) return result == AlignedRead::kDone;
  }
  return false;
}

// Reads [byteOffset, byteOffset + bytes) through whole `unit`-aligned
// transfers. kRefused when the system rejected the alignment itself.
Win32File::AlignedRead Win32File::ReadAligned(std::uint64_t byteOffset, std::uint8_t* buffer,
                                              std::uint32_t bytes, std::uint32_t unit) {
  const std::uint64_t end = byteOffset + bytes;  // checked by the caller
  const std::uint64_t first = byteOffset - byteOffset % unit;
  const std::uint64_t span = end - first;
  const std::uint32_t capacity = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(kUncachedChunk, (span + unit - 1) / unit * unit));
  PageBuffer bounce(static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
  if (!bounce) return AlignedRead::kFailed;

  for (std::uint64_t position = first; position < end;) {
    const std::uint32_t chunk = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(capacity, (end - position + unit - 1) / unit * unit));
    DWORD done = 0;
    if (!SeekHandle(uncached_, position)) return AlignedRead::kFailed;
    if (!ReadFile(uncached_, bounce.get(), chunk, &done, nullptr)) {
      if (GetLastError() == ERROR_INVALID_PARAMETER) return AlignedRead::kRefused;
      NoteFailure();
      return AlignedRead::kFailed;
    }
    const std::uint64_t wantedEnd = std::min<std::uint64_t>(end, position + chunk);
    if (position + done < wantedEnd) return AlignedRead::kFailed;  // short: past the end
    const std::uint64_t copyFrom = std::max(position, byteOffset);
    std::memcpy(buffer + (copyFrom - byteOffset), bounce.get() + (copyFrom - position),
                static_cast<std::size_t>(wantedEnd - copyFrom));
    position += chunk;
  }
  return AlignedRead::kDone;
}

// Windows takes its sequential hint only at open time (FILE_FLAG_SEQUENTIAL_SCAN):
// nothing to do on an open handle.
void Win32File::AdviseSequential(std::uint64_t, std::uint64_t) {}
void Win32File::AdviseWillNeed(std::uint64_t, std::uint64_t) {}

bool Win32File::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (uncached_ != INVALID_HANDLE_VALUE) {
    CloseHandle(uncached_);
    uncached_ = INVALID_HANDLE_VALUE;
  }
  // Only what this handle wrote needs flushing; a handle without write access
  // could not be flushed at all.
  const bool flushed = !writable_ || !written_ || FlushFileBuffers(handle_) != FALSE;
  const bool closed = CloseHandle(handle_) != FALSE;
  handle_ = INVALID_HANDLE_VALUE;
  return flushed && closed;
}

std::unique_ptr<File> OpenFile(const std::string& path, Access access, Share share,
                               Disposition disposition) {
  std::wstring wide = Widen(path);
  if (wide.empty()) return nullptr;
  const bool writable = access != Access::Read;
  const DWORD desired = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD sharing =
      share == Share::ReadWrite ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  const DWORD creation = disposition == Disposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE handle = CreateFileW(wide.c_str(), desired, sharing, nullptr, creation, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (disposition == Disposition::CreateAlways && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<Win32File>(handle, std::move(wide), writable);
}

}  // namespace kalvorin::device::win32
