#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "json/json.h"

namespace model_editing {

// "zone_" + the name with spaces turned into underscores, unless that already begins with "zone_".
std::string zone_prefix(std::string_view zone_name);

// One entry of a group's "zone_allocations": the zone, the allocation key and the allocated name.
struct ZoneAllocation {
  std::string zone;
  std::string key;
  std::string name;
};

// The entries in the order they apply: zones and their keys in byte-wise order. A value names
// something when it is a non-empty string or an array whose first element is one; other values,
// zones that are not objects and allocations that are not an object give no entries.
std::vector<ZoneAllocation> list_zone_allocations(const json_text::Json& zone_allocations);

// The base-parameter folder whose "{name}.json" the allocation key reads; nothing for keys that
// use the allocated name alone and for keys that do nothing.
std::optional<std::string_view> allocation_folder(std::string_view key);

// Applies one allocation to the variant. `document` is the parsed allocation file for keys that
// have a folder and is not looked at otherwise. Fails, changing nothing, only for a
// "simplified_fabric" document that is not an object.
common::Result<void> apply_zone_allocation(json_text::Json& variant,
                                           const ZoneAllocation& allocation,
                                           json_text::Json document);

}  // namespace model_editing
