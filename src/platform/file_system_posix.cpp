#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/file_system.h"

namespace platform {

namespace {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  int get() const { return fd_; }
  // Closes now and reports a failure (a delayed write error surfaces here on some systems).
  bool close_checked() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

common::Result<FileDescriptor> open_file(const std::filesystem::path& path, int flags,
                                         mode_t mode = 0666) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::unexpected(os_error(errno));
  return common::Result<FileDescriptor>(std::in_place, fd);
}

constexpr std::size_t kReadChunk = 1 << 16;

// Grows the string to `size` bytes whose contents are about to be overwritten, without filling
// them first where the library allows it.
void resize_for_overwrite(std::string& text, std::size_t size) {
#if defined(__cpp_lib_string_resize_and_overwrite)
  // The size asked for, not the one passed in: libstdc++ 12 passes the grown capacity.
  text.resize_and_overwrite(size, [size](char*, std::size_t) { return size; });
#else
  text.resize(size);
#endif
}

common::Result<void> write_all(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(os_error(errno));
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

common::Result<void> write_and_close(const std::filesystem::path& path, int flags,
                                     std::string_view contents, mode_t mode = 0666) {
  auto file = open_file(path, flags, mode);
  if (!file) return std::unexpected(file.error());
  if (auto written = write_all(file->get(), contents); !written) return written;
  if (!file->close_checked()) return std::unexpected(os_error(errno));
  return {};
}

// A name beside `path` that no other write, in this process or another, uses at the same time.
std::filesystem::path temporary_beside(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  auto temporary = path;
  temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return temporary;
}

}  // namespace

common::Error nul_in_path_error() { return os_error(EINVAL); }

common::Result<std::string> read_file(const std::filesystem::path& path) {
  auto file = open_file(path, O_RDONLY);
  if (!file) return std::unexpected(file.error());
  // Read straight into the string, sized from the file plus one byte so that the second read
  // already reports the end; a file that grows meanwhile is still read whole.
  struct stat info {};
  std::size_t capacity = kReadChunk;
  if (::fstat(file->get(), &info) == 0 && info.st_size > 0) {
    capacity = static_cast<std::size_t>(info.st_size) + 1;
  }
  std::string contents;
  std::size_t used = 0;
  while (true) {
    if (used == contents.size()) resize_for_overwrite(contents, used == 0 ? capacity : 2 * used);
    const ssize_t got = ::read(file->get(), contents.data() + used, contents.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(os_error(errno));
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  contents.resize(used);
  return contents;
}

std::optional<FileStamp> file_stamp(const std::filesystem::path& path) {
  if (contains_nul(path)) return std::nullopt;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const auto nanoseconds = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  return FileStamp{static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0)),
                   nanoseconds(info.st_mtim), nanoseconds(info.st_ctim),
                   FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                                static_cast<std::uint64_t>(info.st_ino)}};
}

common::Result<FileTail> read_file_from(const std::filesystem::path& path, std::uint64_t offset,
                                        std::size_t max_bytes) {
  auto file = open_file(path, O_RDONLY);
  if (!file) return std::unexpected(file.error());
  struct stat info {};
  if (::fstat(file->get(), &info) != 0) return std::unexpected(os_error(errno));
  FileTail tail;
  tail.identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                               static_cast<std::uint64_t>(info.st_ino)};
  const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
  // Sized from what the file holds now, plus one byte so that the second read already reports
  // the end; what is appended meanwhile is still read.
  const std::uint64_t expected = size > offset ? size - offset + 1 : kReadChunk;
  resize_for_overwrite(tail.bytes, static_cast<std::size_t>(std::min<std::uint64_t>(
                                       std::max<std::size_t>(max_bytes, 1), expected)));
  std::size_t used = 0;
  auto at = static_cast<off_t>(offset);
  while (used < max_bytes) {
    if (used == tail.bytes.size()) {
      resize_for_overwrite(tail.bytes, std::min(max_bytes, 2 * used));
    }
    const ssize_t got =
        ::pread(file->get(), tail.bytes.data() + used, tail.bytes.size() - used, at);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(os_error(errno));
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
    at += got;
  }
  tail.bytes.resize(used);
  return tail;
}

// Truncating a file to nothing makes ext4 start writing its old contents to disk at close (its
// guard for files replaced by truncation), and the next truncation of the same file then waits for
// that write: milliseconds for every progress snapshot. When the old and the new text begin with
// the same byte, the file is cut to that byte instead, which sets off neither. Readers still see
// only the old text, a prefix of the new one (possibly empty), or the new one.
common::Result<void> write_file(const std::filesystem::path& path, std::string_view contents) {
  auto file = open_file(path, O_RDWR | O_CREAT);
  // Without read access (or on anything unusual) the plain way reports what is wrong.
  if (!file) return write_and_close(path, O_WRONLY | O_CREAT | O_TRUNC, contents);
  struct stat info {};
  if (::fstat(file->get(), &info) != 0) return std::unexpected(os_error(errno));
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    char first = 0;
    const bool same_first_byte =
        !contents.empty() && ::pread(file->get(), &first, 1, 0) == 1 && first == contents.front();
    if (::ftruncate(file->get(), same_first_byte ? 1 : 0) != 0)
      return std::unexpected(os_error(errno));
  }
  if (auto written = write_all(file->get(), contents); !written) return written;
  if (!file->close_checked()) return std::unexpected(os_error(errno));
  return {};
}

common::Result<void> append_to_file(const std::filesystem::path& path, std::string_view contents) {
  auto file = open_file(path, O_WRONLY | O_CREAT | O_APPEND);
  if (!file) return std::unexpected(file.error());
  struct stat before {};
  const bool sized = ::fstat(file->get(), &before) == 0;
  if (auto written = write_all(file->get(), contents); !written) {
    // Part of a line may have gone out before the failure (a full disk, a file size limit); left
    // there, it would run into the next line appended and spoil both.
    if (sized) (void)::ftruncate(file->get(), before.st_size);
    return written;
  }
  if (!file->close_checked()) return std::unexpected(os_error(errno));
  return {};
}

common::Result<void> create_new_file(const std::filesystem::path& path, std::string_view contents) {
  // O_EXCL already refuses a final symbolic link; O_NOFOLLOW says so where it is read.
  return write_and_close(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, contents, 0600);
}

struct FileReplacement::Open {
  FileDescriptor file;
  std::filesystem::path temporary;
  std::filesystem::path target;
};

void FileReplacement::abandon(Open* open) {
  ::unlink(open->temporary.c_str());
  delete open;
}

common::Result<FileReplacement> FileReplacement::begin(const std::filesystem::path& path) {
  auto temporary = temporary_beside(path);
  auto file = open_file(temporary, O_WRONLY | O_CREAT | O_EXCL);
  if (!file) return std::unexpected(file.error());
  return FileReplacement(new Open{std::move(*file), temporary, path});
}

common::Result<void> FileReplacement::write(std::string_view piece) {
  return write_all(open_->file.get(), piece);
}

common::Result<void> FileReplacement::commit() {
  const std::unique_ptr<Open> open(open_.release());
  common::Result<void> outcome;
  if (!open->file.close_checked()) outcome = std::unexpected(os_error(errno));
  if (outcome && ::rename(open->temporary.c_str(), open->target.c_str()) != 0) {
    outcome = std::unexpected(os_error(errno));
  }
  if (!outcome) ::unlink(open->temporary.c_str());
  return outcome;
}

common::Result<void> replace_file(const std::filesystem::path& path, std::string_view contents) {
  const auto temporary = temporary_beside(path);
  auto file = open_file(temporary, O_WRONLY | O_CREAT | O_EXCL);
  if (!file) return std::unexpected(file.error());
  // No fsync: the rename already keeps the old file through a failed or interrupted write, which
  // is the promise here, and a flush per file would dominate a batch of thousands of variants.
  auto outcome = write_all(file->get(), contents);
  if (!file->close_checked() && outcome) outcome = std::unexpected(os_error(errno));
  if (outcome && ::rename(temporary.c_str(), path.c_str()) != 0) {
    outcome = std::unexpected(os_error(errno));
  }
  if (!outcome) ::unlink(temporary.c_str());
  return outcome;
}

common::Result<void> remove_file(const std::filesystem::path& path) {
  if (::unlink(path.c_str()) != 0) return std::unexpected(os_error(errno));
  return {};
}

common::Result<void> move_tree(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (contains_nul(from) || contains_nul(to)) return std::unexpected(nul_in_path_error());
  // rename(2) would replace an empty directory standing at `to`; whatever is there stays.
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) == 0) return std::unexpected(os_error(EEXIST));
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  if (errno != EXDEV) return std::unexpected(os_error(errno));
  if (auto copied = copy_tree(from, to); !copied) return copied;
  // The copy is whole; what is left of the source is the caller's temporary directory, removed
  // with it if not here.
  (void)remove_directory_tree(from);
  return {};
}

std::filesystem::path named_temp_directory() {
  // The order the C++ library and most programs follow.
  for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "/tmp";
}

}  // namespace platform
