#pragma once

#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"

namespace native_runner {

// Where the console lines and records of one combination go. Built in order, they go out at
// once. Built on a worker thread, they are kept, each record in its place among the lines, for
// the main thread to replay in combination order: the transcript, the snapshots and the logs
// then come out as if the combinations had been built one after another.
class CombinationOutput {
 public:
  // Writes a record; prints to the stream it is given.
  using Record = std::function<common::Result<void>(std::ostream&)>;

  // Lines go to `console` at once; without one they are kept for replay().
  explicit CombinationOutput(std::ostream* console) : console_(console) {}

  std::ostream& out() { return console_ ? *console_ : held_; }

  // Writes the record now, or keeps it for replay(); a kept record succeeds for now.
  common::Result<void> record(Record write) {
    if (console_) return write(*console_);
    steps_.emplace_back(held_.str(), std::move(write));
    held_.str("");
    return {};
  }

  // Prints the kept lines and writes the kept records in their order; stops at the first
  // record that fails, as the combination would have.
  common::Result<void> replay(std::ostream& out) {
    for (auto& [lines, write] : steps_) {
      out << lines;
      if (auto written = write(out); !written) return written;
    }
    out << held_.str();
    return {};
  }

 private:
  std::ostream* console_;
  std::ostringstream held_;
  std::vector<std::pair<std::string, Record>> steps_;
};

}  // namespace native_runner
