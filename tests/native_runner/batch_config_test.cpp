#include "native_runner/batch_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace native_runner {
namespace {

std::vector<std::vector<std::string>> as_strings(const std::vector<std::vector<Json>>& combos) {
  std::vector<std::vector<std::string>> result;
  for (const auto& combo : combos) {
    std::vector<std::string> row;
    for (const Json& value : combo) row.push_back(value.get<std::string>());
    result.push_back(row);
  }
  return result;
}

std::vector<std::vector<std::string>> walk(const std::vector<ParameterList>& lists) {
  std::vector<std::vector<std::string>> result;
  CombinationOdometer odometer(lists);
  if (!odometer.has_current()) return result;
  do {
    std::vector<std::string> row;
    for (std::string_view value : odometer.current()) row.emplace_back(value);
    result.push_back(row);
  } while (odometer.advance());
  EXPECT_FALSE(odometer.has_current());
  EXPECT_FALSE(odometer.advance());
  return result;
}

std::vector<std::vector<Json>> as_json_lists(const std::vector<ParameterList>& lists) {
  std::vector<std::vector<Json>> result;
  for (const auto& list : lists) result.emplace_back(list.values.begin(), list.values.end());
  return result;
}

TEST(BatchConfigCombinations, EagerAndLazyEnumerationAgree) {
  using Rows = std::vector<std::vector<std::string>>;
  const struct {
    const char* name;
    std::vector<ParameterList> lists;
    Rows expected;
  } cases[] = {
      {"two lists, first slowest",
       {{"fabric", {"f1", "f2"}}, {"tariff", {"t1", "t2", "t3"}}},
       {{"f1", "t1"}, {"f1", "t2"}, {"f1", "t3"}, {"f2", "t1"}, {"f2", "t2"}, {"f2", "t3"}}},
      {"no lists give one empty combination", {}, {{}}},
      {"an empty list gives none", {{"fabric", {"f1", "f2"}}, {"tariff", {}}}, {}},
      {"an empty first list gives none", {{"fabric", {}}, {"tariff", {"t1"}}}, {}},
      {"three lists carry across two wheels",
       {{"a", {"a1", "a2"}}, {"b", {"b1"}}, {"c", {"c1", "c2"}}},
       {{"a1", "b1", "c1"}, {"a1", "b1", "c2"}, {"a2", "b1", "c1"}, {"a2", "b1", "c2"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(as_strings(build_combinations(as_json_lists(c.lists))), c.expected);
    EXPECT_EQ(walk(c.lists), c.expected);
    EXPECT_EQ(count_combinations(c.lists), c.expected.size());
  }
}

TEST(BatchConfigCombinations, CountFailsBeyondSixtyFourBits) {
  std::vector<ParameterList> lists;
  for (int i = 0; i < 64; ++i) lists.push_back({"k" + std::to_string(i), {"x", "y"}});
  lists.push_back({"last", {"x", "y"}});
  auto count = count_combinations(lists);
  ASSERT_FALSE(count.has_value());
  EXPECT_TRUE(count.error().message.starts_with("the parameter lists \"k0\", \"k1\", "));
  EXPECT_TRUE(count.error().message.ends_with(
      ", \"last\" give more than 18446744073709551615 combinations"));

  lists.pop_back();
  lists.back().values = {"x"};  // 2^63 still fits
  EXPECT_EQ(count_combinations(lists), std::uint64_t{1} << 63);
  lists.push_back({"empty", {}});
  EXPECT_EQ(count_combinations(lists), 0u);
}

TEST(BatchConfigNames, DerivedNames) {
  EXPECT_EQ(model_name("North Wing", 12), "North Wing_12");
  EXPECT_EQ(result_directory_name("batch_a", "North Wing", 0), "result_batch_a_North Wing_0");
  EXPECT_EQ(variant_file_name("North Wing"), "North Wing.json");
}

TEST(BatchConfigNames, ConfigNameFromPath) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"batch_a.json", "batch_a"}, {"configs/batch.north.json", "batch.north"},
      {"dir/.hidden", ".hidden"},  {".hidden.json", ".hidden"},
      {"noext", "noext"},          {"/abs/path/My Batch.json", "My Batch"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(config_name_from_path(c.path), std::string(c.expected)) << c.path;
  }
}

TEST(BatchConfigNames, PathWithoutFileNameFails) {
  const struct {
    const char* path;
    const char* message;
  } cases[] = {
      {"dir/", "the configuration path 'dir/' has no file name"},
      {"", "the configuration path '' has no file name"},
      {"dir/..", "the configuration path 'dir/..' has no file name"},
#ifndef _WIN32
      {"dir/b\xff.json", "the configuration file name 'b\xef\xbf\xbd.json' is not valid Unicode"},
#endif
  };
  for (const auto& c : cases) {
    auto name = config_name_from_path(c.path);
    ASSERT_FALSE(name.has_value()) << c.path;
    EXPECT_EQ(name.error().message, c.message);
  }
}

TEST(BatchConfigGroups, OnlyObjectMembersAreGroupsInByteOrder) {
  const Json config = Json::parse(
      R"({"zeta": {}, "Alpha": {"base_json": ["b"]}, "note": "x", "list": [1], "mid": {}})");
  std::vector<std::string> names;
  for (const auto& [name, object] : group_members(config)) {
    names.push_back(name);
    EXPECT_EQ(object, &config.at(name));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "mid", "zeta"}));

  for (const char* text : {"[{}]", "\"text\"", "5", "null"}) {
    EXPECT_TRUE(group_members(Json::parse(text)).empty()) << text;
  }
}

TEST(BatchConfigGroups, ReadsBaseModelParametersAndAllocations) {
  const Json object = Json::parse(R"({
    "base_json": ["house", "ignored"],
    "weather_files": ["w1"],
    "zone_allocations": ["not", "an", "object"],
    "tariff": ["t1", "t2"],
    "Fabric": ["f1"],
    "notes": "not a list",
    "empty": []
  })");
  auto group = read_group("g1", object);
  ASSERT_TRUE(group.has_value()) << group.error().message;
  EXPECT_EQ(group->name, "g1");
  EXPECT_EQ(group->object, &object);
  EXPECT_EQ(group->base_model_name, "house");
  ASSERT_TRUE(group->zone_allocations.has_value());
  EXPECT_EQ(*group->zone_allocations, object.at("zone_allocations"));
  ASSERT_EQ(group->parameters.size(), 3u);
  EXPECT_EQ(group->parameters[0].key, "Fabric");
  EXPECT_EQ(group->parameters[0].values, (std::vector<std::string>{"f1"}));
  EXPECT_EQ(group->parameters[1].key, "empty");
  EXPECT_TRUE(group->parameters[1].values.empty());
  EXPECT_EQ(group->parameters[2].key, "tariff");
  EXPECT_EQ(group->parameters[2].values, (std::vector<std::string>{"t1", "t2"}));

  auto bare = read_group("g2", Json::parse(R"({"base_json": ["house"]})"));
  ASSERT_TRUE(bare.has_value());
  EXPECT_FALSE(bare->zone_allocations.has_value());
  EXPECT_TRUE(bare->parameters.empty());
}

TEST(BatchConfigGroups, MalformedGroupsAreRefused) {
  const std::string base_error =
      "group 'Main House': \"base_json\" must be an array whose first element is a string";
  const struct {
    const char* object;
    std::string message;
  } cases[] = {
      {R"({"tariff": ["t1"]})", base_error},
      {R"({"base_json": "house"})", base_error},
      {R"({"base_json": []})", base_error},
      {R"({"base_json": [3, "house"]})", base_error},
      {R"({"base_json": ["house"], "tariff": ["t1", 2]})",
       "group 'Main House': parameter list \"tariff\" must hold only strings"},
      {R"({"base_json": ["house"], "a": [null]})",
       "group 'Main House': parameter list \"a\" must hold only strings"},
  };
  for (const auto& c : cases) {
    auto group = read_group("Main House", Json::parse(c.object));
    ASSERT_FALSE(group.has_value()) << c.object;
    EXPECT_EQ(group.error().message, c.message);
  }
}

// A group's name is its variant's file name; "/etc/x" would have written /etc/x.json.
TEST(BatchConfigGroups, GroupNamesWithADirectoryPartAreRefused) {
  const Json object = Json::parse(R"({"base_json": ["house"]})");
  for (const char* name : {"a/b", "/etc/x", "/", "north/", "../x"}) {
    auto group = read_group(name, object);
    ASSERT_FALSE(group.has_value()) << name;
    EXPECT_EQ(group.error().message,
              "group '" + std::string(name) +
                  "': the name must be a plain file name, without a directory or drive part");
  }
  for (const char* name : {"", ".", "..", "a b", "G \"\u00fc\" 1", "x.y"}) {
    EXPECT_TRUE(read_group(name, object).has_value()) << name;
  }
}

}  // namespace
}  // namespace native_runner
