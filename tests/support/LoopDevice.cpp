#include "support/LoopDevice.h"

#if defined(__linux__)

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace kalvorin::test {
namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool IsBlockDevice(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISBLK(status.st_mode);
}

}  // namespace

int RunShell(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    if (output != nullptr) output->append(buffer, got);
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<LoopDevice> LoopDevice::Attach(const std::string& image, Options options,
                                               std::string& whyNot) {
  if (::geteuid() != 0) {
    whyNot = "attaching a loop device needs root";
    return nullptr;
  }
  if (RunShell("command -v losetup >/dev/null 2>&1") != 0) {
    whyNot = "losetup is not installed";
    return nullptr;
  }
  std::string output;
  const std::string command =
      std::string("losetup -f --show") + (options.readOnly ? " -r" : "") +
      (options.partitions ? " -P" : "") +
      (options.sectorSize != 0 ? " -b " + std::to_string(options.sectorSize) : std::string()) +
      " " + Quote(image) + " 2>&1";
  if (RunShell(command, &output) != 0 || output.rfind("/dev/loop", 0) != 0) {
    whyNot = "losetup refused to attach an image: " + output;
    return nullptr;
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  std::unique_ptr<LoopDevice> device(new LoopDevice(output));
  if (options.partitions) {
    // Without udev the kernel may not have made the partition nodes yet.
    for (int attempt = 0; attempt < 50 && !IsBlockDevice(device->partition(1)); ++attempt) {
      if (attempt % 10 == 0) RunShell("partx -a " + Quote(device->path_) + " >/dev/null 2>&1");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!IsBlockDevice(device->partition(1))) {
      whyNot = "the kernel made no partition node for " + device->path_;
      return nullptr;
    }
  }
  return device;
}

LoopDevice::~LoopDevice() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (RunShell("losetup -d " + Quote(path_) + " >/dev/null 2>&1") == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string LoopDevice::name() const { return path_.substr(path_.rfind('/') + 1); }

std::unique_ptr<MountedFileSystem> MountedFileSystem::Mount(const std::string& device,
                                                            const std::string& directory,
                                                            std::string& whyNot) {
  std::string output;
  if (RunShell("mount " + Quote(device) + " " + Quote(directory) + " 2>&1", &output) != 0) {
    whyNot = "mount refused: " + output;
    return nullptr;
  }
  return std::unique_ptr<MountedFileSystem>(new MountedFileSystem(directory));
}

MountedFileSystem::~MountedFileSystem() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (RunShell("umount " + Quote(directory_) + " >/dev/null 2>&1") == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace kalvorin::test

#endif  // __linux__
