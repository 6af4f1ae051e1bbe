#include <gtest/gtest.h>

#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace test_support {
namespace {

TEST(ProgramRunnerTest, CapturesBothStreamsExitCodeAndArguments) {
  const ProgramRun run =
      run_program("/bin/sh", {"-c", "printf 'out:%s' \"$0\"; printf 'err' >&2; exit 3", "x y"});
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "out:x y");
  EXPECT_EQ(run.err, "err");
}

TEST(ProgramRunnerTest, RunsInTheGivenDirectoryWithEmptyInput) {
  TempDir dir;
  const ProgramRun run = run_program("/bin/sh", {"-c", "pwd -P; cat"}, dir.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::filesystem::canonical(dir.path()).string() + "\n");
}

TEST(ProgramRunnerTest, DrainsLargeOutputOnBothStreams) {
  const ProgramRun run =
      run_program("/bin/sh", {"-c", "head -c 200000 /dev/zero >&2; head -c 300000 /dev/zero"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out.size(), 300000u);
  EXPECT_EQ(run.err.size(), 200000u);
}

TEST(ProgramRunnerTest, ReportsKilledProgramAndMissingProgram) {
  EXPECT_EQ(run_program("/bin/sh", {"-c", "kill -9 $$"}).exit_code, -1);
  EXPECT_EQ(run_program("/nonexistent/program", {}).exit_code, -1);
}

}  // namespace
}  // namespace test_support
