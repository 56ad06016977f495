// A simulated machine seen through a recording platform: a fixed clock, a
// log of every transfer on the media the jobs open, and faults the machine
// description cannot express (short transfers, failed flushes, failed
// uncached reads).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/Platform.h"
#include "device/sim/SimPlatform.h"
#include "device/sim/demo/ImageFile.h"
#include "device/sim/demo/MachineBuilder.h"
#include "jobs/Jobs.h"
#include "media/Identify.h"
#include "media/Records.h"
#include "support/ScriptedWindow.h"
#include "support/TempDir.h"

namespace kalvorin::test {

struct FileOp {
  // S seek, R read, W write, U uncached read, A advise sequential, N will-need,
  // C close, P partition re-read
  char kind;
  std::uint64_t offset;
  std::uint64_t bytes;
  bool operator==(const FileOp&) const = default;
};

// Faults injected into the files opened at one path.
struct Injection {
  std::set<std::uint64_t> shortReads;      // byte offsets whose buffered read comes back short
  std::set<std::uint64_t> failedReads;     // byte offsets whose buffered read fails
  std::set<std::uint64_t> failedUncached;  // byte offsets whose uncached read fails
  std::set<std::uint64_t> shortWrites;     // byte offsets whose write comes back short
  std::set<std::uint64_t> failedWrites;
  std::set<std::uint64_t> failedWriteSizes;  // writes of these byte counts fail
  bool closeFails = false;
};

class RecordingFile : public device::File {
 public:
  RecordingFile(std::unique_ptr<device::File> inner, std::vector<FileOp>& log,
                const Injection& injection)
      : inner_(std::move(inner)), log_(log), injection_(injection) {}

  bool Seek(std::uint64_t offset) override {
    log_.push_back({'S', offset, 0});
    if (!inner_->Seek(offset)) return false;
    position_ = offset;
    return true;
  }
  bool Read(void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override {
    log_.push_back({'R', position_, bytes});
    const std::uint64_t at = position_;
    if (injection_.failedReads.count(at)) {
      transferred = 0;
      return false;
    }
    const bool ok = inner_->Read(buffer, bytes, transferred);
    position_ += transferred;
    if (ok && injection_.shortReads.count(at)) transferred /= 2;
    return ok;
  }
  bool Write(const void* buffer, std::uint32_t bytes, std::uint32_t& transferred) override {
    log_.push_back({'W', position_, bytes});
    const std::uint64_t at = position_;
    if (injection_.failedWrites.count(at) || injection_.failedWriteSizes.count(bytes)) {
      transferred = 0;
      return false;
    }
    const std::uint32_t asked = injection_.shortWrites.count(at) ? bytes / 2 : bytes;
    const bool ok = inner_->Write(buffer, asked, transferred);
    position_ += transferred;
    return ok;
  }
  bool Size(std::uint64_t& bytes) override { return inner_->Size(bytes); }
  bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t& returned) override {
    return inner_->DeviceIoControl(code, in, inSize, out, outSize, returned);
  }
  bool ReadUncached(std::uint64_t offset, void* buffer, std::uint32_t bytes) override {
    log_.push_back({'U', offset, bytes});
    if (injection_.failedUncached.count(offset)) return false;
    return inner_->ReadUncached(offset, buffer, bytes);
  }
  void AdviseSequential(std::uint64_t offset, std::uint64_t bytes) override {
    log_.push_back({'A', offset, bytes});
  }
  void AdviseWillNeed(std::uint64_t offset, std::uint64_t bytes) override {
    log_.push_back({'N', offset, bytes});
  }
  bool Close() override {
    log_.push_back({'C', 0, 0});
    const bool closed = inner_->Close();
    return closed && !injection_.closeFails;
  }
  std::optional<std::uint64_t> MediumSequence() override { return inner_->MediumSequence(); }
  bool MediumGone() override { return inner_->MediumGone(); }
  bool RereadPartitions() override {
    log_.push_back({'P', 0, 0});
    return inner_->RereadPartitions();
  }

 private:
  std::unique_ptr<device::File> inner_;
  std::vector<FileOp>& log_;
  const Injection& injection_;
  std::uint64_t position_ = 0;
};

struct OpenCall {
  std::string path;
  device::Access access;
  device::Disposition disposition;
};

class RecordingPlatform : public device::Platform {
 public:
  explicit RecordingPlatform(device::Platform& inner) : inner_(inner) {}

  device::LocalTime now{2025, 3, 5, 9, 7, 0, 0};
  std::uint64_t monotonic = 5'000'000;
  std::uint64_t monotonicStep = 0;  // added at each reading of the monotonic clock
  bool moveFails = false;
  bool runCommands = true;                         // false: commands are only recorded
  std::map<std::string, Injection> injections;     // by path
  std::map<std::string, std::vector<FileOp>> ops;  // by path
  std::vector<OpenCall> opens;
  std::vector<std::string> commands;
  // The working report folder answered (an installed program's own); unset:
  // the machine's answer. The program folders it was asked about.
  std::optional<device::Platform::ReportFolder> reportFolder;
  std::vector<std::string> reportFolderQueries;

  std::unique_ptr<device::File> Open(const std::string& path, device::Access access,
                                     device::Share share,
                                     device::Disposition disposition) override {
    // Identification (the jobs' check of their disks included) is not the
    // job's own traffic: it is neither listed nor logged.
    if (access == device::Access::Inspect) return inner_.Open(path, access, share, disposition);
    opens.push_back({path, access, disposition});
    auto file = inner_.Open(path, access, share, disposition);
    if (!file) return nullptr;
    return std::make_unique<RecordingFile>(std::move(file), ops[path], injections[path]);
  }
  int DriveType(char letter) override { return inner_.DriveType(letter); }
  std::optional<std::string> VolumeLabel(char letter) override {
    return inner_.VolumeLabel(letter);
  }
  std::optional<std::uint64_t> FreeBytes(const std::string& path) override {
    return inner_.FreeBytes(path);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    return !moveFails && inner_.MoveFile(from, to);
  }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  int RunCommand(const std::string& commandLine) override {
    commands.push_back(commandLine);
    return runCommands ? inner_.RunCommand(commandLine) : 0;
  }
  std::vector<device::WmiObject> QueryWmi(const std::string& selection) override {
    return inner_.QueryWmi(selection);
  }
  std::string ProgramPath() override { return inner_.ProgramPath(); }
  std::string ProgramVolumePath() override { return inner_.ProgramVolumePath(); }
  device::LocalTime Now() override { return now; }
  std::uint64_t MonotonicMilliseconds() override {
    monotonic += monotonicStep;
    return monotonic;
  }
  std::string FormatLongTime(int hour, int minute, int second) override {
    return inner_.FormatLongTime(hour, minute, second);
  }
  std::optional<device::DiskUse> DiskInUse(int number, device::Access access) override {
    return inner_.DiskInUse(number, access);
  }
  ReportFolder WorkingReportFolder(const std::string& programFolder) override {
    reportFolderQueries.push_back(programFolder);
    return reportFolder ? *reportFolder : inner_.WorkingReportFolder(programFolder);
  }

 private:
  device::Platform& inner_;
};

inline std::string DiskPath(int number) { return "\\\\.\\PHYSICALDRIVE" + std::to_string(number); }

// Test fixture: a machine whose program is on disk 0; the test adds its disks
// with `machine.AddDisk` and calls Start() before running a job.
class JobTest : public ::testing::Test {
 protected:
  void Start() {
    std::string error;
    ASSERT_TRUE(machine.Write(error)) << error;
    sim = device::CreateSimulatedPlatform(machine.folder(), error);
    ASSERT_NE(sim, nullptr) << error;
    platform = std::make_unique<RecordingPlatform>(*sim);
    context = std::make_unique<jobs::JobContext>(
        jobs::JobContext{*platform, window, dir.path().string() + "/", "DATA01", 0});
  }

  media::listeSupport Disk(int number, std::uint64_t sectors, std::string label = "DISQUE") {
    media::listeSupport record;
    record.NumDisque = number;
    record.TypeSupport = media::kPhysical;
    record.Libelle = std::move(label);
    record.NBSct = record.NBSctDisque = sectors;
    // What the refresh keeps of the disk (read from the machine, not
    // through the recording platform, whose logs belong to the job).
    media::InSupport identity;
    if (sim && media::IdentifyDisk(*sim, identity, number)) {
      record.Identite = media::IdentityOf(identity);
    }
    return record;
  }
  media::listeSupport Image(const std::string& path) {
    media::listeSupport record;
    record.TypeSupport = media::kImage;
    record.CheminImage = path;
    return record;
  }

  std::string ReportPath() const { return dir.file("Rapport.txt"); }
  std::string ReportBytes() const {
    const auto size =
        std::filesystem::exists(ReportPath()) ? std::filesystem::file_size(ReportPath()) : 0;
    const auto bytes = demo::ReadAt(ReportPath(), 0, size);
    return std::string(bytes.begin(), bytes.end());
  }
  // Fills sectors [first, first + count) of disk `disk`'s image with `value`.
  void Fill(int disk, std::uint64_t first, std::uint64_t count, std::uint8_t value) {
    ASSERT_TRUE(demo::WriteAt(machine.ImagePath(disk), first * 512,
                              std::vector<std::uint8_t>(count * 512, value)));
  }
  // Whether every byte of those sectors is `value`.
  bool AllAre(int disk, std::uint64_t first, std::uint64_t count, std::uint8_t value) const {
    const auto bytes = Sectors(disk, first, count);
    if (bytes.size() != count * 512) return false;
    for (std::uint8_t b : bytes) {
      if (b != value) return false;
    }
    return true;
  }
  std::vector<std::string> RescanLog() const {
    std::ifstream log(dir.file("rescan.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::uint8_t> Sectors(int disk, std::uint64_t first, std::uint64_t count) const {
    return demo::ReadAt(machine.ImagePath(disk), first * 512, count * 512);
  }
  // Reads and writes on `path`, without hints and partition re-reads.
  std::vector<FileOp> Transfers(const std::string& path) {
    std::vector<FileOp> transfers;
    for (const FileOp& op : platform->ops[path]) {
      if (op.kind != 'A' && op.kind != 'N' && op.kind != 'P') transfers.push_back(op);
    }
    return transfers;
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : window.messages) texts.push_back(m.text);
    return texts;
  }

  TempDir dir;
  demo::MachineBuilder machine{dir.path().string()};
  ScriptedWindow window;
  std::unique_ptr<device::Platform> sim;
  std::unique_ptr<RecordingPlatform> platform;
  std::unique_ptr<jobs::JobContext> context;
};

}  // namespace kalvorin::test
