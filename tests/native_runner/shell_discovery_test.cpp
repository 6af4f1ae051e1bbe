#include "native_runner/shell_discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_process_runner.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

constexpr const char* kNotFound =
    "Git Bash not found. Please install Git for Windows to run batch simulations.\n\n"
    "Download from: https://git-scm.com/download/win";

enum class Lookup { kPrints, kFailsWithStatus1, kCannotStart };

// '@' in a row stands for the scratch directory, so "@place 1" is a file inside it. The fixed
// places are "@place 1" and "@place 2".
struct Case {
  const char* name;
  std::vector<std::string> existing;
  Lookup lookup;
  std::string lookup_output;
  std::string expected_program;  // empty when no shell is found
  bool lookup_expected;
};

std::string resolve(std::string text, const std::filesystem::path& dir) {
  const std::string prefix = (dir / "").string();
  for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + prefix.size())) {
    text.replace(at, 1, prefix);
  }
  return text;
}

TEST(ShellDiscovery, EveryBranchOfTheSearch) {
  const Case kCases[] = {
      {"first place",
       {"@place 1", "@place 2", "@path"},
       Lookup::kPrints,
       "@path\n",
       "@place 1",
       false},
      {"second place only", {"@place 2", "@path"}, Lookup::kPrints, "@path\n", "@place 2", false},
      {"look-up first line",
       {"@path", "@other"},
       Lookup::kPrints,
       "@path\r\n@other\r\n",
       "@path",
       true},
      {"look-up line trimmed", {"@path"}, Lookup::kPrints, "  @path \t\r\n", "@path", true},
      {"look-up output without line feed", {"@path"}, Lookup::kPrints, "@path", "@path", true},
      {"look-up first line missing, second exists",
       {"@other"},
       Lookup::kPrints,
       "@missing\n@other\n",
       "",
       true},
      {"look-up prints nothing", {}, Lookup::kPrints, "", "", true},
      {"look-up prints an empty first line", {"@path"}, Lookup::kPrints, "\n@path\n", "", true},
      {"look-up fails", {"@path"}, Lookup::kFailsWithStatus1, "@path\n", "", true},
      {"look-up cannot start", {"@path"}, Lookup::kCannotStart, "", "", true},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(row.name);
    test_support::TempDir dir;
    for (const std::string& file : row.existing) dir.write(resolve(file, dir.path()), "bash");

    const test_support::FakeProcessRunner processes(
        [&](const platform::ProcessRequest&) -> common::Result<platform::ProcessOutcome> {
          if (row.lookup == Lookup::kCannotStart) return common::fail("not started");
          const int status = row.lookup == Lookup::kPrints ? 0 : 1;
          return platform::ProcessOutcome{status, resolve(row.lookup_output, dir.path()), ""};
        });
    const ShellSearch search{{resolve("@place 1", dir.path()), resolve("@place 2", dir.path())},
                             platform::ProcessRequest{"which", {"bash"}}};
    auto found = locate_git_bash(search, system_files(), processes);
    // The look-up, when made, is the search's own request, unchanged.
    const auto requests = processes.requests();
    ASSERT_EQ(requests.size(), row.lookup_expected ? 1u : 0u);
    if (!requests.empty()) {
      EXPECT_EQ(requests[0].program, "which");
      EXPECT_EQ(requests[0].arguments, std::vector<std::string>{"bash"});
    }
    if (row.expected_program.empty()) {
      ASSERT_FALSE(found.has_value()) << found->program;
      EXPECT_EQ(found.error().message, kNotFound);
    } else {
      ASSERT_TRUE(found.has_value()) << found.error().message;
      EXPECT_EQ(found->program, resolve(row.expected_program, dir.path()));
      EXPECT_TRUE(found->args.empty());
    }
  }
}

TEST(ShellDiscovery, NoPlaceAndNoLookUpAnswerMeansNotFound) {
  const test_support::FakeProcessRunner processes(
      [](const platform::ProcessRequest&) -> common::Result<platform::ProcessOutcome> {
        return platform::ProcessOutcome{1, "", ""};
      });
  auto found = locate_git_bash(ShellSearch{{"/nonexistent/bash"}, {}}, system_files(), processes);
  ASSERT_FALSE(found.has_value());
  EXPECT_EQ(found.error().message, kNotFound);
}

}  // namespace
}  // namespace native_runner
