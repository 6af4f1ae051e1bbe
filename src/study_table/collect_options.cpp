#include "study_table/collect_options.h"

#include <algorithm>

namespace study_table {
namespace {

// One option of the command line; parsing, the error lines and --help all come from this table.
struct OptionSpec {
  std::string_view name;
  std::string_view value;  // the value's name in the help; empty for a switch
  std::string_view help;
  std::optional<std::string> CollectOptions::*text = nullptr;
  bool CollectOptions::*flag = nullptr;
};

const OptionSpec kOptions[] = {
    {"--metrics", "FILE", "the metrics to read from each succeeded run (a JSON file)",
     &CollectOptions::metrics},
    {"--output", "FILE.csv", "write the table here instead of {output_dir}/study_{config}.csv",
     &CollectOptions::output},
    {"--report", "FILE.html", "also write a self-contained HTML report with main-effects charts",
     &CollectOptions::report},
    {"--help", "", "print this help and exit", nullptr, &CollectOptions::help},
    {"--version", "", "print the version and exit", nullptr, &CollectOptions::version},
};

const OptionSpec* find_option(std::string_view name) {
  if (name == "-h") name = "--help";
  for (const OptionSpec& spec : kOptions) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

}  // namespace

common::Result<CollectOptions> parse_collect_options(const std::vector<std::string>& words) {
  CollectOptions options;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!word.starts_with("-") || word == "-") {
      paths.push_back(word);
      continue;
    }
    const std::size_t equals = word.find('=');
    const OptionSpec* spec = find_option(std::string_view(word).substr(0, equals));
    if (spec == nullptr) return common::fail("unknown option: " + word);
    if (spec->flag != nullptr) {
      if (equals != std::string::npos) return common::fail(std::string(spec->name) + " takes no value");
      options.*(spec->flag) = true;
      continue;
    }
    std::string value = equals != std::string::npos ? word.substr(equals + 1)
                        : i + 1 < words.size()      ? words[++i]
                                                    : std::string();
    if (value.empty()) {
      return common::fail(std::string(spec->name) + " needs a value (" + std::string(spec->value) + ")");
    }
    options.*(spec->text) = std::move(value);
  }
  if (options.help || options.version) return options;
  if (paths.size() < 2) return common::fail("missing <config_path> or <output_dir>");
  if (paths.size() > 2) return common::fail("unexpected argument: " + paths[2]);
  options.config_path = paths[0];
  options.output_dir = paths[1];
  if (options.config_path.empty() || options.output_dir.empty()) {
    return common::fail("empty path argument");
  }
  return options;
}

std::string collect_usage(std::string_view program) {
  std::string usage = "Usage: " + std::string(program);
  for (const OptionSpec& spec : kOptions) {
    if (spec.text != nullptr) {
      usage += " [" + std::string(spec.name) + " " + std::string(spec.value) + "]";
    }
  }
  usage += " <config_path> <output_dir>\n";
  for (const OptionSpec& spec : kOptions) {
    std::string left = std::string(spec.name) + (spec.value.empty() ? "" : " " + std::string(spec.value));
    if (spec.name == "--help") left = "-h, --help";
    left.resize(std::max<std::size_t>(left.size() + 2, 22), ' ');
    usage += "  " + left + std::string(spec.help) + "\n";
  }
  return usage;
}

}  // namespace study_table
