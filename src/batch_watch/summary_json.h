#pragma once

#include <ostream>
#include <string>

#include "batch_watch/batch_summary.h"

namespace batch_watch {

// The facts of the view as one pretty JSON document (members sorted), for scripts: state, job
// ids, counts, pace, running models, errors and every combination by group. Unknown numbers
// (no pace yet) are null. A sampled group ("sampled": true) lists the combinations records
// named and counts the rest as "unlisted_pending". Needs a summary with SummaryDetail::Cells; written as it is made,
// so a million combinations never sit in memory as text.
void write_summary_json(const BatchSummary& summary, std::ostream& out);

std::string summary_to_json(const BatchSummary& summary);

}  // namespace batch_watch
