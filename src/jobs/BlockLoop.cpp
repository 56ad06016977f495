#include "jobs/BlockLoop.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "jobs/JobSteps.h"

namespace kalvorin::jobs {

namespace {

void ApplyErrorPolicy(JobContext& context, Report& report, std::int32_t disk, Outcome outcome,
                      std::uint64_t p) {
  const std::string message = BlockMessage(outcome, p);
  report.Line(message);
  context.window.BlockFailed(p, message);
  if (context.window.IgnoreErrors()) return;
  if (context.window.MessageBox(message + kContinueQuestion, BlockCaption(disk),
                                kStyleBlockFailed) == device::kIdNo) {
    context.window.StopJob();
    report.Stop(p);
  }
}

// Every later block would fail the same way, each with a line and a refresh.
void EndOnDisconnection(JobContext& context, Report& report, std::int32_t disk,
                        const media::listeSupport& medium, std::uint64_t p) {
  const std::string message = MediumGoneText(MediumName(medium), p);
  report.Line(message);
  context.window.MessageBox(message, BlockCaption(disk), kStyleError);
  context.window.StopJob();
}

}  // namespace

const media::listeSupport* BlockTransfer::Vanished() const {
  for (const media::listeSupport* medium : watched_) {
    if (medium->HandleSupport && medium->HandleSupport->MediumGone()) return medium;
  }
  return nullptr;
}

BlockBuffer::BlockBuffer()
    : data_(static_cast<std::uint8_t*>(::operator new (kRunBytes, std::align_val_t{kAlignment}))) {
  std::memset(data_, 0, kRunBytes);
}

BlockBuffer::~BlockBuffer() { ::operator delete (data_, std::align_val_t{kAlignment}); }

bool SectorOffset(std::uint64_t sector, std::uint64_t& byteOffset) {
  if (sector > UINT64_MAX / 512) return false;
  byteOffset = sector * 512;
  return true;
}

Outcome SourceReader::Read(std::uint64_t p, std::uint32_t sectors) {
  const std::uint32_t bytes = sectors * 512;
  std::uint64_t offset = 0;
  if (!SectorOffset(p, offset) || !file_.Seek(offset)) return Outcome::SeekFailed;
  std::uint32_t transferred = 0;
  if (!file_.Read(buffer_, bytes, transferred) || transferred != bytes) return Outcome::ReadFailed;
  return Outcome::Success;
}

Outcome WriteBlock(device::File& file, std::uint64_t sector, const std::uint8_t* buffer,
                   std::uint32_t sectors) {
  const std::uint32_t bytes = sectors * 512;
  std::uint64_t offset = 0;
  if (!SectorOffset(sector, offset) || !file.Seek(offset)) return Outcome::SeekFailed;
  std::uint32_t transferred = 0;
  if (!file.Write(buffer, bytes, transferred) || transferred != bytes) return Outcome::WriteFailed;
  return Outcome::Success;
}

void RunBlockLoop(JobContext& context, JobProgress& progress, Report& report, std::int32_t disk,
                  std::uint64_t first, std::uint64_t count, BlockTransfer& transfer) {
  const std::uint64_t end = first + count;
  const auto blockAt = [end](std::uint64_t p) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kBlockSectors, end - p));
  };
  bool previousFailed = false;
  std::uint64_t previousCount = 0;
  std::uint64_t singleUntil = first;  // blocks before it are transferred one by one
  for (std::uint64_t p = first; p < end && context.window.JobRunning();) {
    if (RefreshDue(p, first, end, previousFailed, previousCount)) {
      progress.Refresh(p, first, count);
      // A stop handled by the refresh takes effect before this block.
      if (!context.window.JobRunning()) break;
    }
    if (p >= singleUntil) {
      // The run from p: the following blocks as long as none of them is due
      // a refresh (every block before the last is whole).
      std::uint64_t runEnd = p + blockAt(p);
      std::uint32_t lastCount = blockAt(p);
      for (std::uint32_t blocks = 1; blocks < kRunBlocks && runEnd < end &&
                                     !RefreshDue(runEnd, first, end, false, kBlockSectors);
           ++blocks) {
        lastCount = blockAt(runEnd);
        runEnd += lastCount;
      }
      if (runEnd - p > kBlockSectors) {
        if (transfer.TransferRun(p, static_cast<std::uint32_t>(runEnd - p))) {
          previousFailed = false;
          previousCount = lastCount;
          p = runEnd;
          continue;
        }
        singleUntil = runEnd;
      }
    }
    const std::uint32_t sectors = blockAt(p);
    const Outcome outcome = transfer.Transfer(p, sectors);
    previousFailed = outcome != Outcome::Success;
    previousCount = sectors;
    if (previousFailed) {
      if (const media::listeSupport* gone = transfer.Vanished()) {
        EndOnDisconnection(context, report, disk, *gone, p);
        break;
      }
      ApplyErrorPolicy(context, report, disk, outcome, p);
    }
    p += sectors;
  }
}

}  // namespace kalvorin::jobs
