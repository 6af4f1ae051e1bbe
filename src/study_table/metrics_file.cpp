#include "study_table/metrics_file.h"

#include <fmt/format.h>

#include <set>
#include <utility>

#include "json/json_members.h"
#include "json/json_reader.h"

namespace study_table {
namespace {

using json_text::Json;

constexpr std::string_view kMembers[] = {"name",   "file",   "section", "row",
                                         "column", "reduce", "pointer"};

bool known_member(std::string_view name) {
  for (std::string_view known : kMembers) {
    if (known == name) return true;
  }
  return false;
}

// Reads one metric; errors say only what is wrong with it, the caller names the metric.
class MetricReader {
 public:
  explicit MetricReader(const Json& object) : object_(object) {}

  common::Result<Metric> read() {
    for (const auto& [name, value] : object_.items()) {
      if (!known_member(name)) return common::fail("unknown member " + Json(name).dump());
    }
    auto file = text("file");
    if (!file) return common::fail("has no \"file\" text");
    auto pattern = common::PathPattern::parse(*file);
    if (!pattern) return std::unexpected(pattern.error());
    Metric metric{.name = name(),
                  .file = std::move(*pattern),
                  .kind = Metric::Kind::SummaryCell,
                  .section = std::nullopt,
                  .row = {},
                  .column = {},
                  .reduction = Reduction::Sum,
                  .pointer = JsonPointer()};
    if (auto kind = read_kind(metric); !kind) return std::unexpected(kind.error());
    return metric;
  }

  std::string name() const { return text("name").value_or(""); }

 private:
  std::optional<std::string> text(std::string_view member) const {
    const std::string* found = json_text::find_string_member(object_, member);
    return found ? std::optional<std::string>(*found) : std::nullopt;
  }

  bool has(std::string_view member) const {
    return json_text::find_member(object_, member) != nullptr;
  }

  common::Result<void> only(std::initializer_list<std::string_view> allowed,
                            std::string_view kind) const {
    for (const auto& [name, value] : object_.items()) {
      bool fits = name == "name" || name == "file";
      for (std::string_view each : allowed) fits = fits || each == name;
      if (!fits) return common::fail(Json(name).dump() + " does not go with " + std::string(kind));
    }
    return {};
  }

  common::Result<void> read_kind(Metric& metric) const {
    if (has("pointer")) return read_pointer(metric);
    if (has("reduce")) return read_reduction(metric);
    if (has("row")) return read_cell(metric);
    return common::fail(
        "needs \"row\" and \"column\" (a summary cell), \"column\" and \"reduce\" (a time "
        "series) or \"pointer\" (a JSON value)");
  }

  common::Result<void> read_pointer(Metric& metric) const {
    if (auto fits = only({"pointer"}, "\"pointer\""); !fits) return fits;
    const auto text_value = text("pointer");
    if (!text_value) return common::fail("\"pointer\" must be text");
    auto pointer = parse_json_pointer(*text_value);
    if (!pointer) return std::unexpected(pointer.error());
    metric.kind = Metric::Kind::JsonValue;
    metric.pointer = std::move(*pointer);
    return {};
  }

  common::Result<void> read_reduction(Metric& metric) const {
    if (auto fits = only({"column", "reduce"}, "\"reduce\""); !fits) return fits;
    const auto reduce = text("reduce");
    const auto reduction = reduce ? reduction_named(*reduce) : std::nullopt;
    if (!reduction) {
      return common::fail("unknown \"reduce\" " + json_text::find_member(object_, "reduce")->dump() +
                          " (sum, mean, min, max, first, last or count)");
    }
    metric.kind = Metric::Kind::Reduction;
    metric.reduction = *reduction;
    return read_column(metric);
  }

  common::Result<void> read_cell(Metric& metric) const {
    if (auto fits = only({"section", "row", "column"}, "\"row\""); !fits) return fits;
    const auto row = text("row");
    if (!row) return common::fail("\"row\" must be text");
    if (has("section")) {
      metric.section = text("section");
      if (!metric.section) return common::fail("\"section\" must be text");
    }
    metric.kind = Metric::Kind::SummaryCell;
    metric.row = *row;
    return read_column(metric);
  }

  common::Result<void> read_column(Metric& metric) const {
    const Json* column = json_text::find_member(object_, "column");
    if (column != nullptr && column->is_string()) {
      metric.column.name = column->get<std::string>();
      return {};
    }
    if (column != nullptr && column->is_number_unsigned()) {
      metric.column.index = column->get<std::size_t>();
      return {};
    }
    return common::fail("needs a \"column\": a header name or a 0-based index");
  }

  const Json& object_;
};

std::string metric_label(const MetricReader& reader, std::size_t position) {
  const std::string name = reader.name();
  return name.empty() ? "metric " + std::to_string(position + 1) : "metric " + Json(name).dump();
}

// The message is one line on the console whatever the file holds: names, patterns and pointers
// quoted in it may contain line breaks and other control characters.
std::unexpected<common::Error> one_line(const std::string& message) {
  std::string line;
  for (const char c : message) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
      line += c;
    } else {
      line += fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
    }
  }
  return common::fail(std::move(line));
}

common::Result<std::vector<Metric>> read_metric_list(std::string_view text) {
  auto document = json_text::parse_json(text);
  if (!document) return common::fail("not valid JSON: " + document.error().message);
  const Json* list = json_text::find_array_member(*document, "metrics");
  if (list == nullptr) return common::fail("needs an array \"metrics\" at the top level");
  std::vector<Metric> metrics;
  std::set<std::string> names;
  for (std::size_t i = 0; i < list->size(); ++i) {
    const Json& entry = (*list)[i];
    if (!entry.is_object()) return common::fail("metric " + std::to_string(i + 1) + " is not an object");
    MetricReader reader(entry);
    const std::string label = metric_label(reader, i);
    if (reader.name().empty()) return common::fail(label + " has no \"name\" text");
    auto metric = reader.read();
    if (!metric) return common::fail(label + ": " + metric.error().message);
    if (!names.insert(metric->name).second) return common::fail(label + " is defined twice");
    metrics.push_back(std::move(*metric));
  }
  return metrics;
}

}  // namespace

common::Result<std::vector<Metric>> parse_metrics(std::string_view text) {
  auto metrics = read_metric_list(text);
  if (!metrics) return one_line(metrics.error().message);
  return metrics;
}

}  // namespace study_table
