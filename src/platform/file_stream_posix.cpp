#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/file_stream.h"
#include "platform/file_system.h"

namespace platform {
namespace {

int open_retrying(const std::filesystem::path& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

common::Result<void> read_file_in_pieces(const std::filesystem::path& path,
                                         std::size_t piece_size,
                                         const std::function<void(std::string_view)>& consume) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  const int fd = open_retrying(path, O_RDONLY);
  if (fd < 0) return std::unexpected(os_error(errno));
  std::string buffer(std::max<std::size_t>(piece_size, 1), '\0');
  common::Result<void> outcome;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) outcome = std::unexpected(os_error(errno));
    if (got <= 0) break;
    consume(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
  ::close(fd);
  return outcome;
}

struct FileReplacement::State {
  int fd = -1;
  std::filesystem::path temporary;
  std::filesystem::path target;
  bool committed = false;

  ~State() {
    if (fd >= 0) ::close(fd);
    if (!committed) ::unlink(temporary.c_str());
  }
};

FileReplacement::FileReplacement(std::unique_ptr<State> state) : state_(std::move(state)) {}
FileReplacement::FileReplacement(FileReplacement&&) noexcept = default;
FileReplacement& FileReplacement::operator=(FileReplacement&&) noexcept = default;
FileReplacement::~FileReplacement() = default;

common::Result<FileReplacement> FileReplacement::create(const std::filesystem::path& path) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  static std::atomic<unsigned> counter{0};
  auto temporary = path;
  temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  const int fd = open_retrying(temporary, O_WRONLY | O_CREAT | O_EXCL);
  if (fd < 0) return std::unexpected(os_error(errno));
  auto state = std::make_unique<State>();
  state->fd = fd;
  state->temporary = std::move(temporary);
  state->target = path;
  return FileReplacement(std::move(state));
}

common::Result<void> FileReplacement::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(state_->fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return std::unexpected(os_error(errno));
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

common::Result<void> FileReplacement::commit() {
  const int fd = std::exchange(state_->fd, -1);
  if (::close(fd) != 0) return std::unexpected(os_error(errno));
  if (::rename(state_->temporary.c_str(), state_->target.c_str()) != 0) {
    return std::unexpected(os_error(errno));
  }
  state_->committed = true;
  return {};
}

}  // namespace platform
