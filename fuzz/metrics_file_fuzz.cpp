// A fuzzed metrics file: read or refused with a message, never a crash; what is read has one
// metric per name, each with a name and a pattern.
#include <set>
#include <string>

#include "fuzz_support.h"
#include "study_table/metrics_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const auto metrics = study_table::parse_metrics(as_text(data, size));
  if (!metrics) {
    require(!metrics.error().message.empty(), "a refusal says why");
    require(metrics.error().message.find('\n') == std::string::npos,
            "a refusal is one line", metrics.error().message);
    return 0;
  }
  std::set<std::string> names;
  for (const auto& metric : *metrics) {
    require(!metric.name.empty(), "a metric has a name");
    require(names.insert(metric.name).second, "names are unique", metric.name);
    require(!metric.file.text().empty(), "a metric has a pattern", metric.name);
  }
  return 0;
}
