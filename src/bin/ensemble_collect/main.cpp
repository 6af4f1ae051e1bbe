// ensemble_collect: turns what a batch left in its output directory into one table, a row per
// combination, and optionally a report with main-effects charts.
#include <iostream>
#include <string>
#include <vector>

#include "common/program_version.h"
#include "common/utf8.h"
#include "native_runner/files.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "study_table/collect_options.h"
#include "study_table/metrics_file.h"
#include "study_table/study_collector.h"
#include "study_table/study_report.h"

namespace {

constexpr int kWritten = 0;
constexpr int kFailed = 1;
constexpr const char* kPrefix = "[ensemble_collect] ";

int usage(const std::string& program, const std::string& problem) {
  std::cerr << kPrefix << problem << '\n' << study_table::collect_usage(program);
  return kFailed;
}

int failure(const std::string& message) {
  std::cerr << kPrefix << message << '\n';
  return kFailed;
}

common::Result<std::vector<study_table::Metric>> read_metrics(const std::string& path) {
  auto text = native_runner::system_files().read(platform::path_from_utf8(path));
  if (!text) return common::fail("Cannot read metrics file " + path + ": " + text.error().message);
  auto metrics = study_table::parse_metrics(*text);
  if (!metrics) return common::fail("Metrics file " + path + ": " + metrics.error().message);
  return metrics;
}

void print_summary(const study_table::StudyTable& table,
                   const std::vector<study_table::Metric>& metrics) {
  using study_table::Status;
  const std::uint64_t succeeded = table.count(Status::Succeeded);
  for (std::size_t i = 0; i < metrics.size(); ++i) {
    const auto& missing = table.missing[i];
    if (missing.rows == 0) continue;
    std::cout << kPrefix << "Metric " << metrics[i].name << ": no value in " << missing.rows
              << " of " << succeeded << " succeeded rows (first: " << missing.first_model << ": "
              << missing.first_reason << ")\n";
  }
  std::cout << kPrefix << "Wrote " << table.rows << " rows (" << succeeded << " succeeded, "
            << table.count(Status::Failed) << " failed, " << table.count(Status::Stale)
            << " stale, " << table.count(Status::Written) << " written, "
            << table.count(Status::NotRun) << " not run) to "
            << platform::path_text(table.table_path) << '\n';
}

int collect(const study_table::CollectOptions& options) {
  std::vector<study_table::Metric> metrics;
  if (options.metrics) {
    auto read = read_metrics(*options.metrics);
    if (!read) return failure(read.error().message);
    metrics = std::move(*read);
  }
  study_table::CollectRequest request{
      .config_path = platform::path_from_utf8(options.config_path),
      .output_dir = platform::path_from_utf8(options.output_dir),
      .table_path = options.output ? std::optional(platform::path_from_utf8(*options.output))
                                   : std::nullopt,
      .metrics = std::move(metrics),
      .for_report = options.report.has_value(),
      .sample = options.sample,
  };
  auto table = study_table::collect_study(native_runner::system_files(), request);
  if (!table) return failure(table.error().message);
  print_summary(*table, request.metrics);
  if (!options.report) return kWritten;
  const auto page = study_table::render_study_report(*table);
  if (auto written = platform::replace_file(platform::path_from_utf8(*options.report), page);
      !written) {
    return failure("Cannot write report " + *options.report + ": " + written.error().message);
  }
  std::cout << kPrefix << "Wrote report to " << *options.report << '\n';
  return kWritten;
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepare_console();
  const std::vector<std::string> words = platform::command_line_words(argc, argv);
  const std::string program = words.empty() ? "ensemble_collect" : words[0];
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (!common::is_valid_utf8(words[i])) {
      return usage(program, "Command-line argument " + std::to_string(i) + " is not valid UTF-8");
    }
  }
  const auto options = study_table::parse_collect_options(
      std::vector<std::string>(words.begin() + 1, words.end()));
  if (!options) return usage(program, options.error().message);
  if (options->request == common::ProgramRequest::kHelp) {
    std::cout << study_table::collect_help(program);
    return kWritten;
  }
  if (options->request == common::ProgramRequest::kVersion) {
    std::cout << common::version_line("ensemble_collect");
    return kWritten;
  }
  return collect(*options);
}
