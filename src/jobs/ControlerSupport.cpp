#include <algorithm>

#include "jobs/BlockLoop.h"
#include "jobs/JobSteps.h"
#include "jobs/Jobs.h"

namespace kalvorin::jobs {

namespace {

class CheckTransfer : public BlockTransfer {
 public:
  explicit CheckTransfer(SourceReader& reader) : reader_(reader) {}
  Outcome Transfer(std::uint64_t p, std::uint32_t sectors) override {
    return reader_.Read(p, sectors);
  }
  bool TransferRun(std::uint64_t p, std::uint32_t sectors) override {
    return reader_.Read(p, sectors) == Outcome::Success;
  }

 private:
  SourceReader& reader_;
};

}  // namespace

void ControlerSupport(JobContext& context, media::listeSupport& source, std::uint64_t first,
                      std::uint64_t count) {
  count = std::min(count, UINT64_MAX - first);
  BlockBuffer buffer;
  JobProgress progress(context, TakeStamp(context.platform));

  // The check only reads: a write-protected medium can be checked too.
  if (!OpenMedium(context.platform, source, device::Access::Read,
                  device::Disposition::OpenExisting)) {
    context.window.MessageBox(kSourceOpenFailed, kSourceCaption, kStyleWarning);
    return;
  }
  Report report;
  if (!CreateReport(context, report, first, first + count)) {
    CloseMedium(source);
    return;
  }

  SourceReader reader(*source.HandleSupport, buffer.data());
  CheckTransfer transfer(reader);
  RunBlockLoop(context, progress, report, source.NumDisque, first, count, transfer);

  CloseMedium(source);
  const std::string dateTime = FinishReport(context, report);
  OfferToSave(context, report.path(),
              DefaultReportName("Contrôler - ", context.LibelleSource,
                                source.TypeSupport == media::kImage, dateTime));
}

}  // namespace kalvorin::jobs
