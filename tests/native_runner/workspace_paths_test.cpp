#include "native_runner/workspace_paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace native_runner {
namespace {

struct DerivationRow {
  std::string config_path;
  std::string workspace;
  std::string base_params_dir;
};

TEST(WorkspacePaths, DerivesWorkspaceThreeLevelsAboveTheConfiguration) {
  const DerivationRow rows[] = {
#ifdef _WIN32
      {R"(C:\ws\input\configs\run1.json)", R"(C:\ws)", R"(C:\ws\input/batch_parameters)"},
      {R"(C:\input\configs\run1.json)", R"(C:\)", R"(C:\input/batch_parameters)"},
      {R"(a\b\run1.json)", "", "input/batch_parameters"},
      {R"(x\a\b\run1.json)", "x", R"(x\input/batch_parameters)"},
      {R"(C:\ws\input\configs\run1.json\)", R"(C:\ws)", R"(C:\ws\input/batch_parameters)"},
      {"my ws/input/configs/run 1.json", "my ws", R"(my ws\input/batch_parameters)"},
#else
      {"/ws/input/configs/run1.json", "/ws", "/ws/input/batch_parameters"},
      {"/deep/er/ws/input/configs/c.json", "/deep/er/ws", "/deep/er/ws/input/batch_parameters"},
      {"/input/configs/run1.json", "/", "/input/batch_parameters"},
      {"x/a/b/run1.json", "x", "x/input/batch_parameters"},
      {"../ws/input/configs/run1.json", "../ws", "../ws/input/batch_parameters"},
      {"./input/configs/run1.json", ".", "./input/batch_parameters"},
      // A trailing separator or a doubled one adds no level.
      {"/ws/input/configs/run1.json/", "/ws", "/ws/input/batch_parameters"},
      {"/ws//input/configs//run1.json", "/ws", "/ws/input/batch_parameters"},
      {"my ws/input/configs/run 1.json", "my ws", "my ws/input/batch_parameters"},
      // "." is no level of its own, and the workspace keeps the separators as written.
      {"x/a/b/./run1.json", "x", "x/input/batch_parameters"},
      {"x/./configs/run1.json", "", "input/batch_parameters"},
      {"ws/input/configs/run1.json/.", "ws", "ws/input/batch_parameters"},
      {"a//b/input/configs/c.json", "a//b", "a//b/input/batch_parameters"},
#endif
      {"a/b/run1.json", "", "input/batch_parameters"},
  };
  for (const DerivationRow& row : rows) {
    SCOPED_TRACE(row.config_path);
    const auto paths = derive_workspace_paths(row.config_path);
    ASSERT_TRUE(paths.has_value()) << paths.error().message;
    EXPECT_EQ(paths->workspace.string(), row.workspace);
    EXPECT_EQ(paths->base_params_dir.string(), row.base_params_dir);
    // The engine finds the workspace again two levels above the base-parameter directory.
    EXPECT_EQ(paths->base_params_dir.parent_path().parent_path(), paths->workspace);
  }
}

TEST(WorkspacePaths, RefusesPathsWithFewerThanThreeRemovableLevels) {
  const std::string rows[] = {
      "",       "cfg.json",         "--simulation",   "dir/cfg.json", "/a/cfg.json", "/",
      "a/b/",   R"(C:\a\cfg.json)", R"(C:\cfg.json)", "a/./cfg.json", "a/b/.",
#ifdef _WIN32
      R"(C:\)", R"(C:a\cfg.json)",
#endif
  };
  for (const std::string& config_path : rows) {
    SCOPED_TRACE(config_path);
    const auto paths = derive_workspace_paths(config_path);
    ASSERT_FALSE(paths.has_value());
    EXPECT_EQ(paths.error().message,
              "cannot derive the workspace from configuration path '" + config_path +
                  "': it needs three parent levels (workspace/input/configs/file)");
  }
}

TEST(WorkspacePaths, TwoLevelsAboveTheBaseParameterDirectory) {
  const struct {
    std::string base;
    std::optional<std::string> workspace;
  } rows[] = {
      {"a/b", ""},
      {"/a/b", "/"},
      {"ws/input/batch_parameters/", "ws"},
      // A root alone is no level: "/x" has one parent level, not two.
      {"/x", std::nullopt},
      {"b", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.base);
    const auto workspace = lexical_ancestor(row.base, 2);
    ASSERT_EQ(workspace.has_value(), row.workspace.has_value());
    if (workspace) {
      EXPECT_EQ(workspace->string(), *row.workspace);
    }
  }
}

}  // namespace
}  // namespace native_runner
