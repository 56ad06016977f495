#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "jobs/BlockLoop.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/Messages.h"
#include "jobs/Rescan.h"

namespace kalvorin::jobs {

namespace {

// Copies block p of the source to p − firstSource + firstTarget. A block
// whose read failed is not written.
class CopyTransfer : public BlockTransfer {
 public:
  CopyTransfer(SourceReader& reader, device::File& target, std::uint8_t* buffer,
               std::uint64_t firstSource, std::uint64_t firstTarget, bool diskTarget)
      : reader_(reader),
        target_(target),
        buffer_(buffer),
        firstSource_(firstSource),
        firstTarget_(firstTarget),
        guarded_(diskTarget && firstTarget == 0) {}

  Outcome Transfer(std::uint64_t p, std::uint32_t sectors) override {
    const Outcome read = reader_.Read(p, sectors);
    if (read != Outcome::Success) return read;
    const std::uint64_t delta = p - firstSource_;
    if (delta > UINT64_MAX - firstTarget_) return Outcome::SeekFailed;
    if (guarded_ && p == firstSource_) Guard();
    return WriteBlock(target_, delta + firstTarget_, buffer_, sectors);
  }
  bool TransferRun(std::uint64_t p, std::uint32_t sectors) override {
    return Transfer(p, sectors) == Outcome::Success;
  }

  // Whether the target's sector 0 carries the guard mark in place of the
  // source's boot signature.
  bool marked() const { return marked_; }
  const std::array<std::uint8_t, 512>& originalFirstSector() const { return original_; }

 private:
  // While the copy runs the target's first sector must not look bootable:
  // its boot signature 0x55 0xAA is written as 0x55 0xBB.
  void Guard() {
    if (buffer_[510] != 0x55 || buffer_[511] != 0xAA) return;
    std::memcpy(original_.data(), buffer_, original_.size());
    buffer_[511] = 0xBB;
    marked_ = true;
  }

  SourceReader& reader_;
  device::File& target_;
  std::uint8_t* buffer_;
  std::uint64_t firstSource_;
  std::uint64_t firstTarget_;
  bool guarded_;
  bool marked_ = false;
  std::array<std::uint8_t, 512> original_{};
};

std::string TargetName(const media::listeSupport& target) {
  if (target.TypeSupport == media::kImage) return "« " + target.CheminImage + " »";
  return "N°" + std::to_string(target.NumDisque) + " - " + target.Libelle;
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end())),
                                 error);
}

}  // namespace

void CopierSupport(JobContext& context, media::listeSupport& source, media::listeSupport& target,
                   std::uint64_t firstSource, std::uint64_t firstTarget, std::uint64_t count) {
  count = std::min(count, UINT64_MAX - firstSource);
  BlockBuffer buffer;
  JobProgress progress(context, TakeStamp(context.platform));
  const bool diskTarget = target.TypeSupport == media::kPhysical;
  if (RefuseProgramDisk(context, target)) return;

  if (!OpenMedium(context.platform, source, device::Access::Read,
                  device::Disposition::OpenExisting)) {
    context.window.MessageBox(kSourceOpenFailed, kSourceCaption, kStyleWarning);
    return;
  }
  if (!OpenMedium(
          context.platform, target, device::Access::ReadWrite,
          diskTarget ? device::Disposition::OpenExisting : device::Disposition::CreateAlways)) {
    context.window.MessageBox(kTargetOpenFailed, kTargetCaption, kStyleWarning);
    CloseMedium(source);
    return;
  }
  if (diskTarget && !ConfirmOverwrite(context, target)) {
    CloseMedium(target);
    CloseMedium(source);
    return;
  }
  Report report;
  if (!CreateReport(context, report, firstSource, firstSource + count)) {
    CloseMedium(target);
    CloseMedium(source);
    return;
  }

  if (diskTarget) {
    // The partition table area of the target disk, whatever firstTarget is;
    // its failure is not a failure of the copy.
    WriteBlock(*target.HandleSupport, 0, buffer.data(), kBlockSectors);
    RescanDisks(context.platform, context.CheminProgramme);
  }

  SourceReader reader(*source.HandleSupport, buffer.data());
  CopyTransfer transfer(reader, *target.HandleSupport, buffer.data(), firstSource, firstTarget,
                        diskTarget);
  RunBlockLoop(context, progress, report, source.NumDisque, firstSource, count, transfer);

  // Put the boot signature back before the report ends, so a failure can be written there.
  if (transfer.marked()) {
    std::uint8_t* sector = buffer.data();
    std::memcpy(sector, transfer.originalFirstSector().data(), 512);
    if (WriteBlock(*target.HandleSupport, firstTarget, sector, 1) != Outcome::Success) {
      const std::string message =
          BootSectorNotRestored(target.NumDisque, target.Libelle, firstTarget);
      report.Line(message);
      context.window.MessageBox(message, kTargetCaption, kStyleError);
    }
  }
  if (!CloseMedium(target)) {
    const std::string message = FlushFailed(TargetName(target));
    report.Line(message);
    context.window.MessageBox(message, kTargetCaption, kStyleError);
  }
  CloseMedium(source);
  const std::string dateTime = FinishReport(context, report);
  if (FileExists(report.path())) {
    OfferToSave(context, report.path(),
                DefaultReportName("Copie - ", context.LibelleSource,
                                  source.TypeSupport == media::kImage, dateTime));
  }
}

}  // namespace kalvorin::jobs
