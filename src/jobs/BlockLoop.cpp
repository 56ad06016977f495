#include "jobs/BlockLoop.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kalvorin::jobs {

namespace {

// Read-ahead hints: every kHintStep sectors, ask for the next kHintWindow
// sectors, so the kernel reads in large requests while the loop reads 64 KiB.
constexpr std::uint64_t kHintStep = 8 * 2048;     // 8 MiB
constexpr std::uint64_t kHintWindow = 32 * 2048;  // 32 MiB

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

}  // namespace

BlockBuffer::BlockBuffer()
    : data_(
          static_cast<std::uint8_t*>(::operator new (kBlockBytes, std::align_val_t{kAlignment}))) {
  std::memset(data_, 0, kBlockBytes);
}

BlockBuffer::~BlockBuffer() { ::operator delete (data_, std::align_val_t{kAlignment}); }

bool SectorOffset(std::uint64_t sector, std::uint64_t& byteOffset) {
  if (sector > UINT64_MAX / 512) return false;
  byteOffset = sector * 512;
  return true;
}

SourceReader::SourceReader(device::File& file, std::uint8_t* buffer, std::uint64_t first,
                           std::uint64_t count)
    : file_(file), buffer_(buffer), end_(first + count), nextHint_(first) {
  std::uint64_t offset = 0;
  if (count != 0 && SectorOffset(first, offset)) {
    std::uint64_t bytes = 0;
    file_.AdviseSequential(offset, SectorOffset(count, bytes) ? bytes : 0);
  }
}

Outcome SourceReader::Read(std::uint64_t p, std::uint32_t sectors) {
  const std::uint32_t bytes = sectors * 512;
  std::uint64_t offset = 0;
  if (!SectorOffset(p, offset)) return Outcome::SeekFailed;
  if (p >= nextHint_) {
    const std::uint64_t window = std::min(kHintWindow, end_ - p);
    file_.AdviseWillNeed(offset, window * 512);
    nextHint_ = p + std::min(kHintStep, end_ - p);
  }
  Outcome outcome = Outcome::Success;
  std::uint32_t transferred = 0;
  if (!file_.Seek(offset)) {
    outcome = Outcome::SeekFailed;
  } else if (!file_.Read(buffer_, bytes, transferred) || transferred != bytes) {
    outcome = Outcome::ReadFailed;
  } else {
    return Outcome::Success;
  }
  return file_.ReadUncached(offset, buffer_, bytes) ? Outcome::Success : outcome;
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
  bool previousFailed = false;
  std::uint64_t previousCount = 0;
  for (std::uint64_t p = first; p < end && context.window.JobRunning();) {
    if (RefreshDue(p, first, end, previousFailed, previousCount)) {
      progress.Refresh(p, first, count);
      // A stop handled by the refresh takes effect before this block.
      if (!context.window.JobRunning()) break;
    }
    const auto sectors =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(kBlockSectors, end - p));
    const Outcome outcome = transfer.Transfer(p, sectors);
    previousFailed = outcome != Outcome::Success;
    previousCount = sectors;
    if (previousFailed) ApplyErrorPolicy(context, report, disk, outcome, p);
    p += sectors;
  }
}

}  // namespace kalvorin::jobs
