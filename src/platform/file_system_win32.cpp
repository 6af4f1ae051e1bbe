#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/file_system.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace platform {

namespace {

// Watchers (progress viewers, log tails) may hold the files open in any mode, and may even
// delete or rename them while we write.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// WriteFile and ReadFile take a 32-bit length; larger texts go through in slices.
constexpr std::size_t kMaxChunk = 1u << 30;

common::Error last_error() { return os_error(static_cast<int>(GetLastError())); }

common::Result<UniqueHandle> open(const std::filesystem::path& path, DWORD access,
                                  DWORD disposition) {
  // The wide string ends at a NUL, which would open the file named by the text before it.
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  UniqueHandle handle(CreateFileW(path.wstring().c_str(), access, kShareAll, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return std::unexpected(last_error());
  return handle;
}

common::Result<void> write_all(HANDLE handle, std::string_view contents) {
  while (!contents.empty()) {
    const auto chunk = static_cast<DWORD>(std::min(contents.size(), kMaxChunk));
    DWORD written = 0;
    if (!WriteFile(handle, contents.data(), chunk, &written, nullptr)) {
      return std::unexpected(last_error());
    }
    contents.remove_prefix(written);
  }
  return {};
}

std::wstring trim_message(std::wstring text) {
  const auto end = text.find_last_not_of(L" \t\r\n");
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  return text;
}

std::filesystem::path temp_sibling(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  auto name = path.filename().wstring();
  name = L"." + name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L".tmp";
  return path.parent_path() / name;
}

}  // namespace

common::Error os_error(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) {
    text = narrow(trim_message(std::wstring(buffer, length)));
  }
  if (buffer != nullptr) LocalFree(buffer);
  if (text.empty()) text = "Unknown error " + std::to_string(code);
  return common::Error(text + " (os error " + std::to_string(code) + ")");
}

common::Error nul_in_path_error() { return os_error(ERROR_INVALID_NAME); }

common::Result<std::string> read_file(const std::filesystem::path& path) {
  auto handle = open(path, GENERIC_READ, OPEN_EXISTING);
  if (!handle) return std::unexpected(handle.error());
  std::string contents;
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(handle->get(), buffer, sizeof buffer, &read, nullptr)) {
      return std::unexpected(last_error());
    }
    if (read == 0) return contents;
    contents.append(buffer, read);
  }
}

common::Result<void> write_file(const std::filesystem::path& path, std::string_view contents) {
  auto handle = open(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (!handle) return std::unexpected(handle.error());
  return write_all(handle->get(), contents);
}

common::Result<void> create_new_file(const std::filesystem::path& path, std::string_view contents) {
  // CREATE_NEW fails on any existing name, a symbolic link or junction included.
  auto handle = open(path, GENERIC_WRITE, CREATE_NEW);
  if (!handle) return std::unexpected(handle.error());
  return write_all(handle->get(), contents);
}

common::Result<void> append_to_file(const std::filesystem::path& path, std::string_view contents) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the current end of the
  // file, even when another process appends between our writes.
  auto handle = open(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_ALWAYS);
  if (!handle) return std::unexpected(handle.error());
  return write_all(handle->get(), contents);
}

common::Result<void> replace_file(const std::filesystem::path& path, std::string_view contents) {
  const auto temp = temp_sibling(path);
  // Created exclusively: a file of that name that someone else made is neither written through
  // nor deleted.
  auto handle = open(temp, GENERIC_WRITE, CREATE_NEW);
  if (!handle) return std::unexpected(handle.error());
  auto outcome = write_all(handle->get(), contents);
  handle->reset();
  if (outcome && !MoveFileExW(temp.wstring().c_str(), path.wstring().c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    outcome = std::unexpected(last_error());
  }
  if (!outcome) DeleteFileW(temp.wstring().c_str());
  return outcome;
}

common::Result<void> remove_file(const std::filesystem::path& path) {
  if (!DeleteFileW(path.wstring().c_str())) return std::unexpected(last_error());
  return {};
}

}  // namespace platform
