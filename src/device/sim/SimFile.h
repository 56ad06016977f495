// The open files of the simulated machine: a file of the host (an image file
// or a report), a physical disk backed by its image with its faults and its
// identity, and a drive letter's volume that only answers its extents.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "device/Platform.h"
#include "device/sim/HostFile.h"
#include "device/sim/MachineDescription.h"

namespace kalvorin::device::sim {

// A host file read and written at a position, failing the transfers that
// touch a faulty sector: a transfer fails when any sector of
// [position / 512, (position + bytes - 1) / 512] is listed, a Seek when the
// sector it lands on is listed in `seek`. Reading past the end is a short
// read that succeeds, as with a file. Answers no device query.
class HostBackedFile : public File {
 public:
  HostBackedFile(std::unique_ptr<HostFile> host, Faults faults);

  bool Seek(std::uint64_t byteOffset) override;
  bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Size(std::uint64_t& bytes) override;
  bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override;
  bool ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) override;
  void AdviseSequential(std::uint64_t, std::uint64_t) override {}
  void AdviseWillNeed(std::uint64_t, std::uint64_t) override {}
  bool Close() override;

 private:
  bool Faulty(const std::vector<SectorRange>& ranges, std::uint64_t offset,
              std::uint32_t bytes) const;

  std::unique_ptr<HostFile> host_;  // null once closed
  Faults faults_;
  std::uint64_t position_ = 0;  // <= INT64_MAX
};

// "\\.\PHYSICALDRIVEn": the image with the disk's faults, answering the
// SMART, storage descriptor and geometry queries from the description.
// A disk with logical sectors above 512 bytes (a power of two) transfers
// only whole logical sectors at their boundaries; other transfers fail.
class DiskFile : public HostBackedFile {
 public:
  DiskFile(std::unique_ptr<HostFile> host, DiskDescription disk);
  bool Seek(std::uint64_t byteOffset) override;
  bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override;

 private:
  bool WholeSectors(std::uint32_t bytes) const;
  DiskDescription disk_;
  std::uint32_t granule_ = 512;  // whole logical sectors only when above 512
  std::uint64_t position_ = 0;   // mirrors the position of the base class
};

// "\\.\X:" and the program's volume: answers only the extents query (fails
// when `extents` is empty or `extentsFail`); its transfers fail. Size is the
// sum of the extents.
class VolumeFile : public File {
 public:
  VolumeFile(std::vector<ExtentDescription> extents, bool extentsFail);

  bool Seek(std::uint64_t byteOffset) override;
  bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override;
  bool Size(std::uint64_t& bytes) override;
  bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override;
  bool ReadUncached(std::uint64_t byteOffset, void* buffer, std::uint32_t bytes) override;
  void AdviseSequential(std::uint64_t, std::uint64_t) override {}
  void AdviseWillNeed(std::uint64_t, std::uint64_t) override {}
  bool Close() override;

 private:
  std::vector<ExtentDescription> extents_;
  bool extentsFail_;
  bool closed_ = false;
};

}  // namespace kalvorin::device::sim
