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

common::Result<void> read_file_in_pieces(const std::filesystem::path& path,
                                         std::size_t piece_size,
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

struct FileReplacement::State {
  UniqueHandle handle;
  std::filesystem::path temporary;
  std::filesystem::path target;
  bool committed = false;

  ~State() {
    handle.reset();
    if (!committed) DeleteFileW(temporary.wstring().c_str());
  }
};

FileReplacement::FileReplacement(std::unique_ptr<State> state) : state_(std::move(state)) {}
FileReplacement::FileReplacement(FileReplacement&&) noexcept = default;
FileReplacement& FileReplacement::operator=(FileReplacement&&) noexcept = default;
FileReplacement::~FileReplacement() = default;

common::Result<FileReplacement> FileReplacement::create(const std::filesystem::path& path) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  static std::atomic<unsigned> counter{0};
  const auto temporary =
      path.parent_path() / (L"." + path.filename().wstring() + L"." +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + L".tmp");
  // Created exclusively: a file of that name that someone else made is neither written through
  // nor deleted.
  UniqueHandle handle = open(temporary, GENERIC_WRITE, CREATE_NEW);
  if (!handle.valid()) return std::unexpected(last_error());
  auto state = std::make_unique<State>();
  state->handle = std::move(handle);
  state->temporary = temporary;
  state->target = path;
  return FileReplacement(std::move(state));
}

common::Result<void> FileReplacement::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
    DWORD written = 0;
    if (!WriteFile(state_->handle.get(), bytes.data(), chunk, &written, nullptr)) {
      return std::unexpected(last_error());
    }
    bytes.remove_prefix(written);
  }
  return {};
}

common::Result<void> FileReplacement::commit() {
  state_->handle.reset();
  if (!MoveFileExW(state_->temporary.wstring().c_str(), state_->target.wstring().c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return std::unexpected(last_error());
  }
  state_->committed = true;
  return {};
}

}  // namespace platform
