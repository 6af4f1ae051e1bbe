#include "batch_watch/record_time.h"

#include <chrono>
#include <fmt/format.h>

namespace batch_watch {
namespace {

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<std::int64_t> parse_record_time(std::string_view text) {
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
  const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*year),
                                         std::chrono::month(static_cast<unsigned>(*month)),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 60) return std::nullopt;
  const auto days = std::chrono::sys_days(date).time_since_epoch().count();
  return static_cast<std::int64_t>(days) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string format_record_time(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds instant{std::chrono::seconds(seconds)};
  const auto day = floor<days>(instant);
  const year_month_day date{day};
  const hh_mm_ss time{instant - day};
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", int{date.year()},
                     unsigned{date.month()}, unsigned{date.day()}, time.hours().count(),
                     time.minutes().count(), time.seconds().count());
}

std::string format_span(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds < 60) return fmt::format("{}s", seconds);
  if (seconds < 3600) return fmt::format("{}:{:02}", seconds / 60, seconds % 60);
  return fmt::format("{}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace batch_watch
