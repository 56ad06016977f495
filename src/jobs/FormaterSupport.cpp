#include <algorithm>

#include "jobs/BlockLoop.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/Rescan.h"

namespace kalvorin::jobs {

namespace {

// A source of zeros: the buffer is never read into.
class EraseTransfer : public BlockTransfer {
 public:
  EraseTransfer(device::File& medium, const std::uint8_t* zeros) : medium_(medium), zeros_(zeros) {}
  Outcome Transfer(std::uint64_t p, std::uint32_t sectors) override {
    return WriteBlock(medium_, p, zeros_, sectors);
  }
  bool TransferRun(std::uint64_t p, std::uint32_t sectors) override {
    return WriteBlock(medium_, p, zeros_, sectors) == Outcome::Success;
  }

 private:
  device::File& medium_;
  const std::uint8_t* zeros_;
};

}  // namespace

void FormaterSupport(JobContext& context, media::listeSupport& source, std::uint64_t first,
                     std::uint64_t count) {
  count = std::min(count, UINT64_MAX - first);
  BlockBuffer buffer;
  JobProgress progress(context, TakeStamp(context.platform));
  if (RefuseProgramDisk(context, source)) return;

  if (!OpenMedium(context.platform, source, device::Access::ReadWrite,
                  device::Disposition::OpenExisting)) {
    context.window.MessageBox(kSourceOpenFailed, kSourceCaption, kStyleWarning);
    return;
  }
  if (source.TypeSupport == media::kPhysical && !ConfirmOverwrite(context, source)) {
    CloseMedium(source);
    return;
  }
  Report report;
  if (!CreateReport(context, report, first, first + count)) {
    CloseMedium(source);
    return;
  }

  // The partition table area of the whole disk, whatever the range; its
  // failure is not a failure of the erase.
  WriteBlock(*source.HandleSupport, 0, buffer.data(), kBlockSectors);
  RescanDisks(context.platform, context.CheminProgramme);

  EraseTransfer transfer(*source.HandleSupport, buffer.data());
  RunBlockLoop(context, progress, report, source.NumDisque, first, count, transfer);

  if (!CloseMedium(source)) {
    const std::string message =
        FlushFailed("N°" + std::to_string(source.NumDisque) + " - " + source.Libelle);
    report.Line(message);
    context.window.MessageBox(message, BlockCaption(source.NumDisque), kStyleError);
  }
  const std::string dateTime = FinishReport(context, report);
  OfferToSave(context, report.path(),
              DefaultReportName("Formater - ", context.LibelleSource, false, dateTime));
}

}  // namespace kalvorin::jobs
