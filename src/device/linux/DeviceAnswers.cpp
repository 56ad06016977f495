#include "device/linux/DeviceAnswers.h"

#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cstring>
#include <optional>

#include "device/WindowsLayouts.h"
#include "device/linux/AtaIdentify.h"

namespace kalvorin::device::linuxbackend {
namespace {

constexpr std::uint32_t kFixedMedia = 12;
constexpr std::uint32_t kRemovableMedia = 11;

class DiskQueries final : public DeviceQueries {
 public:
  DiskQueries(DiskIdentity identity, bool tryAtaPassThrough)
      : identity_(std::move(identity)), tryAta_(tryAtaPassThrough) {}

  bool Answer(int fd, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
              std::uint32_t outSize, std::uint32_t& returned) override {
    auto* answer = static_cast<std::uint8_t*>(out);
    if (answer == nullptr) return false;
    switch (code) {
      case kIoctlDiskGetDriveGeometryEx:
        return Geometry(fd, answer, outSize, returned);
      case kIoctlStorageQueryProperty:
        return Descriptor(static_cast<const std::uint8_t*>(in), inSize, answer, outSize, returned);
      case kSmartGetVersion:
        return SmartVersion(fd, answer, outSize, returned);
      case kSmartRcvDriveData:
        return SmartIdentify(fd, static_cast<const std::uint8_t*>(in), inSize, answer, outSize,
                             returned);
      default:
        return false;
    }
  }

 private:
  bool Geometry(int fd, std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned) {
    std::uint64_t size = 0;
    if (outSize < geometry_ex::kSize || ::ioctl(fd, BLKGETSIZE64, &size) != 0) return false;
    int logical = 0;  // the logical sector size, as the device states it
    if (::ioctl(fd, BLKSSZGET, &logical) != 0 || logical <= 0) logical = 512;
    std::memset(out, 0, geometry_ex::kSize);
    PutU64(out, size / (255ULL * 63 * static_cast<std::uint64_t>(logical)));
    PutU32(out + 8, identity_.removable ? kRemovableMedia : kFixedMedia);
    PutU32(out + 12, 255);
    PutU32(out + 16, 63);
    PutU32(out + geometry_ex::kBytesPerSector, static_cast<std::uint32_t>(logical));
    PutU64(out + geometry_ex::kDiskSize, size);
    returned = geometry_ex::kSize;
    return true;
  }

  bool Descriptor(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                  std::uint32_t outSize, std::uint32_t& returned) {
    // Only StorageDeviceProperty with PropertyStandardQuery.
    if (in == nullptr || inSize < storage_descriptor::kQuerySize || GetU32(in) != 0 ||
        GetU32(in + 4) != 0) {
      return false;
    }
    const auto descriptor = BuildStorageDescriptor(identity_);
    if (outSize < descriptor.size()) return false;
    std::memcpy(out, descriptor.data(), descriptor.size());
    returned = static_cast<std::uint32_t>(descriptor.size());
    return true;
  }

  const IdentifyData* Identify(int fd) {
    if (!tried_) {
      tried_ = true;
      IdentifyData data{};
      if (tryAta_ && SendAtaIdentify(fd, data)) identify_ = data;
    }
    return identify_ ? &*identify_ : nullptr;
  }

  bool SmartVersion(int fd, std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned) {
    if (outSize < smart_version::kSize || Identify(fd) == nullptr) return false;
    std::memset(out, 0, smart_version::kSize);
    out[0] = 1;                             // bVersion
    out[1] = 1;                             // bRevision
    out[smart_version::kIdeDeviceMap] = 1;  // one ATA device, not a packet device
    PutU32(out + 4, 0x1 | 0x4);             // CAP_ATA_ID_CMD | CAP_SMART_CMD
    returned = smart_version::kSize;
    return true;
  }

  bool SmartIdentify(int fd, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                     std::uint32_t outSize, std::uint32_t& returned) {
    // Answers IDENTIFY DEVICE only; no other ATA command reaches the disk.
    if (in == nullptr || inSize < send_cmd_in::kSize || outSize < send_cmd_out::kSize ||
        in[send_cmd_in::kCommand] != kAtaIdentifyDevice || in[send_cmd_in::kFeatures] != 0) {
      return false;
    }
    const IdentifyData* data = Identify(fd);
    if (data == nullptr) return false;
    std::memset(out, 0, send_cmd_out::kSize);
    PutU32(out, static_cast<std::uint32_t>(send_cmd_out::kIdentifySize));
    std::memcpy(out + send_cmd_out::kBuffer, data->data(), data->size());
    returned = static_cast<std::uint32_t>(send_cmd_out::kSize);
    return true;
  }

  DiskIdentity identity_;
  bool tryAta_ = false;
  bool tried_ = false;
  std::optional<IdentifyData> identify_;
};

class VolumeQueries final : public DeviceQueries {
 public:
  explicit VolumeQueries(std::vector<DiskExtent> extents) : extents_(std::move(extents)) {}
  bool Answer(int, std::uint32_t code, const void*, std::uint32_t, void* out, std::uint32_t outSize,
              std::uint32_t& returned) override {
    if (code != kIoctlVolumeGetVolumeDiskExtents) return false;
    return AnswerDiskExtents(extents_, out, outSize, returned);
  }

 private:
  std::vector<DiskExtent> extents_;
};

}  // namespace

bool AnswerDiskExtents(const std::vector<DiskExtent>& extents, void* out, std::uint32_t outSize,
                       std::uint32_t& returned) {
  namespace de = disk_extents;
  returned = 0;
  const std::uint64_t size = de::kFirstExtent + de::kExtentSize * extents.size();
  if (out == nullptr || extents.empty() || size > outSize) return false;
  auto* answer = static_cast<std::uint8_t*>(out);
  std::memset(answer, 0, static_cast<std::size_t>(size));
  PutU32(answer + de::kCount, static_cast<std::uint32_t>(extents.size()));
  for (std::size_t i = 0; i < extents.size(); ++i) {
    std::uint8_t* extent = answer + de::kFirstExtent + i * de::kExtentSize;
    PutU32(extent + de::kDiskNumber, extents[i].diskNumber);
    PutU64(extent + de::kStartingOffset, extents[i].startingOffset);
    PutU64(extent + de::kExtentLength, extents[i].length);
  }
  returned = static_cast<std::uint32_t>(size);
  return true;
}

std::unique_ptr<DeviceQueries> MakeDiskQueries(DiskIdentity identity, bool tryAtaPassThrough) {
  return std::make_unique<DiskQueries>(std::move(identity), tryAtaPassThrough);
}

std::unique_ptr<DeviceQueries> MakeVolumeQueries(std::vector<DiskExtent> extents) {
  return std::make_unique<VolumeQueries>(std::move(extents));
}

}  // namespace kalvorin::device::linuxbackend
