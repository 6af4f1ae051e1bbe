#include "native_runner/variant_build.h"

#include <ostream>
#include <utility>

#include "json/json_writer.h"
#include "model_editing/system_parameter.h"
#include "model_editing/variant_finishing.h"
#include "native_runner/weather_selection.h"
#include "native_runner/zone_allocation_files.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

using json_text::Json;
namespace fs = std::filesystem;

// Outcome of the steps that may skip a combination without ending the batch.
enum class Step { Continue, Skip };

common::Result<Step> apply_parameters(const Combination& c, const VariantSources& sources,
                                      BatchRecords& records, Json& variant,
                                      std::vector<std::string>& applied_keys,
                                      CombinationOutput& output) {
  for (std::size_t k = 0; k < c.group.parameters.size(); ++k) {
    const std::string& key = c.group.parameters[k].key;
    const fs::path file = sources.base / platform::path_from_utf8(key) /
                          platform::path_from_utf8(std::string(c.values[k]) + ".json");
    const std::string file_text = platform::path_text(file);
    const auto parameter = sources.parsed.find(file);
    if (!parameter) return std::unexpected(parameter.error());
    if (!*parameter) {
      output.out() << "      ERROR: Parameter file not found at '" << file_text
                   << "'. Skipping this combination.\n";
      auto written =
          output.record(progress_record(records, c.name, c.next_index(), c.total, c.percentage,
                                        "Parameter file not found: " + file_text));
      if (!written) return std::unexpected(written.error());
      return Step::Skip;
    }
    applied_keys.push_back(key);
    if (auto applied = model_editing::apply_system_parameter(variant, key, ***parameter);
        !applied) {
      const Json details = {{"param_key", key}, {"param_file", file_text}};
      const std::string message =
          "Failed to merge " + key + " parameter: " + applied.error().message;
      auto logged = output.record([&records, message, details, name = c.name, index = c.index,
                                   total = c.total](std::ostream&) {
        return records.error("MERGE_FAILED", message, LogPosition{name, index, total}, details);
      });
      if (!logged) return std::unexpected(logged.error());
      return std::unexpected(applied.error());
    }
  }
  return Step::Continue;
}

common::Result<BuiltVariant> finish_and_write(const Combination& c, const VariantSources& sources,
                                              Json variant,
                                              const std::vector<std::string>& applied_keys,
                                              const json_text::PrettyTexts* base_texts,
                                              CombinationOutput& output) {
  if (auto announced =
          announce_weather_file(*c.group.object, sources.base, sources.files, output.out());
      !announced) {
    return std::unexpected(announced.error());
  }
  if (c.group.zone_allocations) {
    auto allocated =
        apply_zone_allocations(variant, *c.group.zone_allocations, sources.base, sources.parsed);
    if (!allocated) return std::unexpected(allocated.error());
  }
  model_editing::finish_variant(variant, applied_keys);
  const fs::path result_dir = sources.output_dir / platform::path_from_utf8(result_directory_name(
                                                       sources.config_name, c.group.name, c.index));
  if (auto created = sources.files.create_directories(result_dir); !created) {
    return std::unexpected(created.error());
  }
  const fs::path file = result_dir / platform::path_from_utf8(variant_file_name(c.group.name));
  // Renamed into place: a rerun into the same output directory that fails while writing keeps
  // the earlier run's variant whole instead of leaving it cut short.
  std::string text = base_texts ? base_texts->write(variant) : json_text::to_pretty_json(variant);
  if (auto written = sources.files.replace(file, text); !written) {
    return std::unexpected(written.error());
  }
  return BuiltVariant{std::move(variant), std::move(text), result_dir, file};
}

}  // namespace

CombinationOutput::Record progress_record(BatchRecords& records, std::string model,
                                          common::BigCount current, common::BigCount total,
                                          double percentage, std::string status) {
  return [=, &records](std::ostream& out) {
    return records.progress(model, current, total, percentage, status, out);
  };
}

CombinationOutput::Record event_record(BatchRecords& records, std::string type, std::string message,
                                       const Combination& c) {
  return [=, &records, name = c.name, index = c.index, total = c.total](std::ostream&) {
    return records.event(type, message, LogPosition{name, index, total});
  };
}

common::Result<std::optional<BuiltVariant>> build_variant(const Combination& c,
                                                          const VariantSources& sources,
                                                          BatchRecords& records,
                                                          CombinationOutput& output) {
  const fs::path base_model =
      sources.base / "base_json" / platform::path_from_utf8(c.group.base_model_name + ".json");
  const auto base = sources.parsed.find(base_model);
  if (!base) return std::unexpected(base.error());
  if (!*base) {
    output.out() << "  ERROR: Base model '" << c.group.base_model_name
                 << ".json' not found. Skipping group.\n";
    auto written = output.record(progress_record(records, c.group.name, 0, c.total, 0.0,
                                                 "Base model not found - skipping group"));
    if (!written) return std::unexpected(written.error());
    return std::nullopt;
  }
  const auto base_texts = sources.parsed.texts(base_model, **base);
  Json variant = sources.parsed.take_copy(base_model, **base);
  std::vector<std::string> applied_keys;
  auto merged = apply_parameters(c, sources, records, variant, applied_keys, output);
  if (!merged) return std::unexpected(merged.error());
  if (*merged == Step::Skip) return std::nullopt;
  auto built =
      finish_and_write(c, sources, std::move(variant), applied_keys, base_texts.get(), output);
  if (!built) return std::unexpected(built.error());
  if (!sources.keeps_model) sources.parsed.give_back(base_model, **base, std::move(built->model));
  return std::move(*built);
}

}  // namespace native_runner
