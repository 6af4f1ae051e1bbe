// bench_make_workspace: writes a generated batch workspace for the macro benchmark.
#include <charconv>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "workspace_writer.h"

namespace {

int usage() {
  std::cerr << "Usage: bench_make_workspace <dir> [--small] [--no-zone-allocations]"
               " [--lists C,H,F,T]\n"
               "  --lists: numbers of controls, heat_source_wet, simplified_fabric and tariff"
               " values (default 5,4,5,5)\n";
  return 2;
}

bool parse_lists(std::string_view text, std::array<int, 4>& sizes) {
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    const auto comma = text.find(',');
    const std::string_view field = text.substr(0, comma);
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), sizes[k]);
    if (ec != std::errc() || end != field.data() + field.size() || sizes[k] < 1) return false;
    if ((comma == std::string_view::npos) != (k + 1 == sizes.size())) return false;
    if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  bench::WorkspaceOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--small") {
      options.shape = bench::small_shape();
    } else if (arg == "--no-zone-allocations") {
      options.zone_allocations = false;
    } else if (arg == "--lists" && i + 1 < argc && parse_lists(argv[i + 1], options.list_sizes)) {
      ++i;
    } else {
      return usage();
    }
  }
  const auto config = bench::write_workspace(argv[1], options);
  if (!config) {
    std::cerr << "bench_make_workspace: " << config.error().message << '\n';
    return 1;
  }
  std::cout << platform::path_text(*config) << '\n';
  return 0;
}
