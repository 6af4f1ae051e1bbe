#include "study_table/study_collector.h"

#include <utility>

#include "native_runner/batch_config.h"
#include "platform/file_system.h"
#include "study_table/csv_writer.h"
#include "study_table/failed_models.h"
#include "study_table/number_text.h"
#include "study_table/run_outputs.h"
#include "study_table/study_rows.h"

namespace study_table {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> header_of(const StudyPlan& plan, const std::vector<Metric>& metrics) {
  std::vector<std::string> header = {"config", "group", "index", "model_name"};
  header.insert(header.end(), plan.keys.begin(), plan.keys.end());
  for (const char* fixed : {"weather_file", "status", "duration_s", "attempts", "variant_sha256"}) {
    header.emplace_back(fixed);
  }
  for (const Metric& metric : metrics) header.push_back(metric.name);
  return header;
}

// Turns each combination into its row of the table, keeping the counts and what the report
// needs on the way.
class Collector {
 public:
  Collector(const native_runner::Files& files, const CollectRequest& request,
            const StudyPlan& plan, const FailedModels& failed, StudyTable& table)
      : files_(files), request_(request), plan_(plan), failed_(failed), table_(table) {
    table_.missing.resize(request.metrics.size());
    metric_numbers_.resize(request.metrics.size());
  }

  common::Result<void> write_rows(CsvWriter& writer) {
    StudyRows rows(plan_);
    StudyRow row;
    std::vector<std::string> cells;
    while (rows.next(row)) {
      if (auto built = build_row(row, cells); !built) return built;
      if (auto written = writer.write(cells); !written) return written;
      if (request_.for_report && table_.first_rows.size() < kReportRows) {
        table_.first_rows.push_back(cells);
      }
      ++table_.rows;
    }
    return {};
  }

 private:
  common::Result<void> build_row(const StudyRow& row, std::vector<std::string>& cells) {
    const native_runner::Group& group = plan_.groups[row.group];
    const std::string model = native_runner::model_name(group.name, row.index);
    const fs::path result_dir =
        request_.output_dir / platform::path_from_utf8(native_runner::result_directory_name(
                                  plan_.config_name, group.name, row.index));
    auto facts = read_result_facts(files_, result_dir, native_runner::variant_file_name(group.name));
    if (!facts) return std::unexpected(facts.error());
    const Status status = decide_status(*facts, failed_.failed(model));
    ++table_.counts[static_cast<std::size_t>(status)];

    cells.assign({plan_.config_name, group.name, std::to_string(row.index), model});
    cells.insert(cells.end(), row.values.begin(), row.values.end());
    cells.push_back(plan_.weather_names[row.group]);
    cells.emplace_back(status_name(status));
    cells.push_back(std::move(facts->duration_s));
    cells.push_back(std::move(facts->attempts));
    cells.push_back(facts->variant_sha256.value_or(""));
    add_metrics(status == Status::Succeeded, result_dir, model, row, cells);
    return {};
  }

  void add_metrics(bool succeeded, const fs::path& result_dir, const std::string& model,
                   const StudyRow& row, std::vector<std::string>& cells) {
    if (!succeeded) {
      cells.resize(cells.size() + request_.metrics.size());
      return;
    }
    RunOutputs outputs(files_, engine_outputs_dir(result_dir));
    for (std::size_t i = 0; i < request_.metrics.size(); ++i) {
      auto value = outputs.value_of(request_.metrics[i]);
      metric_numbers_[i] = value ? read_number(*value) : std::nullopt;
      if (value) {
        cells.push_back(std::move(*value));
        continue;
      }
      cells.emplace_back();
      MissingValues& missing = table_.missing[i];
      if (missing.rows++ == 0) {
        missing.first_model = model;
        missing.first_reason = value.error().message;
      }
    }
    if (table_.effects) table_.effects->add(row.values, metric_numbers_);
  }

  const native_runner::Files& files_;
  const CollectRequest& request_;
  const StudyPlan& plan_;
  const FailedModels& failed_;
  StudyTable& table_;
  std::vector<std::optional<double>> metric_numbers_;
};

}  // namespace

common::Result<StudyTable> collect_study(const native_runner::Files& files,
                                         const CollectRequest& request) {
  auto plan = read_study_plan(files, request.config_path);
  if (!plan) return std::unexpected(plan.error());
  if (!platform::exists(request.output_dir)) {
    return common::fail("No such output directory: " + platform::path_text(request.output_dir));
  }
  auto failed = FailedModels::read(request.output_dir);
  if (!failed) return std::unexpected(failed.error());

  StudyTable table;
  table.config_name = plan->config_name;
  table.table_path = request.table_path.value_or(
      request.output_dir / platform::path_from_utf8("study_" + plan->config_name + ".csv"));
  auto writer = CsvWriter::create(table.table_path);
  if (!writer) return std::unexpected(writer.error());
  const auto header = header_of(*plan, request.metrics);
  if (auto written = writer->write(header); !written) return std::unexpected(written.error());
  if (request.for_report) {
    table.header = header;
    std::vector<std::string> names;
    for (const Metric& metric : request.metrics) names.push_back(metric.name);
    table.effects.emplace(std::move(names), plan->keys);
  }
  Collector collector(files, request, *plan, *failed, table);
  if (auto rows = collector.write_rows(*writer); !rows) return std::unexpected(rows.error());
  if (auto committed = writer->commit(); !committed) return std::unexpected(committed.error());
  return table;
}

}  // namespace study_table
