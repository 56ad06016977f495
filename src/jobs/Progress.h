// The progress display of a running job: when it is refreshed and what it
// shows. A refresh is also the only moment the loop lets the window handle
// its events (the stop button, "Ignorer les erreurs").
#pragma once

#include <cstdint>
#include <string>

#include "jobs/Jobs.h"
#include "jobs/TimeEstimate.h"

namespace kalvorin::jobs {

inline constexpr std::uint64_t kRefreshInterval = 128'000;  // sectors between two refreshes

// Whether the block at `p` gets a refresh before it: never before the first
// block, always after a failed block, every kRefreshInterval sectors, and
// when the previous block's count ends exactly at `end`.
bool RefreshDue(std::uint64_t p, std::uint64_t first, std::uint64_t end, bool previousFailed,
                std::uint64_t previousCount);

// (p − first) × 100 / count, truncated; 0 when count is 0.
int PercentDone(std::uint64_t p, std::uint64_t first, std::uint64_t count);

// "Sct <p> / <end> - <Vitesse> Mo/seconde - fin à : <HeureFin>"
std::string StatusText(std::uint64_t p, std::uint64_t end, const CT_TIME& estimate);

class JobProgress {
 public:
  JobProgress(JobContext& context, const JobStamp& start) : context_(context), start_(start) {}
  // Shows the position p of [first, first + count) and lets the window handle its events.
  void Refresh(std::uint64_t p, std::uint64_t first, std::uint64_t count);

 private:
  JobContext& context_;
  JobStamp start_;
  CT_TIME shown_;  // values of the last refresh
};

}  // namespace kalvorin::jobs
