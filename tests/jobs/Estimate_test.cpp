// The refresh rule, the status text and the time estimate, as pure functions.
#include <gtest/gtest.h>

#include <cstdio>

#include "jobs/Progress.h"
#include "jobs/TimeEstimate.h"

namespace kalvorin::jobs {
namespace {

std::string Hms(int h, int m, int s) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, m, s);
  return text;
}

JobStamp Stamp(int year, int month, int day, int hour, int minute, int second,
               std::uint64_t monotonicMs) {
  JobStamp stamp;
  stamp.local = {year, month, day, hour, minute, second, 0};
  stamp.monotonicMs = monotonicMs;
  return stamp;
}

constexpr std::uint64_t kMinute = 60'000;

TEST(CalculTemps, EstimatesTheEndFromTheElapsedShare) {
  const JobStamp start = Stamp(2026, 12, 9, 21, 0, 0, 1'000'000);
  // A quarter done after 30 minutes: two more hours.
  const CT_TIME t = CalculTemps(start, 1'000'000 + 30 * kMinute, 1000, 4000, {}, Hms);
  EXPECT_EQ(t.HeureFin, "23:00:00");
}

TEST(CalculTemps, SpeedIsWholeMegabytesPerWholeSecond) {
  const JobStamp start = Stamp(2026, 12, 9, 10, 0, 0, 0);
  EXPECT_EQ(CalculTemps(start, 10'000, 128'000, 256'000, {}, Hms).Vitesse, 6u);  // 6.25
  EXPECT_EQ(CalculTemps(start, 10'999, 128'000, 256'000, {}, Hms).Vitesse, 6u);
  EXPECT_EQ(CalculTemps(start, 1'000, 2048 * 100, 1u << 30, {}, Hms).Vitesse, 100u);
}

TEST(CalculTemps, NoWholeSecondKeepsThePreviousSpeed) {
  const JobStamp start = Stamp(2026, 12, 9, 10, 0, 0, 0);
  CT_TIME previous;
  previous.Vitesse = 42;
  EXPECT_EQ(CalculTemps(start, 999, 128'000, 256'000, previous, Hms).Vitesse, 42u);
  EXPECT_EQ(CalculTemps(start, 999, 128'000, 256'000, {}, Hms).Vitesse, 0u);
  EXPECT_EQ(CalculTemps(start, 999, 128'000, 256'000, {}, Hms).HeureFin, "10:00:01");
}

TEST(CalculTemps, AnEndOnALaterDayShowsItsDate) {
  struct Case {
    JobStamp start;
    std::uint64_t elapsedMs, done, total;
    const char* expected;
  } cases[] = {
      {Stamp(2026, 12, 9, 23, 50, 0, 0), 20 * kMinute, 1, 2, "10/12/2026 00:30:00"},
      {Stamp(2026, 12, 31, 23, 0, 0, 0), 60 * kMinute, 1, 3, "01/01/2027 02:00:00"},
      {Stamp(2028, 2, 28, 12, 0, 0, 0), 24 * 60 * kMinute, 1, 2, "01/03/2028 12:00:00"},
      {Stamp(2026, 12, 9, 12, 0, 0, 0), 12 * 60 * kMinute, 1, 1, "10/12/2026 00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        CalculTemps(c.start, c.start.monotonicMs + c.elapsedMs, c.done, c.total, {}, Hms).HeureFin,
        c.expected);
  }
}

TEST(CalculTemps, AJobThatCrossesMidnightKeepsASensibleSpeed) {
  // Started at 23:59:00 on the local clock; the monotonic clock says 2 minutes later.
  const JobStamp start = Stamp(2026, 12, 9, 23, 59, 0, 7'000'000);
  const CT_TIME t = CalculTemps(start, 7'000'000 + 2 * kMinute, 2048 * 120, 2048 * 240, {}, Hms);
  EXPECT_EQ(t.Vitesse, 1u);
  EXPECT_EQ(t.HeureFin, "10/12/2026 00:03:00");
}

TEST(CalculTemps, SurvivesAClockBehindTheStartAndAbsurdRatios) {
  const JobStamp start = Stamp(2026, 12, 9, 8, 0, 0, 50'000);
  const CT_TIME behind = CalculTemps(start, 10'000, 10, 20, {}, Hms);
  EXPECT_EQ(behind.HeureFin, "08:00:00");
  EXPECT_EQ(behind.Vitesse, 0u);
  const CT_TIME huge = CalculTemps(start, 50'000 + 1000, 1, UINT64_MAX, {}, Hms);
  EXPECT_FALSE(huge.HeureFin.empty());
  const CT_TIME zero = CalculTemps(start, 50'000 + 1000, 0, 0, {}, Hms);
  EXPECT_EQ(zero.HeureFin, "08:00:00");
}

TEST(RefreshRule, RefreshesAtTheRuleSPositionsOnly) {
  struct Case {
    std::uint64_t first, count;
    std::vector<std::uint64_t> refreshedOffsets;  // p − first of the refreshed blocks
  } cases[] = {
      {0, 0, {}},
      {5, 128, {}},
      {5, 300, {}},
      {5, 256, {128}},  // the last block is full
      {1000, 128'200, {128'000}},
      {1000, 256'000, {128'000, 255'872}},
      {0, 384'000, {128'000, 256'000, 383'872}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint64_t> refreshed;
    const std::uint64_t end = c.first + c.count;
    std::uint64_t previous = 0;
    for (std::uint64_t p = c.first; p < end; p += 128) {
      if (RefreshDue(p, c.first, end, false, previous)) refreshed.push_back(p - c.first);
      previous = std::min<std::uint64_t>(128, end - p);
    }
    EXPECT_EQ(refreshed, c.refreshedOffsets) << c.first << " + " << c.count;
  }
}

TEST(RefreshRule, AFailedBlockIsAlwaysFollowedByARefreshButTheFirstNever) {
  EXPECT_TRUE(RefreshDue(1128, 1000, 100'000, true, 128));
  EXPECT_TRUE(RefreshDue(1256, 1000, 100'000, true, 128));
  EXPECT_FALSE(RefreshDue(1000, 1000, 100'000, true, 128));
  EXPECT_FALSE(RefreshDue(1256, 1000, 100'000, false, 128));
}

TEST(Progress, PercentAndStatusText) {
  EXPECT_EQ(PercentDone(1000 + 128'000, 1000, 256'000), 50);
  EXPECT_EQ(PercentDone(1000 + 255'872, 1000, 256'000), 99);
  EXPECT_EQ(PercentDone(7, 7, 0), 0);
  EXPECT_EQ(PercentDone(UINT64_MAX - 1, 0, UINT64_MAX), 99);
  EXPECT_EQ(PercentDone(UINT64_MAX / 2, 0, UINT64_MAX), 49);
  CT_TIME t;
  t.Vitesse = 6;
  t.HeureFin = "21:47:05";
  EXPECT_EQ(StatusText(129'000, 257'000, t),
            "Sct 129000 / 257000 - 6 Mo/seconde - fin à : 21:47:05");
}

}  // namespace
}  // namespace kalvorin::jobs
