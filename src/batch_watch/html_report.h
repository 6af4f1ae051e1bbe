#pragma once

#include <ostream>
#include <string>

#include "batch_watch/batch_summary.h"

namespace batch_watch {

// A self-contained HTML page (inline style, no script, nothing fetched): the totals, one cell per
// combination coloured by outcome and grouped by group, with the model name, outcome and
// duration as the cell's title, a histogram of simulation durations, and the table of errors.
// `generated_at` is shown as the time the page was made. Needs a summary with
// SummaryDetail::Cells; written out as it is made.
void write_html_report(const BatchSummary& summary, const std::string& generated_at,
                       std::ostream& out);
std::string render_html_report(const BatchSummary& summary, const std::string& generated_at);

// Text with &, <, >, " and ' replaced by character references.
std::string escape_html(std::string_view text);

}  // namespace batch_watch
