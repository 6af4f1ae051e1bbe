#pragma once

#include <string>

#include "batch_watch/batch_summary.h"

namespace batch_watch {

// The facts of the view as one pretty JSON document (members sorted), for scripts: state, job
// ids, counts, pace, running models, errors and every combination by group. Unknown numbers
// (no pace yet) are null.
std::string summary_to_json(const BatchSummary& summary);

}  // namespace batch_watch
