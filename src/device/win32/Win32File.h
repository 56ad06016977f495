// An open file, volume or physical disk: one Windows HANDLE.
#pragma once

#include <memory>
#include <string>

#include "device/Platform.h"
#include "device/win32/WindowsApi.h"

namespace kalvorin::device::win32 {

class Win32File final : public File {
 public:
  // Takes ownership of `handle`. `path` is kept to open the second, unbuffered
  // handle of ReadUncached; `writable` says whether Close() must flush.
  Win32File(HANDLE handle, std::wstring path, bool writable);
  ~Win32File() override;
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

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
  bool MediumGone() override { return gone_; }

 private:
  // Notes a failed call: the medium is gone when the system says the device is.
  void NoteFailure();

  enum class AlignedRead { kDone, kRefused, kFailed };
  AlignedRead ReadAligned(std::uint64_t byteOffset, std::uint8_t* buffer, std::uint32_t bytes,
                          std::uint32_t unit);

  HANDLE handle_;
  HANDLE uncached_ = INVALID_HANDLE_VALUE;  // opened on first ReadUncached
  std::wstring path_;
  bool writable_;
  bool written_ = false;  // a Write was attempted: Close() must flush
  bool gone_ = false;
};

// CreateFileW with the sharing and disposition asked, no security
// attributes, flags 0. nullptr when the open fails, and for CreateAlways
// when what was opened is not a file (a console, a pipe or another device
// reached through a reserved name). Inspect opens read-write, as Read|Write.
std::unique_ptr<File> OpenFile(const std::string& path, Access access, Share share,
                               Disposition disposition);

}  // namespace kalvorin::device::win32
