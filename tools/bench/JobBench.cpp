// Runs one job over a file or a block device on the real platform and prints
// its duration, throughput and peak memory, for tools/bench/run.sh.
//
//   kalvorin_bench check|erase|copy MEDIUM SECTORS [TARGET]
//   kalvorin_bench cached DEVICE BYTES   (MiB of the device in the page cache)
//
// MEDIUM and a copy's TARGET are image files or loop devices (/dev/loopN,
// taken as the physical disk the platform numbers it). Every question is answered Yes, except the
// report's save question (the report is deleted). The disk rescan is not
// run: it would re-read the partition tables of every disk of the machine.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/WindowsLayouts.h"
#include "device/linux/LinuxPlatform.h"
#include "jobs/Jobs.h"
#include "media/WindowPort.h"

namespace {

using namespace kalvorin;

class QuietWindow : public media::WindowPort {
 public:
  int MessageBox(const std::string& text, const std::string&, std::uint32_t style) override {
    if (text == "Enregistrer le rapport ?") return device::kIdNo;
    if ((style & 0xF) == device::kMbYesNo) return device::kIdYes;
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return device::kIdOk;
  }
  std::optional<std::string> SaveDialog(const media::SaveDialogSpec&, const std::string&) override {
    return std::nullopt;
  }
  void SetProgress(int) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {}
  bool JobRunning() override { return running_; }
  void StopJob() override { running_ = false; }
  bool IgnoreErrors() override { return true; }
  std::string PanelTitle() override { return "Banc d'essai"; }

 private:
  bool running_ = true;
};

// The native platform without the rescan.
class NoRescan : public device::Platform {
 public:
  std::unique_ptr<device::File> Open(const std::string& path, device::Access access,
                                     device::Share share,
                                     device::Disposition disposition) override {
    return native.Open(path, access, share, disposition);
  }
  int DriveType(char letter) override { return native.DriveType(letter); }
  std::optional<std::string> VolumeLabel(char letter) override {
    return native.VolumeLabel(letter);
  }
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override {
    return native.FreeBytes(path);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return native.MoveFile(from, to);
  }
  bool DeleteFile(const std::string& path) override { return native.DeleteFile(path); }
  int RunCommand(const std::string&) override { return 0; }
  std::vector<device::WmiObject> QueryWmi(const std::string& selection) override {
    return native.QueryWmi(selection);
  }
  std::string ProgramPath() override { return native.ProgramPath(); }
  std::string ProgramVolumePath() override { return native.ProgramVolumePath(); }
  device::LocalTime Now() override { return native.Now(); }
  std::uint64_t MonotonicMilliseconds() override { return native.MonotonicMilliseconds(); }
  std::string FormatLongTime(int hour, int minute, int second) override {
    return native.FormatLongTime(hour, minute, second);
  }

  device::linuxbackend::LinuxPlatform native;
};

// A block device as the disk the platform numbers it, anything else as an image.
bool Describe(NoRescan& platform, const std::string& path, media::listeSupport& record) {
  record.Libelle = "bench";
  std::error_code error;
  if (path.rfind("/dev/", 0) != 0 || !std::filesystem::is_block_file(path, error)) {
    record.TypeSupport = media::kImage;
    record.CheminImage = path;
    return true;
  }
  const auto number = platform.native.DiskNumberOf(path.substr(5));
  if (!number) {
    std::fprintf(stderr, "%s is not a numbered disk\n", path.c_str());
    return false;
  }
  record.TypeSupport = media::kPhysical;
  record.NumDisque = *number;
  return true;
}

// The MiB of the first `bytes` of a block device that its page cache holds.
int PrintCachedMiB(const std::string& device, std::uint64_t bytes) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 1;
  void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return 1;
  const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((bytes + page - 1) / page);
  const bool ok = ::mincore(map, bytes, resident.data()) == 0;
  ::munmap(map, bytes);
  if (!ok) return 1;
  std::uint64_t pages = 0;
  for (const unsigned char r : resident) pages += r & 1;
  std::printf("%llu\n", static_cast<unsigned long long>(pages * page >> 20));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s check|erase|copy MEDIUM SECTORS [TARGET_IMAGE]\n", argv[0]);
    return 2;
  }
  const std::string job = argv[1], medium = argv[2];
  if (job == "cached") return PrintCachedMiB(medium, std::strtoull(argv[3], nullptr, 10));
  const std::uint64_t sectors = std::strtoull(argv[3], nullptr, 10);

  NoRescan platform;
  QuietWindow window;
  jobs::JobContext context{platform, window, std::filesystem::temp_directory_path().string() + "/",
                           "bench", -1};

  media::listeSupport source;
  if (!Describe(platform, medium, source)) return 1;

  const auto start = std::chrono::steady_clock::now();
  if (job == "check") {
    jobs::ControlerSupport(context, source, 0, sectors);
  } else if (job == "erase") {
    jobs::FormaterSupport(context, source, 0, sectors);
  } else if (job == "copy" && argc >= 5) {
    media::listeSupport target;
    if (!Describe(platform, argv[4], target)) return 1;
    jobs::CopierSupport(context, source, target, 0, 0, sectors);
  } else {
    std::fprintf(stderr, "unknown job %s\n", job.c_str());
    return 2;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%.3f %ld\n", seconds, usage.ru_maxrss);
  return 0;
}
