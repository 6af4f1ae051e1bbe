#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch_watch/batch_summary.h"
#include "batch_watch/styled_line.h"

namespace batch_watch {

struct ViewStyle {
  int columns = 80;
  bool colour = false;
  std::int64_t now = 0;  // seconds since the epoch; how long the running models have run
};

// The compact view redrawn on a terminal: a title, the bar with done / total, the counts, the
// pace, the models running now and the last few errors. Every line fits in `columns - 1`.
std::vector<std::string> render_live_view(const BatchSummary& summary, const ViewStyle& style);

// The one line printed per change when standard output is not a terminal, e.g.
// "[running] 4/8 done (50%): succeeded 3, skipped 0, failed 1, running 1; 2.0/min, about 2:00 left".
std::string render_status_line(const BatchSummary& summary);

// Cursor sequences that hide and show the cursor while the view is redrawn.
inline constexpr const char* kHideCursor = "\x1b[?25l";
inline constexpr const char* kShowCursor = "\x1b[?25h";

// The text that overwrites the previous frame (`previous_lines` lines, 0 for the first) with
// `lines`: back to the frame's first line, each line cleared to its end, leftovers cleared below.
std::string redraw_frame(const std::vector<std::string>& lines, std::size_t previous_lines);

// "  SIMULATION_FAILED g_2 (native_test): Simulation failed: exit status 3"
std::string render_error_line(const ErrorEntry& error);

}  // namespace batch_watch
