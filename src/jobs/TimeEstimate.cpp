#include "jobs/TimeEstimate.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace kalvorin::jobs {

namespace {

constexpr std::uint64_t kMsPerDay = 86'400'000;
// Estimates beyond this are clamped: they only need to read as "very late".
constexpr double kMaxEstimateMs = 36'500.0 * kMsPerDay;

std::uint64_t TimeOfDayMs(const device::LocalTime& t) {
  return ((static_cast<std::uint64_t>(t.hour) * 60 + static_cast<std::uint64_t>(t.minute)) * 60 +
          static_cast<std::uint64_t>(t.second)) *
             1000 +
         static_cast<std::uint64_t>(t.millisecond);
}

// "dd/mm/yyyy" of the day `days` after the date of `start`.
std::string LaterDate(const device::LocalTime& start, std::uint64_t days) {
  using namespace std::chrono;
  const year_month_day startDay{year{start.year}, month{static_cast<unsigned>(start.month)},
                                day{static_cast<unsigned>(start.day)}};
  const year_month_day endDay{sys_days{startDay} + std::chrono::days{static_cast<long>(days)}};
  char text[32];
  std::snprintf(text, sizeof text, "%02u/%02u/%04d", static_cast<unsigned>(endDay.day()),
                static_cast<unsigned>(endDay.month()), static_cast<int>(endDay.year()));
  return text;
}

}  // namespace

JobStamp TakeStamp(device::Platform& platform) {
  JobStamp stamp;
  stamp.local = platform.Now();
  stamp.monotonicMs = platform.MonotonicMilliseconds();
  return stamp;
}

CT_TIME CalculTemps(const JobStamp& start, std::uint64_t nowMonotonicMs, std::uint64_t done,
                    std::uint64_t total, const CT_TIME& previous, const LongTimeFormat& format) {
  if (done == 0) done = 1;
  const std::uint64_t elapsedMs =
      nowMonotonicMs > start.monotonicMs ? nowMonotonicMs - start.monotonicMs : 0;

  double estimateMs =
      static_cast<double>(elapsedMs) * static_cast<double>(total) / static_cast<double>(done);
  if (!(estimateMs < kMaxEstimateMs)) estimateMs = kMaxEstimateMs;
  const std::uint64_t endMs =
      TimeOfDayMs(start.local) + static_cast<std::uint64_t>(std::llround(estimateMs));

  CT_TIME result;
  const std::uint64_t endDays = endMs / kMsPerDay;
  const std::uint64_t endSecondOfDay = endMs % kMsPerDay / 1000;
  const std::string time =
      format(static_cast<int>(endSecondOfDay / 3600), static_cast<int>(endSecondOfDay / 60 % 60),
             static_cast<int>(endSecondOfDay % 60));
  result.HeureFin = endDays == 0 ? time : LaterDate(start.local, endDays) + " " + time;

  const std::uint64_t seconds = elapsedMs / 1000;
  // done × 512 / seconds / 2^20, without the overflow of done × 512.
  result.Vitesse = seconds != 0 ? done / 2048 / seconds : previous.Vitesse;
  return result;
}

}  // namespace kalvorin::jobs
