// The study report as a browser shows it, and the command line around the table: headless
// Chromium lays the page out and dumps the DOM it built; a screenshot's colours are counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/sha256.h"
#include "native_runner/simulation_outcome.h"
#include "support/png_pixels.h"
#include "support/program_runner.h"
#include "support/temp_dir.h"
#include "support/tmux_session.h"

namespace {

const std::string kCollect = ENSEMBLE_COLLECT_BINARY;

using test_support::count_of;
using test_support::pixels_near;

// Group g, walls a/b/c by pump x/y: six succeeded runs whose heat demand grows with the wall
// and whose peak depends on the pump.
void write_study(const test_support::TempDir& dir) {
  dir.write("ws/input/configs/s.json",
            R"({"g": {"base_json": ["house"], "walls": ["a", "b", "c"], "pump": ["x", "y"]}})");
  for (int i = 0; i < 6; ++i) {
    const std::string model = "g_" + std::to_string(i);
    const std::string result = "out/result_s_" + model + "/";
    const std::string variant = "variant " + model;
    dir.write(result + "g.json", variant);
    dir.write(result + "simulation_outcome.json",
              native_runner::render_outcome(
                  native_runner::describe_simulation("s", model, variant, "w.epw", "", {}),
                  {"2026-12-06T10:00:00Z"}));
    const int pump = i / 3, wall = i % 3;  // pump varies slowest: its key sorts first
    dir.write(result + "engine/outputs/run__summary.csv",
              "Totals\n,Total\nSpace heat demand," + std::to_string(1000 + 500 * wall + 10 * i) +
                  "\n");
    dir.write(result + "engine/outputs/out/summary.json",
              R"({"peak": {"value": )" + std::to_string(2.5 + pump) + "}}");
  }
  dir.write("metrics.json", R"({"metrics": [
    {"name": "heat_demand", "file": "*__summary.csv", "row": "Space heat demand", "column": "Total"},
    {"name": "peak_kw", "file": "out/summary.json", "pointer": "/peak/value"}]})");
}

TEST(EnsembleCollectReport, ChromiumShowsOneChartPerMetricAndKeyAndTheTable) {
  if (!test_support::have_program("chromium")) GTEST_SKIP() << "chromium is not installed";
  test_support::TempDir dir;
  write_study(dir);
  const auto run = test_support::run_program(
      kCollect, {"--metrics", "metrics.json", "--report", "report.html", "ws/input/configs/s.json",
                 "out"},
      dir.path());
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "[ensemble_collect] Wrote 6 rows (6 succeeded, 0 failed, 0 stale, 0 written, 0 not "
            "run) to out/study_s.csv\n[ensemble_collect] Wrote report to report.html\n");
  const std::string page = dir.read("report.html");
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http"), std::string::npos);  // nothing fetched

  const std::string url = "file://" + dir.path().string() + "/report.html";
  const std::string flags =
      "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1300,1000 ";
  const std::string dom = test_support::shell_output(flags + "--dump-dom '" + url + "' 2>/dev/null");
  ASSERT_NE(dom.find("</html>"), std::string::npos) << "no DOM from chromium";
  EXPECT_EQ(count_of(dom, "<svg class=\"effect\""), 4);
  for (const char* chart : {"data-metric=\"heat_demand\" data-key=\"pump\"",
                            "data-metric=\"heat_demand\" data-key=\"walls\"",
                            "data-metric=\"peak_kw\" data-key=\"pump\"",
                            "data-metric=\"peak_kw\" data-key=\"walls\""}) {
    EXPECT_EQ(count_of(dom, chart), 1) << chart;
  }
  // heat_demand by walls: wall a has rows 0 and 3 (1000 and 1030).
  EXPECT_NE(dom.find("<title>a: mean 1015, min 1000, max 1030, 2 rows</title>"), std::string::npos);
  EXPECT_EQ(count_of(dom, "<circle class=\"mean\""), 2 * (2 + 3));
  EXPECT_EQ(count_of(dom, ">n=3</text>"), 4);  // the pump panels
  EXPECT_NE(dom.find("<th class=\"succeeded\">succeeded</th><td>6</td>"), std::string::npos);
  EXPECT_EQ(count_of(dom, "<td>succeeded</td>"), 6);  // the rows table

  const std::string shot = dir.path().string() + "/report.png";
  std::system((flags + "--screenshot='" + shot + "' '" + url + "' > /dev/null 2>&1").c_str());
  const auto image = test_support::read_png(shot);
  ASSERT_TRUE(image.has_value()) << "no readable screenshot at " << shot;
  EXPECT_EQ(image->width, 1300u);
  // The means are dots of radius 5 and the whiskers 2 px lines; the first row of panels shows.
  EXPECT_GE(pixels_near(*image, {0xd9, 0x48, 0x0f}), 4 * 50) << "mean dots";
  EXPECT_GE(pixels_near(*image, {0x1f, 0x5f, 0xa8}), 200) << "whiskers";
}

TEST(EnsembleCollect, ABadMetricsFileWritesNothingAndKeepsTheOldTable) {
  test_support::TempDir dir;
  write_study(dir);
  const std::vector<std::string> paths = {"ws/input/configs/s.json", "out"};
  ASSERT_EQ(test_support::run_program(kCollect, paths, dir.path()).exit_code, 0);
  const std::string table = dir.read("out/study_s.csv");
  dir.write("bad.json", R"({"metrics": [{"name": "p", "file": "a.csv", "column": 1, "reduce": "avg"}]})");
  const struct {
    std::vector<std::string> args;
    std::string err;  // the first line
  } rows[] = {
      {{"--metrics", "bad.json", "--report", "r.html"},
       "[ensemble_collect] Metrics file bad.json: metric \"p\": unknown \"reduce\" \"avg\" (sum, "
       "mean, min, max, first, last or count)"},
      {{"--metrics", "none.json"},
       "[ensemble_collect] Cannot read metrics file none.json: No such file or directory (os "
       "error 2)"},
      {{"--bogus"}, "[ensemble_collect] unknown option: --bogus"},
      {{"--output="}, "[ensemble_collect] --output needs a file name"},
      {{"--sample", "0"},
       "[ensemble_collect] Invalid value for --sample: '0' (expected a whole number of at least "
       "1)"},
      {{"--seed=2"}, "[ensemble_collect] Invalid value for --seed: '2' (expected only with "
                     "--sample N)"},
      {{"--sample=2", "--sample-method", "x"},
       "[ensemble_collect] Invalid value for --sample-method: 'x' (expected random or balanced)"},
  };
  for (const auto& row : rows) {
    auto args = paths;
    args.insert(args.begin(), row.args.begin(), row.args.end());
    const auto run = test_support::run_program(kCollect, args, dir.path());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(dir.read("out/study_s.csv"), table);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "r.html"));
  EXPECT_EQ(dir.file_names_containing("tmp"), std::vector<std::string>{});
}

}  // namespace
