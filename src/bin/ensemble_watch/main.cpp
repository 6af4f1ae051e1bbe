// ensemble_watch: follows a batch through the records it writes into its output directory.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "batch_watch/batch_reader.h"
#include "batch_watch/html_report.h"
#include "batch_watch/record_time.h"
#include "batch_watch/live_view.h"
#include "batch_watch/summary_json.h"
#include "batch_watch/watch_options.h"
#include "common/program_version.h"
#include "common/utf8.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/terminal.h"

namespace {

using batch_watch::BatchSummary;

constexpr int kEndedClean = 0;
constexpr int kSomethingFailed = 1;
constexpr int kUsageOrReadError = 2;
constexpr int kNotEnded = 3;
constexpr int kInterrupted = 130;
constexpr auto kTick = std::chrono::milliseconds(500);
constexpr auto kPollStep = std::chrono::milliseconds(50);

int usage(const std::string& program, const std::string& problem) {
  std::cerr << "[ensemble_watch] " << problem << '\n' << batch_watch::watch_usage(program);
  return kUsageOrReadError;
}

std::int64_t seconds_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int exit_status(const BatchSummary& summary) {
  if (summary.anything_failed()) return kSomethingFailed;
  return summary.ended() ? kEndedClean : kNotEnded;
}

bool write_report(const batch_watch::WatchOptions& options, const BatchSummary& summary) {
  if (!options.report) return true;
  const std::string page = batch_watch::render_html_report(summary, batch_watch::format_record_time(seconds_now()));
  if (auto written = platform::replace_file(platform::path_from_utf8(*options.report), page);
      !written) {
    std::cerr << "[ensemble_watch] Cannot write report " << *options.report << ": "
              << written.error().message << '\n';
    return false;
  }
  return true;
}

// Prints what changed since the last read: for a terminal the whole view again in place, for
// anything else one status line per change and each new error once.
class Printer {
 public:
  Printer(bool live_terminal, bool colour) : live_(live_terminal), colour_(colour) {}

  void show(const BatchSummary& summary) {
    if (live_) {
      const int columns = platform::terminal_columns();
      const auto lines = batch_watch::render_live_view(
          summary, {.columns = columns > 0 ? columns : 80, .colour = colour_, .now = seconds_now()});
      if (shown_lines_ == 0) std::cout << batch_watch::kHideCursor;
      std::cout << batch_watch::redraw_frame(lines, shown_lines_) << std::flush;
      shown_lines_ = lines.size();
      return;
    }
    for (; errors_shown_ < summary.errors.size(); ++errors_shown_) {
      std::cout << batch_watch::render_error_line(summary.errors[errors_shown_]) << '\n';
    }
    const std::string line = batch_watch::render_status_line(summary);
    if (line != last_line_) std::cout << line << '\n';
    last_line_ = line;
    std::cout << std::flush;
  }

  void finish() {
    if (live_ && shown_lines_ > 0) std::cout << batch_watch::kShowCursor << std::flush;
  }

 private:
  bool live_;
  bool colour_;
  std::size_t shown_lines_ = 0;
  std::size_t errors_shown_ = 0;
  std::string last_line_;
};

bool wants_colour(bool terminal) {
  const char* no_colour = std::getenv("NO_COLOR");
  return terminal && (no_colour == nullptr || *no_colour == '\0');
}

int run_once(const batch_watch::WatchOptions& options, const std::filesystem::path& dir) {
  if (!platform::exists(dir)) {
    std::cerr << "[ensemble_watch] No such directory: " << options.output_dir << '\n';
    return kUsageOrReadError;
  }
  const BatchSummary summary = batch_watch::read_batch(dir, options.output_dir);
  if (summary.job_ids.empty()) {
    std::cerr << "[ensemble_watch] No batch records in " << options.output_dir << '\n';
    return kUsageOrReadError;
  }
  if (options.json) {
    std::cout << batch_watch::summary_to_json(summary) << std::flush;
  } else {
    const bool terminal = platform::stdout_is_terminal() && platform::enable_terminal_sequences();
    if (terminal) {
      const int columns = platform::terminal_columns();
      for (const std::string& line : batch_watch::render_live_view(
               summary, {.columns = columns > 0 ? columns : 80,
                         .colour = wants_colour(terminal),
                         .now = seconds_now()})) {
        std::cout << line << '\n';
      }
    } else {
      Printer(false, false).show(summary);
    }
  }
  if (!write_report(options, summary)) return kUsageOrReadError;
  return exit_status(summary);
}

// Waits one tick, or less when Ctrl+C comes.
bool sleep_one_tick() {
  for (auto waited = std::chrono::milliseconds(0); waited < kTick; waited += kPollStep) {
    if (platform::interrupt_requested()) return false;
    std::this_thread::sleep_for(kPollStep);
  }
  return !platform::interrupt_requested();
}

int run_live(const batch_watch::WatchOptions& options, const std::filesystem::path& dir) {
  platform::catch_interrupts();
  const bool terminal = platform::stdout_is_terminal() && platform::enable_terminal_sequences();
  Printer printer(terminal, wants_colour(terminal));
  batch_watch::EndConfirmation end;
  BatchSummary summary;
  bool interrupted = false;
  for (;;) {
    summary = batch_watch::read_batch(dir, options.output_dir);
    const bool over = end.confirm(summary);
    printer.show(summary);
    if (over) break;
    if (!sleep_one_tick()) {
      interrupted = true;
      break;
    }
  }
  printer.finish();
  const bool reported = write_report(options, summary);
  if (interrupted) return kInterrupted;
  return reported ? exit_status(summary) : kUsageOrReadError;
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepare_console();
  const std::vector<std::string> words = platform::command_line_words(argc, argv);
  const std::string program = words.empty() ? "ensemble_watch" : words[0];
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (!common::is_valid_utf8(words[i])) {
      return usage(program, "Command-line argument " + std::to_string(i) + " is not valid UTF-8");
    }
  }
  const auto options =
      batch_watch::parse_watch_options(std::vector<std::string>(words.begin() + 1, words.end()));
  if (!options) return usage(program, options.error().message);
  if (options->request == common::ProgramRequest::kHelp) {
    std::cout << batch_watch::watch_help(program);
    return kEndedClean;
  }
  if (options->request == common::ProgramRequest::kVersion) {
    std::cout << common::version_line("ensemble_watch");
    return kEndedClean;
  }
  const auto dir = platform::path_from_utf8(options->output_dir);
  return options->once ? run_once(*options, dir) : run_live(*options, dir);
}
