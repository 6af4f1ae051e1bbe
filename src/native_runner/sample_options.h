#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "common/option_table.h"
#include "native_runner/combination_sample.h"

namespace native_runner {

// --sample, --seed and --sample-method as a command line gives them. The batch runner and the
// study table read the same three rows, so one configuration and one set of words name the same
// combinations in both programs.
struct SampleWords {
  std::optional<std::uint64_t> size;
  // The values as typed, for the line that refuses them without --sample.
  std::optional<std::string> seed_text;
  std::optional<std::string> method_text;
  std::uint64_t seed = 1;
  SampleMethod method = SampleMethod::Random;

  friend bool operator==(const SampleWords&, const SampleWords&) = default;
};

inline constexpr common::OptionRow kSampleRow{
    "--sample", common::OptionValue::kOne, "N",
    "in a group of more than N combinations, only N of them, chosen from the seed (each keeps "
    "its index, name and result directory)",
    "a whole number of at least 1"};
inline constexpr common::OptionRow kSeedRow{
    "--seed", common::OptionValue::kOne, "S",
    "with --sample: the seed the sample is chosen from (default 1)", "a whole number"};
inline constexpr common::OptionRow kSampleMethodRow{
    "--sample-method", common::OptionValue::kOne, "METHOD",
    "with --sample: random (default: every set of N equally likely) or balanced (every value of "
    "every list about equally often)",
    "random or balanced"};

// Each reads its option's value into `words`, or refuses it with the option table's line.
common::Result<void> read_sample_size(SampleWords& words, const common::OptionRow& row,
                                      std::string_view text);
common::Result<void> read_seed(SampleWords& words, const common::OptionRow& row,
                               std::string_view text);
common::Result<void> read_sample_method(SampleWords& words, const common::OptionRow& row,
                                        std::string_view text);

// The sample the words ask for, or none without --sample. A seed or method given without
// --sample is refused: it would change nothing, and the user meant something by it.
common::Result<std::optional<SampleRequest>> sample_request(const SampleWords& words);

}  // namespace native_runner
