// The block walk shared by the three jobs: each job supplies the transfer of
// one block; the loop owns the refresh rule, the error policy and stopping.
#pragma once

#include <cstdint>

#include "device/Platform.h"
#include "jobs/Jobs.h"
#include "jobs/Messages.h"
#include "jobs/Progress.h"
#include "jobs/Report.h"

namespace kalvorin::jobs {

inline constexpr std::uint32_t kBlockSectors = 128;
inline constexpr std::uint32_t kBlockBytes = kBlockSectors * 512;
// Blocks transferred by one request when nothing happens between them: large
// requests are what a medium read or written without the page cache needs
// to run at its speed.
inline constexpr std::uint32_t kRunBlocks = 16;
inline constexpr std::uint32_t kRunSectors = kRunBlocks * kBlockSectors;
inline constexpr std::uint32_t kRunBytes = kRunSectors * 512;

// The job's one transfer buffer: a run of blocks, zero-filled, aligned for
// transfers that bypass the page cache (up to 64 KiB logical sectors).
class BlockBuffer {
 public:
  static constexpr std::size_t kAlignment = 65536;
  BlockBuffer();
  ~BlockBuffer();
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;
  std::uint8_t* data() { return data_; }

 private:
  std::uint8_t* data_;
};

// Byte offset of `sector`; false when it does not fit in 64 bits.
bool SectorOffset(std::uint64_t sector, std::uint64_t& byteOffset);

class BlockTransfer {
 public:
  virtual ~BlockTransfer() = default;
  // Processes the `sectors` (1..128) sectors at p.
  virtual Outcome Transfer(std::uint64_t p, std::uint32_t sectors) = 0;
  // Processes the run of whole blocks [p, p + sectors) (up to kRunSectors;
  // only its last block may be short) in one request per medium. True when
  // every block of it succeeded; false says nothing of any single block, and
  // the loop then processes the run block by block.
  virtual bool TransferRun(std::uint64_t p, std::uint32_t sectors) = 0;
};

// Reads `sectors` sectors at p from a source into the buffer; a short read
// fails. After a success the buffer holds them.
class SourceReader {
 public:
  SourceReader(device::File& file, std::uint8_t* buffer) : file_(file), buffer_(buffer) {}
  Outcome Read(std::uint64_t p, std::uint32_t sectors);

 private:
  device::File& file_;
  std::uint8_t* buffer_;
};

// Seeks to `sector` and writes `sectors` sectors of `buffer`; a short write fails.
Outcome WriteBlock(device::File& file, std::uint64_t sector, const std::uint8_t* buffer,
                   std::uint32_t sectors);

// Walks [first, first + count) (first + count must not overflow) while the
// job runs. Failed blocks go to the report under the caption of `disk`.
// Consecutive blocks between which the loop has nothing to do (no refresh
// falls between them, none failed) are transferred as one run; when a run
// fails, its blocks are transferred again one by one, so outcomes, report
// lines, questions, refreshes and the stop flag stay those of single blocks.
// A failed run of writes may have written part of its range, blocks after the
// failing one included: a stop answered at a failed block leaves the rest of
// that run (under 1 MiB) possibly written.
void RunBlockLoop(JobContext& context, JobProgress& progress, Report& report, std::int32_t disk,
                  std::uint64_t first, std::uint64_t count, BlockTransfer& transfer);

}  // namespace kalvorin::jobs
