#pragma once

#include "json/json.h"

namespace model_editing {

using json_text::Json;

// The three parameter rules that restructure services rather than merge a section. Each one
// edits `model` in place, only reads `parameter`, and keeps whatever it changed before a missing
// or wrongly typed section made it stop.

// Copies "HotWaterMin", "HotWaterMax" and "hot_water_timer" from the parameter's "Control", then
// points every hot-water heat source's "Controlmin"/"Controlmax" at the first two.
void install_hot_water_controls(Json& model, const Json& parameter);

// Installs the parameter's "HeatSourceWet" entries, points every space heating system at the
// first of them (byte-wise smallest name) and gives every hot-water source a single heat source
// drawing on it.
void substitute_wet_heat_source(Json& model, const Json& parameter);

// Replaces the model's mechanical ventilation units by the parameter's first unit, kept under
// the name of the model's first unit and carrying that unit's "ductwork".
void substitute_ventilation_unit(Json& model, const Json& parameter);

}  // namespace model_editing
