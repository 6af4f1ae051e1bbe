#include "native_runner/sample_options.h"

#include "common/whole_number.h"

namespace native_runner {

common::Result<void> read_sample_size(SampleWords& words, const common::OptionRow& row,
                                      std::string_view text) {
  const auto size = common::parse_whole_number(text);
  if (!size || *size == 0) return common::invalid_value(row, text);
  words.size = *size;
  return {};
}

common::Result<void> read_seed(SampleWords& words, const common::OptionRow& row,
                               std::string_view text) {
  const auto seed = common::parse_whole_number(text);
  if (!seed) return common::invalid_value(row, text);
  words.seed = *seed;
  words.seed_text = std::string(text);
  return {};
}

common::Result<void> read_sample_method(SampleWords& words, const common::OptionRow& row,
                                        std::string_view text) {
  const auto method = parse_sample_method(text);
  if (!method) return common::invalid_value(row, text);
  words.method = *method;
  words.method_text = std::string(text);
  return {};
}

common::Result<std::optional<SampleRequest>> sample_request(const SampleWords& words) {
  if (words.size) return SampleRequest{*words.size, words.seed, words.method};
  const auto alone = [](const common::OptionRow& row, const std::string& value) {
    return common::fail("Invalid value for " + std::string(row.name) + ": '" + value +
                        "' (expected only with --sample N)");
  };
  if (words.seed_text) return alone(kSeedRow, *words.seed_text);
  if (words.method_text) return alone(kSampleMethodRow, *words.method_text);
  return std::nullopt;
}

}  // namespace native_runner
