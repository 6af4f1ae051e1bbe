// The live view, the status line, the JSON document and the HTML page of one summary.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "batch_watch/batch_summary.h"
#include "batch_watch/html_report.h"
#include "batch_watch/live_view.h"
#include "batch_watch/job_reader.h"
#include "batch_watch/record_time.h"
#include "batch_watch/summary_json.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "support/batch_records.h"

namespace batch_watch {
namespace {

using test_support::error;
using test_support::event;

// A simulation batch of group "g<&>" (5 combinations, a name that needs escaping in HTML)
// midway: two succeeded, one failed under keep-going, one running (its engine started at 55 s
// by the simulation snapshot), one pending.
BatchSummary midway() {
  NameTable names;
  const JobFold job = fold_job(
      "native_test", names,
      {.processing_log =
           event(0, "BATCH_START") + event(0, "MODEL_START", "g<&>_0", 0, 5) +
           event(10, "SIMULATION_SUCCESS", "g<&>_0", 0, 5) +
           event(10, "MODEL_START", "g<&>_1", 1, 5) + event(30, "MODEL_START", "g<&>_2", 2, 5) +
           event(50, "SIMULATION_SUCCESS", "g<&>_2", 2, 5) +
           event(50, "MODEL_START", "g<&>_3", 3, 5),
       .error_log = error(30, "SIMULATION_FAILED", "g<&>_1", 1, 5),
       .simulation_progress = test_support::sim_progress(55, "g<&>_3", "Starting simulation")});
  return summarize("out/sim", {&job}, names);
}

TEST(LiveView, ShowsBarCountsPaceRunningModelsAndErrors) {
  const BatchSummary summary = midway();
  const std::int64_t now = *parse_record_time(test_support::stamp(65));
  EXPECT_EQ(render_live_view(summary, {.columns = 60, .colour = false, .now = now}),
            (std::vector<std::string>{
                "ensemble_watch out/sim  running",
                "[############################...................] 3/5  60%",
                "succeeded 2  skipped 0  failed 1  running 1  ",
                "3.6/min  elapsed 50s  about 33s left",
                "running: g<&>_3 (10s)",
                "errors: 1",
                "  SIMULATION_FAILED g<&>_1: Simulation failed: exit \"3\"",
            }));
  // Narrow terminals cut every line short of the last column, colour or not.
  for (bool colour : {false, true}) {
    for (const std::string& line :
         render_live_view(summary, {.columns = 24, .colour = colour, .now = now})) {
      const std::string visible = std::regex_replace(line, std::regex("\x1b\\[[0-9;]*m"), "");
      EXPECT_LE(visible.size(), 23u) << line;
      EXPECT_EQ(colour, line != visible) << line;
    }
  }
  EXPECT_EQ(render_status_line(summary),
            "[running] 3/5 done (60%): succeeded 2, skipped 0, failed 1, running 1; 3.6/min, "
            "about 33s left");
}

TEST(LiveView, RedrawOverwritesThePreviousFrameInPlace) {
  EXPECT_EQ(redraw_frame({"a", "b"}, 0), "a\x1b[K\nb\x1b[K\n\x1b[J");
  EXPECT_EQ(redraw_frame({"c"}, 2), "\r\x1b[2Ac\x1b[K\n\x1b[J");
}

TEST(SummaryJson, HoldsTheSameFactsAsTheView) {
  const std::string text = summary_to_json(midway());
  const auto document = json_text::parse_json(text);
  ASSERT_TRUE(document.has_value());
  // Written piece by piece, yet laid out exactly as the document writer lays out the whole tree.
  EXPECT_EQ(text, json_text::to_pretty_json(*document) + "\n");
  const json_text::Json& d = *document;
  EXPECT_EQ(d["state"], "running");
  EXPECT_EQ(d["ended"], false);
  EXPECT_EQ(d["counts"], json_text::Json::parse(R"({"total":5,"done":3,"succeeded":2,
      "written":0,"resumed":0,"skipped":0,"failed":1,"running":1,"pending":1})"));
  EXPECT_EQ(d["running"], json_text::Json::parse(R"(["g<&>_3"])"));
  EXPECT_EQ(d["seconds_left"], 33);
  EXPECT_EQ(d["errors"][0]["error_code"], "SIMULATION_FAILED");
  std::vector<std::string> cells;
  for (const auto& c : d["groups"][0]["combinations"]) {
    cells.push_back(c["model_name"].get<std::string>() + ":" + c["outcome"].get<std::string>() +
                    ":" + c["duration_seconds"].dump());
  }
  EXPECT_EQ(cells, (std::vector<std::string>{"g<&>_0:succeeded:10", "g<&>_1:failed:20",
                                             "g<&>_2:succeeded:20", "g<&>_3:running:null",
                                             "g<&>_4:pending:null"}));
}

TEST(HtmlReport, IsSelfContainedWithOneTitledCellPerCombination) {
  const std::string page = render_html_report(midway(), "2026-12-06T11:00:00Z");
  std::vector<std::string> cells;
  const std::regex cell(R"re(<div class="cell (\w+)" title="([^"]*)"></div>)re");
  for (std::sregex_iterator it(page.begin(), page.end(), cell), end; it != end; ++it) {
    cells.push_back((*it)[1].str() + "|" + (*it)[2].str());
  }
  EXPECT_EQ(cells, (std::vector<std::string>{
                       "succeeded|g&lt;&amp;&gt;_0 - succeeded - 10s",
                       "failed|g&lt;&amp;&gt;_1 - failed - 20s",
                       "succeeded|g&lt;&amp;&gt;_2 - succeeded - 20s",
                       "running|g&lt;&amp;&gt;_3 - running", "pending|g&lt;&amp;&gt;_4 - pending"}));
  EXPECT_NE(page.find("<h2>g&lt;&amp;&gt; (3/5)</h2>"), std::string::npos);
  EXPECT_NE(page.find("<td>SIMULATION_FAILED</td><td>g&lt;&amp;&gt;_1</td>"
                      "<td>Simulation failed: exit &quot;3&quot;</td>"),
            std::string::npos);
  // Durations 10 s, 20 s and 20 s in 2-second bins: two bars filled, the others empty.
  EXPECT_EQ(std::regex_search(page, std::regex(R"(<rect class="bar"[^>]*height="0")")), true);
  EXPECT_NE(page.find("<title>10s-11s: 1 run(s)</title>"), std::string::npos);
  EXPECT_NE(page.find("<title>20s-21s: 2 run(s)</title>"), std::string::npos);
  for (const char* outside : {"<script", "http:", "https:", "src=", "@import", "url("}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }
}

// A sampled group lists the combinations its records named, by index (a wide one exactly), and
// counts the rest of the sample.
TEST(Views, ASampledGroupListsWhatItsRecordsNamedAndCountsTheRest) {
  NameTable names;
  const std::string wide = "12345678901234567890123";
  std::string wide_start = event(3, "MODEL_START", "h_" + wide);
  wide_start.replace(wide_start.find("\"combination_index\":0"), 21,
                     "\"combination_index\":" + wide);
  const JobFold job = fold_job(
      "native_test", names,
      {.processing_log = event(0, "BATCH_START") + event(0, "GROUP_SAMPLE", "h", 0, 4) +
                         event(1, "MODEL_START", "h_987654321098", 987654321098, 0) +
                         event(2, "JSON_ONLY_SKIP", "h_987654321098", 987654321098, 0) +
                         event(2, "MODEL_START", "h_5", 5, 0) +
                         event(3, "JSON_ONLY_SKIP", "h_5", 5, 0) + wide_start});
  const BatchSummary summary = summarize("out", {&job}, names);
  EXPECT_EQ(summary.counts.total, 4u);
  EXPECT_EQ(render_status_line(summary).substr(0, 30), "[running] 2/4 done (50%): writ");

  const std::string text = summary_to_json(summary);
  EXPECT_NE(text.find("\"index\": " + wide + ",\n"), std::string::npos) << text;
  const auto document = json_text::parse_json(text);
  ASSERT_TRUE(document.has_value());
  const json_text::Json& group = (*document)["groups"][0];
  EXPECT_EQ(group["sampled"], true);
  EXPECT_EQ(group["total"], 4);
  EXPECT_EQ(group["unlisted_pending"], 1);
  std::vector<std::string> listed;
  for (const auto& c : group["combinations"]) {
    listed.push_back(c["model_name"].get<std::string>() + ":" + c["outcome"].get<std::string>());
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"h_5:written", "h_987654321098:written",
                                              "h_" + wide + ":running"}));

  const std::string page = render_html_report(summary, "now");
  std::vector<std::string> cells;
  const std::regex cell(R"re(<div class="cell (\w+)" title="([^"]*)"></div>)re");
  for (std::sregex_iterator it(page.begin(), page.end(), cell), end; it != end; ++it) {
    cells.push_back((*it)[1].str() + "|" + (*it)[2].str());
  }
  EXPECT_EQ(cells, (std::vector<std::string>{"written|h_5 - written",
                                             "written|h_987654321098 - written",
                                             "running|h_" + wide + " - running"}));
  EXPECT_NE(page.find("<h2>h (2/4, sampled)</h2>"), std::string::npos);
  EXPECT_NE(page.find("and 1 more sampled combinations, pending"), std::string::npos);
}

}  // namespace
}  // namespace batch_watch
