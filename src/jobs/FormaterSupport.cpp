#include <algorithm>

#include "jobs/BlockLoop.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"
#include "jobs/MediumChecks.h"

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

  if (!OpenJobMedium(context, source, device::Access::ReadWrite, device::Disposition::OpenExisting,
                     MediumRole::Source)) {
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

  WipePartitionArea(context, source, buffer.data());

  EraseTransfer transfer(*source.HandleSupport, buffer.data());
  transfer.Watch(source);
  RunBlockLoop(context, progress, report, source.NumDisque, first, count, transfer);

  // A disk that has gone was reported as such: its flush fails as well.
  const bool gone = MediumGone(source);
  if (!CloseMedium(source) && !gone) {
    const std::string message = FlushFailed(MediumName(source));
    report.Line(message);
    context.window.MessageBox(message, BlockCaption(source.NumDisque), kStyleError);
  }
  const std::string dateTime = FinishReport(context, report);
  OfferToSave(context, report.path(),
              DefaultReportName("Formater - ", context.LibelleSource, false, dateTime));
}

}  // namespace kalvorin::jobs
