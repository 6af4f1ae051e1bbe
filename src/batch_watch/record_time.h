#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace batch_watch {

// Seconds since 1970-01-01T00:00:00Z for a record timestamp "YYYY-MM-DDTHH:MM:SSZ"; nothing for
// any other text (a record cut short, a field of another type).
std::optional<std::int64_t> parse_record_time(std::string_view text);

// The record form of an instant given in seconds since the epoch ("2026-12-06T10:03:33Z").
std::string format_record_time(std::int64_t seconds);

// A span of seconds as "42s", "3:05" (minutes) or "2:03:05" (hours), the way the view shows it.
std::string format_span(std::int64_t seconds);

}  // namespace batch_watch
