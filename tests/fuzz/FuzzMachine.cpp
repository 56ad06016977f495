#include "FuzzMachine.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "device/sim/SimPlatform.h"
#include "device/sim/demo/MachineBuilder.h"

namespace kalvorin::fuzz {
namespace {

std::vector<std::string>& FoldersToRemove() {
  static std::vector<std::string> folders;
  return folders;
}

void RemoveFolders() {
  for (const auto& folder : FoldersToRemove()) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz machine: %s\n", what.c_str());
  std::abort();
}

}  // namespace

std::string MakeTempFolder(const char* prefix) {
  // Memory-backed where the system has it: every input rewrites these files.
  std::string pattern;
  for (const std::filesystem::path& base :
       {std::filesystem::path("/dev/shm"), std::filesystem::temp_directory_path()}) {
    pattern = (base / prefix).string() + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) break;
    pattern.clear();
  }
  if (pattern.empty()) Fail("cannot make a temporary folder");
  if (FoldersToRemove().empty()) std::atexit(RemoveFolders);
  FoldersToRemove().push_back(pattern);
  return pattern;
}

FuzzMachine& FuzzMachine::Get() {
  static FuzzMachine* machine = [] {
    auto* made = new FuzzMachine;
    made->folder_ = MakeTempFolder("kalvorin-fuzz");
    demo::MachineBuilder builder(made->folder_);
    builder.AddDisk(kDisk, kDiskSectors).ReadFault(kBadFirst, kBadCount);
    builder.SetProgramDisk(0);
    std::string error;
    if (!builder.Write(error)) Fail(error);
    made->platform_ = device::CreateSimulatedPlatform(made->folder_, error);
    if (!made->platform_) Fail(error);
    made->image_ = builder.ImagePath(kDisk);
    made->descriptor_ = ::open(made->image_.c_str(), O_RDWR);
    if (made->descriptor_ < 0) Fail("cannot open " + made->image_);
    return made;
  }();
  return *machine;
}

// The previous input is overwritten with zeros rather than the file being
// truncated: a file truncated to zero is flushed to the disk at every close.
void FuzzMachine::Load(const std::uint8_t* data, std::size_t size, std::uint64_t sector) {
  constexpr std::uint64_t kBytes = kDiskSectors * 512;
  if (writtenBytes_ > 0) {
    const std::vector<std::uint8_t> zeros(writtenBytes_, 0);
    if (::pwrite(descriptor_, zeros.data(), zeros.size(), static_cast<off_t>(writtenOffset_)) !=
        static_cast<ssize_t>(zeros.size())) {
      Fail("cannot clear the image");
    }
  }
  writtenBytes_ = 0;
  if (sector >= kDiskSectors) return;
  const std::uint64_t offset = sector * 512;
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(size, kBytes - offset));
  if (count > 0 && ::pwrite(descriptor_, data, count, static_cast<off_t>(offset)) !=
                       static_cast<ssize_t>(count)) {
    Fail("cannot write the image");
  }
  writtenOffset_ = offset;
  writtenBytes_ = count;
}

media::listeSupport FuzzMachine::DiskNode() const {
  media::listeSupport node;
  node.NumDisque = kDisk;
  node.TypeSupport = media::kPhysical;
  node.Libelle = "Disque fuzz";
  node.NBSct = kDiskSectors;
  node.NBSctDisque = kDiskSectors;
  return node;
}

FuzzMachine::~FuzzMachine() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace kalvorin::fuzz
