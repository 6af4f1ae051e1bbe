#pragma once

#include <string>

#include "study_table/study_collector.h"

namespace study_table {

// A self-contained HTML page (inline style and SVG, no script, nothing fetched): the status
// counts; for every metric a main-effects chart with one panel per parameter key, giving for
// each value of the key the mean of the metric over the succeeded rows that have it, whiskers
// from minimum to maximum and the row count; then the first rows of the table, the rest counted.
// `table` must have been collected for a report.
std::string render_study_report(const StudyTable& table);

}  // namespace study_table
