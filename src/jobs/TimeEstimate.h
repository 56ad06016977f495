// Throughput and end-time estimate of a running job.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/Platform.h"

namespace kalvorin::jobs {

// The estimate shown by a refresh.
struct CT_TIME {
  std::string HeureFin;  // estimated end: a time of day, or "dd/mm/yyyy " + time on a later day
  std::uint64_t Vitesse = 0;  // Mo (2^20 bytes) per second
};

// The job start stamp: the local clock (for the time of day and the date of
// the start) and the monotonic clock (for everything that is elapsed time).
struct JobStamp {
  device::LocalTime local;
  std::uint64_t monotonicMs = 0;
};

JobStamp TakeStamp(device::Platform& platform);

// The user's long time format, as Platform::FormatLongTime.
using LongTimeFormat = std::function<std::string(int hour, int minute, int second)>;

// Estimate after `done` of `total` sectors (done >= 1; done = 0 is taken as 1)
// when the monotonic clock reads `nowMonotonicMs`. Elapsed time never counts
// negative. When no whole second has elapsed the speed cannot be measured and
// `previous.Vitesse` is kept.
CT_TIME CalculTemps(const JobStamp& start, std::uint64_t nowMonotonicMs, std::uint64_t done,
                    std::uint64_t total, const CT_TIME& previous, const LongTimeFormat& format);

}  // namespace kalvorin::jobs
