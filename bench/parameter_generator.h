#pragma once

#include "json/json.h"

// Deterministic parameter documents matching the models of model_generator.h; `variant` picks
// one of many distinct but equally shaped documents.
namespace bench {

using json_text::Json;

// A fabric parameter file: every category plus both thermal bridge kinds.
Json make_fabric_parameters(int variant);
Json make_tariff(int variant);
Json make_heat_source_wet(int variant);
// Hot-water controls plus the per-zone setpoint and timer that "control" allocations read.
Json make_controls(int variant);
Json make_lighting(int variant);
Json make_heat_emitters(int variant);

// A group's "zone_allocations" for the first two zones of `zone_names`.
Json make_zone_allocations(const Json& zone_names);

}  // namespace bench
