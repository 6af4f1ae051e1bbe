// bench_make_watch_dir: writes a synthetic output directory of a finished batch for the watcher's
// benchmarks.
#include <charconv>
#include <iostream>
#include <string_view>

#include "batch_output_writer.h"
#include "platform/file_system.h"

namespace {

int usage() {
  std::cerr << "Usage: bench_make_watch_dir <dir> [--combinations N] [--groups G] [--simulation]"
               " [--fail-every K] [--shards S] [--result-dirs]\n";
  return 2;
}

bool parse_count(std::string_view text, std::uint64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  bench::BatchOutputOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--simulation") {
      options.simulation = true;
    } else if (arg == "--result-dirs") {
      options.result_directories = true;
    } else if (arg == "--combinations" && has_value && parse_count(argv[i + 1], options.combinations)) {
      ++i;
    } else if (arg == "--groups" && has_value && parse_count(argv[i + 1], options.groups)) {
      ++i;
    } else if (arg == "--fail-every" && has_value && parse_count(argv[i + 1], options.fail_every)) {
      ++i;
    } else if (arg == "--shards" && has_value && parse_count(argv[i + 1], options.shards)) {
      ++i;
    } else {
      return usage();
    }
  }
  if (auto written = bench::write_batch_output(platform::path_from_utf8(argv[1]), options);
      !written) {
    std::cerr << "bench_make_watch_dir: " << written.error().message << '\n';
    return 1;
  }
  return 0;
}
