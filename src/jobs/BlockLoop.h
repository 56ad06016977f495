// The block walk shared by the three jobs: each job supplies the transfer of
// one block; the loop owns the refresh rule, the error policy and stopping.
#pragma once

#include <cstdint>
#include <vector>

#include "device/Platform.h"
#include "jobs/Jobs.h"
#include "jobs/Messages.h"
#include "jobs/Progress.h"
#include "jobs/Report.h"
#include "media/Records.h"

namespace kalvorin::jobs {

inline constexpr std::uint32_t kBlockSectors = 128;
inline constexpr std::uint32_t kBlockBytes = kBlockSectors * 512;

// The job's one block buffer: 64 KiB, zero-filled, aligned for uncached reads.
class BlockBuffer {
 public:
  static constexpr std::size_t kAlignment = 4096;
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

  // The open media the transfer reads and writes. After a failed block the
  // loop ends the job when one of them has gone.
  void Watch(const media::listeSupport& medium) { watched_.push_back(&medium); }
  // The first watched medium that has gone, or nullptr.
  const media::listeSupport* Vanished() const;

 private:
  std::vector<const media::listeSupport*> watched_;
};

// Reads blocks of a source into the buffer, hinting the OS to read ahead.
// A block is failed only when a second, uncached read of exactly that block
// fails too: a buffered read can fail for an error of a neighbouring block
// that read-ahead touched. After a success the buffer holds the block.
class SourceReader {
 public:
  SourceReader(device::File& file, std::uint8_t* buffer, std::uint64_t first, std::uint64_t count);
  Outcome Read(std::uint64_t p, std::uint32_t sectors);

 private:
  device::File& file_;
  std::uint8_t* buffer_;
  std::uint64_t end_;
  std::uint64_t nextHint_;  // position of the next will-need hint
};

// Seeks to `sector` and writes `sectors` sectors of `buffer`; a short write fails.
Outcome WriteBlock(device::File& file, std::uint64_t sector, const std::uint8_t* buffer,
                   std::uint32_t sectors);

// Walks [first, first + count) (first + count must not overflow) while the
// job runs. Failed blocks go to the report under the caption of `disk`. A
// failed block on a medium that has gone ends the job at once, whatever
// "Ignorer les erreurs" says: one message and one report line.
void RunBlockLoop(JobContext& context, JobProgress& progress, Report& report, std::int32_t disk,
                  std::uint64_t first, std::uint64_t count, BlockTransfer& transfer);

}  // namespace kalvorin::jobs
