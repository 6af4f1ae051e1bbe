// bench_watch_tick: how long the watcher takes to read an output directory the first time, and
// then per tick while nothing changes (what the live view does twice a second).
#include <algorithm>
#include <chrono>
#include <charconv>
#include <iostream>
#include <string_view>
#include <vector>

#include "batch_watch/batch_reader.h"
#include "platform/file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int ticks = 200;
  if (argc < 2 || (argc == 3 && std::from_chars(argv[2], argv[2] + std::string_view(argv[2]).size(),
                                                ticks).ec != std::errc())) {
    std::cerr << "Usage: bench_watch_tick <output_dir> [ticks]\n";
    return 2;
  }
  batch_watch::BatchReader reader(platform::path_from_utf8(argv[1]), argv[1]);
  auto start = Clock::now();
  const auto& first = reader.read();
  const double first_ms = milliseconds_since(start);
  std::vector<double> times;
  for (int i = 0; i < ticks; ++i) {
    start = Clock::now();
    reader.read();
    times.push_back(milliseconds_since(start));
  }
  std::sort(times.begin(), times.end());
  std::cout << "combinations " << first.counts.total << ", first read " << first_ms
            << " ms; tick with nothing new over " << ticks << " ticks: median "
            << times[times.size() / 2] << " ms, 90th percentile " << times[times.size() * 9 / 10]
            << " ms, max " << times.back() << " ms\n";
  return 0;
}
