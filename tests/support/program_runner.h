#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct ProgramRun {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a built program with the given arguments (argv[0] is `program` itself unless
// `argv0` is set), empty standard input, and the given working directory (the test's own when
// empty); collects both streams.
ProgramRun run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::filesystem::path& working_dir = {},
                       const std::string& argv0 = {});

// Runs `program` through bash with the file size limit set to `kib` KiB and SIGXFSZ ignored, so
// writes beyond the limit fail with EFBIG instead of killing the process. Root ignores permission
// bits, so this is how a test makes a write fail, even part-way.
ProgramRun run_program_with_file_limit(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::filesystem::path& working_dir, int kib);

}  // namespace test_support
