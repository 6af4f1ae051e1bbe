// The HTML report as a browser shows it: headless Chromium lays it out, dumps the DOM it built
// and takes a screenshot whose colours are counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "bin/ensemble_watch_e2e_support.h"
#include "support/batch_records.h"
#include "support/png_pixels.h"
#include "support/tmux_session.h"

namespace watch_e2e {
namespace {

using test_support::error;
using test_support::event;
using test_support::count_of;
using test_support::pixels_near;

TEST(EnsembleWatchReport, ChromiumShowsTheColouredCellsTotalsHistogramAndErrors) {
  const char* browser = test_support::have_program("chromium") ? "chromium" : nullptr;
  if (browser == nullptr) GTEST_SKIP() << "chromium is not installed";
  probe_e2e::ProbeWorkspace ws;
  // Group g: 12 combinations, 8 succeeded, 2 failed (keep-going), 2 never reached.
  std::string log = event(0, "BATCH_START");
  std::string errors;
  for (int i = 0; i < 10; ++i) {
    const std::string model = "g_" + std::to_string(i);
    log += event(i * 10, "MODEL_START", model, i, 12);
    if (i == 3 || i == 7) {
      errors += error(i * 10 + 5 + i, "SIMULATION_FAILED", model, i, 12);
    } else {
      log += event(i * 10 + 5 + i, "SIMULATION_SUCCESS", model, i, 12);
    }
  }
  ws.file("out/logs/processing/batch_processing_native_test.log", log + event(120, "BATCH_COMPLETE"));
  ws.file("out/logs/errors/batch_errors_native_test.jsonl", errors);
  const auto run =
      test_support::run_program(kWatch, {"--once", "--report", "report.html", "out"}, ws.root());
  ASSERT_EQ(run.exit_code, 1) << run.err;

  const std::string url = "file://" + ws.cwd() + "/report.html";
  const std::string flags = std::string(browser) +
                            " --headless --no-sandbox --disable-gpu --hide-scrollbars"
                            " --window-size=1200,900 ";
  const std::string dom = test_support::shell_output(flags + "--dump-dom '" + url + "' 2>/dev/null");
  ASSERT_NE(dom.find("</html>"), std::string::npos) << "no DOM from chromium";
  EXPECT_EQ(count_of(dom, "class=\"cell succeeded\""), 8);
  EXPECT_EQ(count_of(dom, "class=\"cell failed\""), 2);
  EXPECT_EQ(count_of(dom, "class=\"cell pending\""), 2);
  EXPECT_NE(dom.find("title=\"g_3 - failed - 8s\""), std::string::npos);
  EXPECT_NE(dom.find("<h2>g (10/12)</h2>"), std::string::npos);
  EXPECT_EQ(count_of(dom, "<rect class=\"bar\""), 10);
  EXPECT_EQ(count_of(dom, "<td>SIMULATION_FAILED</td>"), 2);
  EXPECT_NE(dom.find("<th>failed</th><td>2</td>"), std::string::npos);

  const std::string shot = ws.cwd() + "/report.png";
  std::system((flags + "--screenshot='" + shot + "' '" + url + "' > /dev/null 2>&1").c_str());
  const auto image = test_support::read_png(shot);
  ASSERT_TRUE(image.has_value()) << "no readable screenshot at " << shot;
  EXPECT_EQ(image->width, 1200u);
  EXPECT_EQ(image->height, 900u);
  // Cells are 18 px squares: 8 green and 2 red ones, most of each cell's pixels exact.
  const long cell = 18 * 18;
  EXPECT_GE(pixels_near(*image, {0x2e, 0x9e, 0x44}), 8 * cell * 8 / 10);
  EXPECT_GE(pixels_near(*image, {0xd0, 0x31, 0x2d}), 2 * cell * 8 / 10);
  EXPECT_GE(pixels_near(*image, {0x6c, 0x5f, 0xb5}), 200) << "histogram bars";
}

}  // namespace
}  // namespace watch_e2e
