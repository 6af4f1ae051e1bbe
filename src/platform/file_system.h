#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "platform/os_error.h"

// File access used by both programs. Every failure carries the operating system's description
// followed by its number, e.g. "No such file or directory (os error 2)".
namespace platform {

// Reads the whole file as bytes.
common::Result<std::string> read_file(const std::filesystem::path& path);

// Which file a path led to when it was opened: while a file exists, no other file on the system has
// the same numbers (device and inode on POSIX, volume serial and file index on Windows).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileTail {
  std::optional<FileIdentity> identity;  // none where the file system gives no stable number
  std::string bytes;                     // from the offset asked for to the end of the file
};

// Opens the file for reading only, as read_file does, and reads it from byte `offset` to its end,
// or `max_bytes` of it (nothing when the file is shorter). A watcher that keeps how far it has
// read can tell from the identity whether the path still names the file it was reading.
common::Result<FileTail> read_file_from(const std::filesystem::path& path, std::uint64_t offset,
                                        std::size_t max_bytes = SIZE_MAX);

// What a cheap look at a regular file tells about its contents without reading them: a file
// whose stamp is unchanged is taken to hold the same bytes. The change time and the identity
// (POSIX only; zero on Windows) also catch a rewrite that kept the size and put the old
// modification time back, and a file replaced by a rename.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  FileIdentity identity;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file that `path` leads to (links followed); none when there is
// nothing there, it is not a regular file, or the system cannot say.
std::optional<FileStamp> file_stamp(const std::filesystem::path& path);

// Creates or truncates the file and writes `contents` in place. Watchers may read the file while
// it is written (read, write and delete sharing on Windows).
common::Result<void> write_file(const std::filesystem::path& path, std::string_view contents);

// Creates the file, which must not exist yet, and writes `contents`. Fails when anything is
// already there, a symbolic link included, so a name planted by someone else is never written
// through. POSIX gives the file mode 0600; Windows shares it as write_file does.
common::Result<void> create_new_file(const std::filesystem::path& path, std::string_view contents);

// Writes `contents` to a temporary file beside `path` and renames it over `path`, so an existing
// file survives any failed write. The temporary file is removed on failure.
common::Result<void> replace_file(const std::filesystem::path& path, std::string_view contents);

// A file written in pieces that replaces `path` only once whole, for texts too large to hold at
// once: the pieces go to a temporary file beside it (made as replace_file makes its own), which
// commit() renames over `path`. Abandoned (destroyed before a commit), the temporary is removed
// and an existing file stays as it was.
class FileReplacement {
 public:
  static common::Result<FileReplacement> begin(const std::filesystem::path& path);

  common::Result<void> write(std::string_view piece);
  // Closes and renames; the object is done with either way.
  common::Result<void> commit();

 private:
  struct Open;  // the system's handle and the two paths
  static void abandon(Open* open);  // closes, removes the temporary, deletes
  explicit FileReplacement(Open* open) : open_(open, &abandon) {}
  std::unique_ptr<Open, void (*)(Open*)> open_;
};

// Opens the file in append mode (created when absent, never truncated), writes `contents` at the
// end in one call and closes it. Shared for reading, writing and deleting on Windows. When the
// write fails part-way, what it added is cut off again, so the file keeps whole lines.
common::Result<void> append_to_file(const std::filesystem::path& path, std::string_view contents);

// Creates the directory and every missing parent; an existing directory is success.
common::Result<void> create_directories(const std::filesystem::path& path);

// True when the path's text holds a NUL character. No file can be named so, and the system calls
// would read the text only up to it and reach another file; such paths exist nowhere and every
// attempt to create or open one fails with "Invalid argument".
bool contains_nul(const std::filesystem::path& path);

// The error for such a path: the system's "invalid argument" (POSIX) or "invalid name" (Windows).
common::Error nul_in_path_error();

// True when something (file, directory, ...) exists at `path`; false on any error.
bool exists(const std::filesystem::path& path);

// Deletes a file.
common::Result<void> remove_file(const std::filesystem::path& path);

// Deletes the directory and everything in it; symbolic links inside are removed, never followed.
// A path where nothing exists is success.
common::Result<void> remove_directory_tree(const std::filesystem::path& path);

// Moves the file or directory at `from`, with everything in it, to `to`, where nothing may exist
// yet and whose parent must. Renamed where the system can; across file systems or volumes
// (a temporary directory in memory or on C:, results on disk or on D:) it is copied, symbolic
// links as links, and the source is then deleted. When the move fails, whatever had been copied
// to `to` is removed again, so `to` holds the whole tree or nothing.
common::Result<void> move_tree(const std::filesystem::path& from, const std::filesystem::path& to);

// The copy half of move_tree: `from` copied to `to` (nothing there yet), links as links; on
// failure nothing of the copy stays.
common::Result<void> copy_tree(const std::filesystem::path& from, const std::filesystem::path& to);

// The path below `directory` of every entry in it that is not a directory (files and symbolic
// links, which are not followed), at any depth, with '/' between segments, in no set order.
common::Result<std::vector<std::string>> files_below(const std::filesystem::path& directory);

// The process's current working directory.
common::Result<std::filesystem::path> current_directory();

// The current user's directory for temporary files: on POSIX the first of TMPDIR, TMP, TEMP and
// TEMPDIR that is set, otherwise /tmp; on Windows what the system names. Fails, naming the
// directory and the reason, when that is missing or not a directory: nothing is put anywhere
// else in its place.
common::Result<std::filesystem::path> temp_directory();

// The directory temp_directory() checks, as the environment or the system names it.
std::filesystem::path named_temp_directory();

// A path from UTF-8 text (names from documents and the command line). Needed because a plain
// std::string converts through the C locale on Windows and loses non-ASCII characters.
std::filesystem::path path_from_utf8(std::string_view text);

// The path as UTF-8 text; characters that cannot be represented become U+FFFD.
std::string path_text(const std::filesystem::path& path);

}  // namespace platform
