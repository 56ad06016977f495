#include "device/sim/SimFile.h"

#include <utility>

#include "device/WindowsLayouts.h"
#include "device/sim/SimIdentity.h"

namespace kalvorin::device::sim {

namespace {
constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(INT64_MAX);
}

HostBackedFile::HostBackedFile(std::unique_ptr<HostFile> host, Faults faults)
    : host_(std::move(host)), faults_(std::move(faults)) {}

bool HostBackedFile::Faulty(const std::vector<SectorRange>& ranges, std::uint64_t offset,
                            std::uint32_t bytes) const {
  if (bytes == 0 || ranges.empty()) return false;
  const std::uint64_t last = offset > kMaxOffset - bytes ? UINT64_MAX : offset + bytes - 1;
  return TouchesRange(ranges, offset / 512, last / 512);
}

bool HostBackedFile::Seek(std::uint64_t byteOffset) {
  if (!host_ || byteOffset > kMaxOffset) return false;
  if (TouchesRange(faults_.seek, byteOffset / 512, byteOffset / 512)) return false;
  position_ = byteOffset;
  return true;
}

bool HostBackedFile::Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (!host_ || Faulty(faults_.read, position_, bytes)) return false;
  if (!host_->ReadAt(position_, buffer, bytes, transferred)) return false;
  position_ += transferred;
  return true;
}

bool HostBackedFile::Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (!host_ || Faulty(faults_.write, position_, bytes)) return false;
  if (position_ > kMaxOffset - bytes) return false;
  if (!host_->WriteAt(position_, buffer, bytes, transferred)) return false;
  position_ += transferred;
  return true;
}

bool HostBackedFile::Size(std::uint64_t& bytes) { return host_ && host_->Size(bytes); }

bool HostBackedFile::DeviceIoControl(std::uint32_t, const void*, std::uint32_t, void*,
                                     std::uint32_t, std::uint32_t& returned) {
  returned = 0;
  return false;
}

bool HostBackedFile::ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) {
  if (!host_ || byteOffset > kMaxOffset || Faulty(faults_.read, byteOffset, bytes)) return false;
  std::uint32_t transferred = 0;
  return host_->ReadAt(byteOffset, buffer, bytes, transferred) && transferred == bytes;
}

bool HostBackedFile::Close() {
  if (!host_) return false;
  const bool flushed = host_->SyncAndClose();
  host_.reset();
  return flushed;
}

DiskFile::DiskFile(std::unique_ptr<HostFile> host, DiskDescription disk)
    : HostBackedFile(std::move(host), disk.faults), disk_(std::move(disk)) {
  const std::uint32_t size = disk_.logicalSectorSize;
  if (size > 512 && size <= 65536 && (size & (size - 1)) == 0) granule_ = size;
}

bool DiskFile::WholeSectors(std::uint32_t bytes) const {
  return position_ % granule_ == 0 && bytes % granule_ == 0;
}

bool DiskFile::Seek(std::uint64_t byteOffset) {
  if (!HostBackedFile::Seek(byteOffset)) return false;
  position_ = byteOffset;
  return true;
}

bool DiskFile::Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (!WholeSectors(bytes)) return false;
  const bool ok = HostBackedFile::Read(buffer, bytes, transferred);
  position_ += transferred;
  return ok;
}

bool DiskFile::Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) {
  transferred = 0;
  if (!WholeSectors(bytes)) return false;
  const bool ok = HostBackedFile::Write(buffer, bytes, transferred);
  position_ += transferred;
  return ok;
}

bool DiskFile::DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                               std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  std::uint64_t imageBytes = 0;
  if (!Size(imageBytes)) return false;  // also refuses a closed disk
  return AnswerDiskQuery(disk_, imageBytes, code, in, inSize, out, outSize, returned);
}

VolumeFile::VolumeFile(std::vector<ExtentDescription> extents, bool extentsFail)
    : extents_(std::move(extents)), extentsFail_(extentsFail) {}

bool VolumeFile::Seek(std::uint64_t byteOffset) { return !closed_ && byteOffset <= kMaxOffset; }

bool VolumeFile::Read(void*, std::uint32_t, std::uint32_t& transferred) {
  transferred = 0;
  return false;
}

bool VolumeFile::Write(const void*, std::uint32_t, std::uint32_t& transferred) {
  transferred = 0;
  return false;
}

bool VolumeFile::Size(std::uint64_t& bytes) {
  if (closed_) return false;
  std::uint64_t total = 0;
  for (const ExtentDescription& extent : extents_) {
    const std::uint64_t extentBytes = extent.count * 512;  // count <= INT64_MAX / 512
    if (extentBytes > kMaxOffset - total) return false;
    total += extentBytes;
  }
  bytes = total;
  return true;
}

bool VolumeFile::DeviceIoControl(std::uint32_t code, const void*, std::uint32_t, void* out,
                                 std::uint32_t outSize, std::uint32_t& returned) {
  returned = 0;
  if (closed_ || extentsFail_ || code != kIoctlVolumeGetVolumeDiskExtents) return false;
  return AnswerExtentsQuery(extents_, out, outSize, returned);
}

bool VolumeFile::ReadUncached(std::uint64_t, void*, std::uint32_t) { return false; }

bool VolumeFile::Close() {
  if (closed_) return false;
  closed_ = true;
  return true;
}

}  // namespace kalvorin::device::sim
