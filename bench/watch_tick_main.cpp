// bench_watch_tick: how long the watcher takes to read an output directory the first time, and
// then per tick (what the live view does twice a second): with nothing new, or with --growing
// one processing event more each tick, as while a batch runs.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "batch_watch/batch_reader.h"
#include "platform/file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A retry of the log's first combination: one more record that changes no outcome.
std::string retry_line(const std::filesystem::path& log) {
  const auto text = platform::read_file_from(log, 0, 4096);
  if (!text) return {};
  const std::string& bytes = text->bytes;
  const auto first = bytes.find('\n') + 1;
  std::string line = bytes.substr(first, bytes.find('\n', first) + 1 - first);
  const std::string type = "\"MODEL_START\"";
  if (const auto at = line.find(type); at != std::string::npos) {
    line.replace(at, type.size(), "\"SIMULATION_RETRY\"");
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  int ticks = 200;
  bool growing = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--growing") {
      growing = true;
    } else if (std::from_chars(arg.data(), arg.data() + arg.size(), ticks).ec != std::errc() ||
               ticks < 1) {
      std::cerr << "Usage: bench_watch_tick <output_dir> [ticks] [--growing]\n";
      return 2;
    }
  }
  const auto dir = platform::path_from_utf8(argv[1]);
  const auto log = dir / "logs" / "processing" / "batch_processing_native_test.log";
  const std::string line = growing ? retry_line(log) : std::string();
  batch_watch::BatchReader reader(dir, argv[1]);
  auto start = Clock::now();
  const std::uint64_t combinations = reader.read().counts.total;
  const double first_ms = milliseconds_since(start);
  std::vector<double> times;
  for (int i = 0; i < ticks; ++i) {
    if (growing && !platform::append_to_file(log, line)) return 1;
    start = Clock::now();
    reader.read();
    times.push_back(milliseconds_since(start));
  }
  std::sort(times.begin(), times.end());
  std::cout << "combinations " << combinations << ", first read " << first_ms << " ms; tick with "
            << (growing ? "one new line" : "nothing new") << " over " << ticks
            << " ticks: median " << times[times.size() / 2] << " ms, 90th percentile "
            << times[times.size() * 9 / 10] << " ms, max " << times.back() << " ms\n";
  return 0;
}
