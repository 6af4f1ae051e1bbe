#include "study_table/effect_chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "batch_watch/html_report.h"

namespace study_table {
namespace {

using batch_watch::escape_html;

constexpr double kWidth = 380;
constexpr double kHeight = 260;
constexpr double kLeft = 64;    // room for the tick values and the metric's name
constexpr double kRight = 14;
constexpr double kTop = 30;     // the panel's title
constexpr double kBottom = 62;  // value names, row counts and the key's name
constexpr std::size_t kLabelLength = 16;

std::string shortened(std::string_view text, std::size_t length) {
  if (text.size() <= length) return std::string(text);
  // Cut on a character boundary so the label stays UTF-8.
  std::size_t cut = length - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "\xE2\x80\xA6";
}

// The end of a name, where names of a long numbered series differ ("…ric_042").
std::string name_end(std::string_view text, std::size_t length) {
  if (text.size() <= length) return std::string(text);
  std::size_t cut = text.size() - (length - 1);
  while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
  return "\xE2\x80\xA6" + std::string(text.substr(cut));
}

struct Scale {
  double low;
  double high;
  double y(double value) const {
    const double span = high - low;
    return kTop + (kHeight - kTop - kBottom) * (span == 0 ? 0.5 : (high - value) / span);
  }
};

std::string y_axis(const std::vector<double>& ticks, const Scale& scale, std::string_view metric) {
  std::string svg;
  for (const double tick : ticks) {
    const double y = scale.y(tick);
    svg += fmt::format("<line class=\"grid\" x1=\"{}\" y1=\"{:.1f}\" x2=\"{}\" y2=\"{:.1f}\"/>"
                       "<text x=\"{}\" y=\"{:.1f}\" text-anchor=\"end\">{}</text>\n",
                       kLeft, y, kWidth - kRight, y, kLeft - 6, y + 4, readable_number(tick));
  }
  svg += fmt::format("<line class=\"axis\" x1=\"{0}\" y1=\"{1}\" x2=\"{0}\" y2=\"{2}\"/>\n", kLeft,
                     kTop, kHeight - kBottom);
  svg += fmt::format("<text x=\"14\" y=\"{:.1f}\" text-anchor=\"middle\" transform=\"rotate(-90 14 "
                     "{:.1f})\">{}</text>\n",
                     (kTop + kHeight - kBottom) / 2, (kTop + kHeight - kBottom) / 2,
                     escape_html(metric));
  return svg;
}

// Beyond this many values per panel their names and numbers no longer fit: the marks get
// smaller, every few values are named and the row counts are summed up below the axis.
constexpr std::size_t kLabelledLevels = 12;
constexpr std::size_t kDenseNames = 5;

std::string level_mark(const EffectLevel& level, double x, const Scale& scale, bool dense) {
  const double top = scale.y(level.max);
  const double bottom = scale.y(level.min);
  const double mean = scale.y(level.mean());
  const double cap = dense ? 2 : 6;
  std::string svg = fmt::format(
      "<g class=\"level\"><title>{}: mean {}, min {}, max {}, {} rows</title>"
      "<line class=\"whisker\" x1=\"{x:.1f}\" y1=\"{t:.1f}\" x2=\"{x:.1f}\" y2=\"{b:.1f}\"/>"
      "<line class=\"whisker\" x1=\"{l:.1f}\" y1=\"{t:.1f}\" x2=\"{r:.1f}\" y2=\"{t:.1f}\"/>"
      "<line class=\"whisker\" x1=\"{l:.1f}\" y1=\"{b:.1f}\" x2=\"{r:.1f}\" y2=\"{b:.1f}\"/>"
      "<circle class=\"mean\" cx=\"{x:.1f}\" cy=\"{m:.1f}\" r=\"{radius}\"/>",
      escape_html(level.value), readable_number(level.mean()), readable_number(level.min),
      readable_number(level.max), level.rows, fmt::arg("x", x), fmt::arg("t", top),
      fmt::arg("b", bottom), fmt::arg("l", x - cap), fmt::arg("r", x + cap), fmt::arg("m", mean),
      fmt::arg("radius", dense ? 3 : 5));
  if (!dense) {
    // A mean at the top of the axis would put its number into the panel's title.
    const double label = mean - 6 < kTop + 6 ? mean + 16 : mean - 6;
    svg += fmt::format("<text x=\"{:.1f}\" y=\"{:.1f}\">{}</text>"
                       "<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">n={}</text>",
                       x + 8, label, readable_number(level.mean()), x, kHeight - kBottom + 30,
                       level.rows);
  }
  return svg + "</g>\n";
}

std::string level_marks(const std::vector<EffectLevel>& levels, const Scale& scale) {
  const bool dense = levels.size() > kLabelledLevels;
  const std::size_t named_every = dense ? (levels.size() + kDenseNames - 1) / kDenseNames : 1;
  const double slot = (kWidth - kLeft - kRight) / static_cast<double>(levels.size());
  std::string svg;
  std::uint64_t fewest = levels.front().rows, most = levels.front().rows;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const double x = kLeft + slot * (static_cast<double>(i) + 0.5);
    svg += level_mark(levels[i], x, scale, dense);
    if (i % named_every == 0) {
      svg += fmt::format("<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">{}</text>\n", x,
                         kHeight - kBottom + 16,
                         escape_html(dense ? name_end(levels[i].value, 8)
                                           : shortened(levels[i].value, kLabelLength)));
    }
    fewest = std::min(fewest, levels[i].rows);
    most = std::max(most, levels[i].rows);
  }
  if (dense) {
    svg += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">{} values, n={}</text>\n",
                       (kLeft + kWidth - kRight) / 2, kHeight - kBottom + 30, levels.size(),
                       fewest == most ? std::to_string(most)
                                      : std::to_string(fewest) + "-" + std::to_string(most));
  }
  return svg;
}

double nice_step(double rough) {
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10.0 * power;
}

}  // namespace

std::vector<double> axis_ticks(double low, double high) {
  if (!(high > low)) {
    const double pad = low == 0 ? 1.0 : std::abs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  const double step = nice_step((high - low) / 5.0);
  std::vector<double> ticks;
  for (double tick = std::floor(low / step) * step; tick <= high + step * 0.5 && ticks.size() < 12;
       tick += step) {
    // Sums of steps drift (0.30000000000000004); ticks are rounded to the step's precision.
    ticks.push_back(std::round(tick / step) * step);
  }
  if (ticks.back() < high) ticks.push_back(ticks.back() + step);
  return ticks;
}

std::string readable_number(double value) {
  const double size = std::abs(value);
  if (size != 0 && (size >= 1e9 || size < 1e-3)) return fmt::format("{:.3g}", value);
  const int digits = size < 1 ? 4 : std::max(0, 3 - static_cast<int>(std::floor(std::log10(size))));
  std::string text = fmt::format("{:.{}f}", value, digits);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string render_effect_chart(std::string_view metric, std::string_view key,
                                const std::vector<EffectLevel>& levels) {
  std::string svg = fmt::format(
      "<svg class=\"effect\" data-metric=\"{}\" data-key=\"{}\" width=\"{}\" height=\"{}\" "
      "viewBox=\"0 0 {} {}\" role=\"img\">\n"
      "<text class=\"title\" x=\"{}\" y=\"18\" text-anchor=\"middle\">{} by {}</text>\n",
      escape_html(metric), escape_html(key), kWidth, kHeight, kWidth, kHeight, kWidth / 2,
      escape_html(metric), escape_html(key));
  if (levels.empty()) {
    svg += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">no succeeded rows with a "
                       "number</text>\n",
                       kWidth / 2, kHeight / 2);
  } else {
    double low = levels.front().min;
    double high = levels.front().max;
    for (const EffectLevel& level : levels) {
      low = std::min(low, level.min);
      high = std::max(high, level.max);
    }
    const auto ticks = axis_ticks(low, high);
    const Scale scale{ticks.front(), ticks.back()};
    svg += y_axis(ticks, scale, metric);
    svg += fmt::format("<line class=\"axis\" x1=\"{0}\" y1=\"{1}\" x2=\"{2}\" y2=\"{1}\"/>\n", kLeft,
                       kHeight - kBottom, kWidth - kRight);
    svg += level_marks(levels, scale);
  }
  svg += fmt::format("<text x=\"{}\" y=\"{}\" text-anchor=\"middle\">{}</text>\n</svg>\n",
                     (kLeft + kWidth - kRight) / 2, kHeight - 6, escape_html(key));
  return svg;
}

}  // namespace study_table
