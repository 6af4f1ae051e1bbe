#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "study_table/main_effects.h"

namespace study_table {

// One panel of a main-effects chart as inline SVG (class "effect", with data-metric and
// data-key naming what it shows): the key's values along the bottom, the metric up the side
// with round tick values, and per value a whisker from minimum to maximum, a dot at the mean
// with its number, and the row count.
std::string render_effect_chart(std::string_view metric, std::string_view key,
                                const std::vector<EffectLevel>& levels);

// Round tick values covering [low, high]: steps of 1, 2 or 5 times a power of ten, four to
// eight of them.
std::vector<double> axis_ticks(double low, double high);

// A number as a person reads it: at most four significant digits after the point, thousands
// apart from the exponent form used only beyond a billion or below a thousandth.
std::string readable_number(double value);

}  // namespace study_table
