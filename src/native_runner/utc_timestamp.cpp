#include "native_runner/utc_timestamp.h"

#include <fmt/format.h>

namespace native_runner {
namespace {

// Four digits at least, as "%Y" gives for the years anyone will see; years beyond 9999 keep all
// their digits and years before 0 get a leading minus, so the text never wraps or truncates.
std::string format_year(int year) {
  if (year < 0) return fmt::format("-{:04}", -year);
  return fmt::format("{:04}", year);
}

}  // namespace

std::string utc_timestamp() { return utc_timestamp(std::chrono::system_clock::now()); }

std::string utc_timestamp(std::chrono::system_clock::time_point now) {
  using namespace std::chrono;
  // floor, not a cast: a cast rounds toward zero and would move instants before 1970 one second
  // forward.
  const auto seconds_since_epoch = floor<seconds>(now);
  const auto day = floor<days>(seconds_since_epoch);
  const year_month_day date{day};
  const hh_mm_ss time{seconds_since_epoch - day};
  return fmt::format("{}-{:02}-{:02}T{:02}:{:02}:{:02}Z", format_year(int{date.year()}),
                     unsigned{date.month()}, unsigned{date.day()}, time.hours().count(),
                     time.minutes().count(), time.seconds().count());
}

}  // namespace native_runner
