// ensemble_watch: follows a batch through the records it writes into its output directory.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "batch_watch/batch_reader.h"
#include "batch_watch/html_report.h"
#include "batch_watch/record_time.h"
#include "batch_watch/live_view.h"
#include "batch_watch/new_errors.h"
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

// Hands the report to its file as it is made: a page of a million cells is never held whole. The
// first failure stops the writing.
class ReportBuffer : public std::streambuf {
 public:
  explicit ReportBuffer(platform::FileReplacement& file) : file_(file) {}
  common::Result<void> outcome() const { return outcome_; }

 protected:
  std::streamsize xsputn(const char* text, std::streamsize size) override {
    if (outcome_) outcome_ = file_.write(std::string_view(text, static_cast<std::size_t>(size)));
    return size;
  }
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char text = traits_type::to_char_type(c);
    xsputn(&text, 1);
    return c;
  }

 private:
  platform::FileReplacement& file_;
  common::Result<void> outcome_;
};

common::Result<void> write_report_file(const std::filesystem::path& path,
                                       const BatchSummary& summary) {
  auto file = platform::FileReplacement::begin(path);
  if (!file) return std::unexpected(file.error());
  ReportBuffer buffer(*file);
  std::ostream page(&buffer);
  batch_watch::write_html_report(summary, batch_watch::format_record_time(seconds_now()), page);
  if (!buffer.outcome()) return buffer.outcome();
  return file->commit();
}

bool write_report(const batch_watch::WatchOptions& options, const BatchSummary& summary) {
  if (!options.report) return true;
  if (auto written = write_report_file(platform::path_from_utf8(*options.report), summary);
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
    for (const batch_watch::ErrorEntry* error : new_errors_.take(summary.errors)) {
      std::cout << batch_watch::render_error_line(*error) << '\n';
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
  batch_watch::NewErrors new_errors_;
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
  batch_watch::BatchReader reader(dir, options.output_dir);
  const BatchSummary& summary = reader.read(options.json || options.report
                                                ? batch_watch::SummaryDetail::Cells
                                                : batch_watch::SummaryDetail::Counts);
  if (summary.job_ids.empty()) {
    std::cerr << "[ensemble_watch] No batch records in " << options.output_dir << '\n';
    return kUsageOrReadError;
  }
  if (options.json) {
    batch_watch::write_summary_json(summary, std::cout);
    std::cout << std::flush;
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
  batch_watch::BatchReader reader(dir, options.output_dir);
  bool interrupted = false;
  int status = kNotEnded;
  for (;;) {
    const BatchSummary& summary = reader.read();
    const bool over = end.confirm(summary);
    printer.show(summary);
    status = exit_status(summary);
    if (over) break;
    if (!sleep_one_tick()) {
      interrupted = true;
      break;
    }
  }
  printer.finish();
  // Only the report lists every combination; the ticks before it needed the counts alone.
  const bool reported =
      !options.report || write_report(options, reader.read(batch_watch::SummaryDetail::Cells));
  if (interrupted) return kInterrupted;
  return reported ? status : kUsageOrReadError;
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
