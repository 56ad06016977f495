// Loop devices and mounts made by a test and undone at its end, for tests
// that need the kernel's real block devices (Linux only). Each factory gives
// nullptr and says why when the machine does not allow it (not root, no
// losetup, no free loop device, mount refused), so the test can skip.
#pragma once

#include <memory>
#include <string>

namespace kalvorin::test {

// Runs `command` through /bin/sh; its exit status. `output` receives stdout.
int RunShell(const std::string& command, std::string* output = nullptr);

class LoopDevice {
 public:
  struct Options {
    bool readOnly = false;    // losetup -r
    bool partitions = false;  // losetup -P, and the partition nodes made
    unsigned sectorSize = 0;  // losetup -b: the device's logical sector size
  };
  static std::unique_ptr<LoopDevice> Attach(const std::string& image, Options options,
                                            std::string& whyNot);
  ~LoopDevice();  // detaches
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::string& path() const { return path_; }  // "/dev/loop3"
  std::string name() const;                          // "loop3"
  // "/dev/loop3p1" for partition 1.
  std::string partition(int number) const { return path_ + "p" + std::to_string(number); }

 private:
  explicit LoopDevice(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

class MountedFileSystem {
 public:
  static std::unique_ptr<MountedFileSystem> Mount(const std::string& device,
                                                  const std::string& directory,
                                                  std::string& whyNot);
  ~MountedFileSystem();  // unmounts
  MountedFileSystem(const MountedFileSystem&) = delete;
  MountedFileSystem& operator=(const MountedFileSystem&) = delete;

 private:
  explicit MountedFileSystem(std::string directory) : directory_(std::move(directory)) {}
  std::string directory_;
};

}  // namespace kalvorin::test
