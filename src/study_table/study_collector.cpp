#include "study_table/study_collector.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "native_runner/batch_config.h"
#include "native_runner/worker_pool.h"
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

// One combination's row, built on any thread, folded into the table on the writing one.
struct BuiltRow {
  common::Result<void> outcome;
  Status status = Status::NotRun;
  std::string model;
  std::vector<std::string> cells;
  std::vector<std::string> reasons;  // per metric; empty when it has its value
  std::vector<std::optional<double>> numbers;
};

// Builds rows from what the batch left; shared by the threads, it changes nothing of its own.
class RowBuilder {
 public:
  RowBuilder(const native_runner::Files& files, const CollectRequest& request,
             const StudyPlan& plan, const FailedModels& failed)
      : files_(files), request_(request), plan_(plan), failed_(failed) {}

  void build(const StudyRow& row, BuiltRow& built) const {
    const native_runner::Group& group = plan_.groups[row.group];
    built.model = native_runner::model_name(group.name, row.index);
    const fs::path result_dir =
        request_.output_dir / platform::path_from_utf8(native_runner::result_directory_name(
                                  plan_.config_name, group.name, row.index));
    auto facts = read_result_facts(files_, result_dir, native_runner::variant_file_name(group.name));
    built.outcome = facts ? common::Result<void>() : std::unexpected(facts.error());
    if (!facts) return;
    built.status = decide_status(*facts, failed_.failed(built.model));
    auto& cells = built.cells;
    cells.assign({plan_.config_name, group.name, row.index.decimal(), built.model});
    cells.insert(cells.end(), row.values.begin(), row.values.end());
    cells.push_back(plan_.weather_names[row.group]);
    cells.emplace_back(status_name(built.status));
    cells.push_back(std::move(facts->duration_s));
    cells.push_back(std::move(facts->attempts));
    cells.push_back(facts->variant_sha256.value_or(""));
    add_metrics(result_dir, built);
  }

 private:
  void add_metrics(const fs::path& result_dir, BuiltRow& built) const {
    const std::size_t count = request_.metrics.size();
    built.reasons.assign(count, std::string());
    built.numbers.assign(count, std::nullopt);
    if (built.status != Status::Succeeded) {
      built.cells.resize(built.cells.size() + count);
      return;
    }
    RunOutputs outputs(files_, engine_outputs_dir(result_dir));
    for (std::size_t i = 0; i < count; ++i) {
      auto value = outputs.value_of(request_.metrics[i]);
      if (!value) {
        built.cells.emplace_back();
        built.reasons[i] = std::move(value.error().message);
        continue;
      }
      built.numbers[i] = read_number(*value);
      built.cells.push_back(std::move(*value));
    }
  }

  const native_runner::Files& files_;
  const CollectRequest& request_;
  const StudyPlan& plan_;
  const FailedModels& failed_;
};

// Rows are built a block at a time on every core (reading the files of a combination is most of
// the work) and written in batch order; memory holds one block, however many rows there are.
class Collector {
 public:
  static constexpr std::size_t kBlock = 512;

  Collector(const RowBuilder& builder, const CollectRequest& request, const StudyPlan& plan,
            StudyTable& table)
      : builder_(builder), request_(request), plan_(plan), table_(table),
        rows_(kBlock), built_(kBlock) {
    table_.missing.resize(request.metrics.size());
    workers_ = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    if (workers_ > 1) pool_.emplace(workers_);
  }

  common::Result<void> write_rows(CsvWriter& writer) {
    StudyRows rows(plan_);
    for (;;) {
      std::size_t filled = 0;
      while (filled < kBlock && rows.next(rows_[filled])) ++filled;
      if (rows.error()) return std::unexpected(*rows.error());
      if (filled == 0) return {};
      build_block(filled);
      for (std::size_t i = 0; i < filled; ++i) {
        if (auto folded = fold(rows_[i], built_[i], writer); !folded) return folded;
      }
    }
  }

 private:
  void build_block(std::size_t filled) {
    if (!pool_) {
      for (std::size_t i = 0; i < filled; ++i) builder_.build(rows_[i], built_[i]);
      return;
    }
    // One slice per thread: a hand-over per row would cost as much as a row of small files.
    for (std::size_t w = 0; w < workers_; ++w) {
      const std::size_t begin = filled * w / workers_, end = filled * (w + 1) / workers_;
      pool_->submit([this, begin, end] {
        for (std::size_t i = begin; i < end; ++i) builder_.build(rows_[i], built_[i]);
      });
    }
    pool_->wait_idle();
  }

  common::Result<void> fold(const StudyRow& row, BuiltRow& built, CsvWriter& writer) {
    if (!built.outcome) return built.outcome;
    if (auto written = writer.write(built.cells); !written) return written;
    ++table_.counts[static_cast<std::size_t>(built.status)];
    ++table_.rows;
    if (built.status == Status::Succeeded) {
      for (std::size_t i = 0; i < built.reasons.size(); ++i) {
        if (built.reasons[i].empty()) continue;
        MissingValues& missing = table_.missing[i];
        if (missing.rows++ == 0) {
          missing.first_model = built.model;
          missing.first_reason = std::move(built.reasons[i]);
        }
      }
      if (table_.effects) table_.effects->add(row.values, built.numbers);
    }
    if (request_.for_report && table_.first_rows.size() < kReportRows) {
      table_.first_rows.push_back(std::move(built.cells));
    }
    return {};
  }

  const RowBuilder& builder_;
  const CollectRequest& request_;
  const StudyPlan& plan_;
  StudyTable& table_;
  std::vector<StudyRow> rows_;
  std::vector<BuiltRow> built_;
  unsigned workers_ = 1;
  std::optional<native_runner::WorkerPool> pool_;
};

}  // namespace

common::Result<StudyTable> collect_study(const native_runner::Files& files,
                                         const CollectRequest& request) {
  auto plan = read_study_plan(files, request.config_path, request.sample);
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
  const RowBuilder builder(files, request, *plan, *failed);
  Collector collector(builder, request, *plan, table);
  if (auto rows = collector.write_rows(*writer); !rows) return std::unexpected(rows.error());
  if (auto committed = writer->commit(); !committed) return std::unexpected(committed.error());
  return table;
}

}  // namespace study_table
