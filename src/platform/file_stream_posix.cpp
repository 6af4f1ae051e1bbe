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

common::Result<void> read_file_in_pieces(const std::filesystem::path& path, std::size_t piece_size,
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

}  // namespace platform
