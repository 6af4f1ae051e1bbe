#include "study_table/combination_status.h"

#include "common/sha256.h"
#include "json/json_members.h"
#include "json/json_reader.h"
#include "native_runner/simulation_outcome.h"
#include "platform/file_system.h"
#include "study_table/number_text.h"

namespace study_table {
namespace {

using json_text::Json;

common::Error unreadable(const std::filesystem::path& path, const common::Error& error) {
  return common::Error("Cannot read " + platform::path_text(path) + ": " + error.message);
}

std::string number_member(const Json& record, std::string_view name) {
  const Json* member = json_text::find_member(record, name);
  if (member == nullptr) return {};
  if (member->is_number_unsigned()) return std::to_string(member->get<std::uint64_t>());
  if (member->is_number_integer()) return std::to_string(member->get<std::int64_t>());
  if (member->is_number_float()) return shortest_text(member->get<double>());
  return {};
}

common::Result<void> read_outcome_record(const native_runner::Files& files,
                                         const std::filesystem::path& path, ResultFacts& facts) {
  if (!files.exists(path)) return {};
  auto text = files.read(path);
  if (!text) return std::unexpected(unreadable(path, text.error()));
  auto record = json_text::parse_json_object(*text);
  if (!record) return std::unexpected(unreadable(path, record.error()));
  auto outcome = native_runner::read_outcome(*record);
  if (!outcome) return std::unexpected(unreadable(path, outcome.error()));
  facts.outcome_sha256 = std::move(outcome->inputs.variant_sha256);
  facts.duration_s = number_member(*record, "duration_s");
  facts.attempts = number_member(*record, "attempts");
  return {};
}

}  // namespace

std::string_view status_name(Status status) {
  switch (status) {
    case Status::Succeeded: return "succeeded";
    case Status::Failed: return "failed";
    case Status::Stale: return "stale";
    case Status::Written: return "written";
    case Status::NotRun: break;
  }
  return "not_run";
}

Status decide_status(const ResultFacts& facts, bool last_error_failed) {
  if (!facts.variant_sha256) return Status::NotRun;
  if (facts.outcome_sha256) {
    return *facts.outcome_sha256 == *facts.variant_sha256 ? Status::Succeeded : Status::Stale;
  }
  return last_error_failed ? Status::Failed : Status::Written;
}

common::Result<ResultFacts> read_result_facts(const native_runner::Files& files,
                                              const std::filesystem::path& result_dir,
                                              std::string_view variant_file_name) {
  ResultFacts facts;
  const auto variant_path = result_dir / platform::path_from_utf8(variant_file_name);
  if (!files.exists(variant_path)) return facts;
  auto variant = files.read(variant_path);
  if (!variant) return std::unexpected(unreadable(variant_path, variant.error()));
  facts.variant_sha256 = common::sha256_hex(*variant);
  const auto record_path =
      result_dir / platform::path_from_utf8(native_runner::kOutcomeFileName);
  if (auto read = read_outcome_record(files, record_path, facts); !read) {
    return std::unexpected(read.error());
  }
  return facts;
}

}  // namespace study_table
