#include <windows.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/file_stream.h"
#include "platform/file_system.h"
#include "platform/win32_handle.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile take a 32-bit length.
constexpr std::size_t kMaxChunk = 1u << 30;

common::Error last_error() { return os_error(static_cast<int>(GetLastError())); }

UniqueHandle open(const std::filesystem::path& path, DWORD access, DWORD disposition) {
  return UniqueHandle(CreateFileW(path.wstring().c_str(), access, kShareAll, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

common::Result<void> read_file_in_pieces(const std::filesystem::path& path, std::size_t piece_size,
                                         const std::function<void(std::string_view)>& consume) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  UniqueHandle handle = open(path, GENERIC_READ, OPEN_EXISTING);
  if (!handle.valid()) return std::unexpected(last_error());
  std::string buffer(std::clamp<std::size_t>(piece_size, 1, kMaxChunk), '\0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return std::unexpected(last_error());
    }
    if (got == 0) return {};
    consume(std::string_view(buffer.data(), got));
  }
}

}  // namespace platform
