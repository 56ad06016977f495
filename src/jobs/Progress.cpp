#include "jobs/Progress.h"

namespace kalvorin::jobs {

bool RefreshDue(std::uint64_t p, std::uint64_t first, std::uint64_t end, bool previousFailed,
                std::uint64_t previousCount) {
  if (p <= first) return false;
  if (previousFailed) return true;
  if ((p - first) % kRefreshInterval == 0) return true;
  return p < end && end - p == previousCount;
}

int PercentDone(std::uint64_t p, std::uint64_t first, std::uint64_t count) {
  if (count == 0 || p <= first) return 0;
  __extension__ using Wide = unsigned __int128;  // done × 100 cannot overflow it
  const Wide percent = static_cast<Wide>(p - first) * 100 / count;
  return static_cast<int>(percent > 100 ? 100 : percent);
}

std::string StatusText(std::uint64_t p, std::uint64_t end, const CT_TIME& estimate) {
  return "Sct " + std::to_string(p) + " / " + std::to_string(end) + " - " +
         std::to_string(estimate.Vitesse) + " Mo/seconde - fin à : " + estimate.HeureFin;
}

void JobProgress::Refresh(std::uint64_t p, std::uint64_t first, std::uint64_t count) {
  context_.window.SetProgress(PercentDone(p, first, count));
  device::Platform& platform = context_.platform;
  shown_ = CalculTemps(start_, platform.MonotonicMilliseconds(), p - first, count, shown_,
                       [&platform](int hour, int minute, int second) {
                         return platform.FormatLongTime(hour, minute, second);
                       });
  context_.window.JobPosition(p, first, first + count, shown_.Vitesse, shown_.HeureFin);
  context_.window.SetStatusText(StatusText(p, first + count, shown_));
  context_.window.ProcessEvents();
}

}  // namespace kalvorin::jobs
