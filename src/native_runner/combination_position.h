#pragma once

#include "common/big_count.h"
#include "json/json.h"

namespace native_runner {

// How far through its group the combination at `index` of `total` is, in percent:
// (index + 1) / total * 100, as the progress snapshot gives it. Within 64 bits exactly as the
// batch has always computed it; beyond, from the nearest doubles.
double percentage_of(const common::BigCount& index, const common::BigCount& total);

// The index as a member of a record's additional data: a JSON number while 64 bits hold it. The
// documents of this system hold no wider integer, so beyond that it is its digits as a string.
json_text::Json index_json(const common::BigCount& index);

}  // namespace native_runner
