#include "batch_watch/watch_options.h"

namespace batch_watch {

common::Result<WatchOptions> parse_watch_options(const std::vector<std::string>& words) {
  WatchOptions options;
  bool have_dir = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--once") {
      options.once = true;
    } else if (word == "--json") {
      options.json = true;
      options.once = true;
    } else if (word == "--report" || word.starts_with("--report=")) {
      std::string file = word == "--report" ? (i + 1 < words.size() ? words[++i] : "")
                                            : word.substr(9);
      if (file.empty()) return common::fail("--report needs a file name");
      options.report = std::move(file);
    } else if (word.starts_with("--")) {
      return common::fail("unknown option: " + word);
    } else if (have_dir) {
      return common::fail("more than one output directory: " + options.output_dir + " and " +
                          word);
    } else {
      options.output_dir = word;
      have_dir = true;
    }
  }
  if (!have_dir || options.output_dir.empty()) return common::fail("missing <output_dir>");
  return options;
}

}  // namespace batch_watch
