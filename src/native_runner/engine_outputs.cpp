#include "native_runner/engine_outputs.h"

#include <string>

#include "native_runner/engine_runner.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

common::Error not_kept(const std::filesystem::path& path, const common::Error& error) {
  return common::Error("the engine's outputs could not be kept in '" + platform::path_text(path) +
                       "': " + error.message);
}

// Each matching file is moved on its own, into the folders it was in.
common::Result<void> move_matching(const Files& files, const std::filesystem::path& run_directory,
                                   const std::filesystem::path& outputs,
                                   const OutputSelection& selection) {
  if (auto made = files.create_directories(outputs); !made) {
    return std::unexpected(not_kept(outputs, made.error()));
  }
  auto left = files.files_below(run_directory);
  if (!left) return std::unexpected(not_kept(outputs, left.error()));
  for (const std::string& relative : *left) {
    if (relative == kModelFileName || !common::matches_any(selection.patterns, relative)) continue;
    const std::filesystem::path target = outputs / platform::path_from_utf8(relative);
    if (auto made = files.create_directories(target.parent_path()); !made) {
      return std::unexpected(not_kept(target.parent_path(), made.error()));
    }
    if (auto moved = files.move_tree(run_directory / platform::path_from_utf8(relative), target);
        !moved) {
      return std::unexpected(not_kept(target, moved.error()));
    }
  }
  return {};
}

common::Result<void> move_outputs(const Files& files, const std::filesystem::path& run_directory,
                                  const std::filesystem::path& outputs,
                                  const OutputSelection& selection) {
  if (!selection.everything) {
    if (selection.patterns.empty()) return {};
    return move_matching(files, run_directory, outputs, selection);
  }
  // The runner removes the model file after the engine; where that failed it is still not an
  // output.
  const std::filesystem::path model = run_directory / platform::path_from_utf8(kModelFileName);
  if (files.exists(model)) (void)files.remove(model);
  if (auto moved = files.move_tree(run_directory, outputs); !moved) {
    return std::unexpected(not_kept(outputs, moved.error()));
  }
  return {};
}

common::Result<void> write_stream(const Files& files, const std::filesystem::path& path,
                                  std::string_view bytes) {
  if (auto written = files.write(path, bytes); !written) {
    return std::unexpected(not_kept(path, written.error()));
  }
  return {};
}

}  // namespace

std::filesystem::path engine_folder(const std::filesystem::path& result_dir) {
  return result_dir / "engine";
}

common::Result<void> remove_engine_outputs(const Files& files,
                                           const std::filesystem::path& result_dir) {
  return files.remove_tree(engine_folder(result_dir));
}

common::Result<void> keep_engine_outputs(const Files& files,
                                         const std::filesystem::path& run_directory,
                                         const std::filesystem::path& result_dir,
                                         const EngineStreams& streams,
                                         const OutputSelection& selection) {
  const std::filesystem::path folder = engine_folder(result_dir);
  auto kept = [&]() -> common::Result<void> {
    if (auto made = files.create_directories(folder); !made) {
      return std::unexpected(not_kept(folder, made.error()));
    }
    if (auto moved = move_outputs(files, run_directory, folder / "outputs", selection); !moved) {
      return moved;
    }
    if (auto written = write_stream(files, folder / "stdout.txt", streams.standard_output);
        !written) {
      return written;
    }
    return write_stream(files, folder / "stderr.txt", streams.standard_error);
  }();
  if (!kept) (void)files.remove_tree(folder);
  return kept;
}

}  // namespace native_runner
