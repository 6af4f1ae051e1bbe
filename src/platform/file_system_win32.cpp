#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/file_system.h"
#include "platform/win32_handle.h"

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

// Sets the end of the file that `appending` writes to back to `size`. An append-only handle may
// not move the end of the file, so a second handle to the same file does it; by path only when
// the system cannot reopen the handle itself.
void cut_back(HANDLE appending, LARGE_INTEGER size, const std::filesystem::path& path) {
  UniqueHandle writable(ReOpenFile(appending, GENERIC_WRITE, kShareAll, 0));
  if (!writable.valid()) {
    writable = UniqueHandle(CreateFileW(path.wstring().c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!writable.valid()) return;
  FILE_END_OF_FILE_INFO end{size};
  (void)SetFileInformationByHandle(writable.get(), FileEndOfFileInfo, &end, sizeof end);
}

std::filesystem::path temp_sibling(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  auto name = path.filename().wstring();
  name = L"." + name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L".tmp";
  return path.parent_path() / name;
}

}  // namespace

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

std::optional<FileStamp> file_stamp(const std::filesystem::path& path) {
  if (contains_nul(path)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA info{};
  if (!GetFileAttributesExW(path.wstring().c_str(), GetFileExInfoStandard, &info)) {
    return std::nullopt;
  }
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return std::nullopt;
  }
  // A link's own attributes describe the link; its target is what a read opens.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return std::nullopt;
  const auto ticks = [](const FILETIME& t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                     t.dwLowDateTime) *
           100;
  };
  const std::uint64_t size =
      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // The creation time changes when a rename puts another file in place.
  return FileStamp{size, ticks(info.ftLastWriteTime), ticks(info.ftCreationTime), {}};
}

common::Result<FileTail> read_file_from(const std::filesystem::path& path, std::uint64_t offset,
                                        std::size_t max_bytes) {
  auto handle = open(path, GENERIC_READ, OPEN_EXISTING);
  if (!handle) return std::unexpected(handle.error());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle->get(), &info)) return std::unexpected(last_error());
  FileTail tail;
  const std::uint64_t index =
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  // File systems without file numbers report zeros.
  if (index != 0 || info.dwVolumeSerialNumber != 0) {
    tail.identity = FileIdentity{info.dwVolumeSerialNumber, index};
  }
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handle->get(), start, nullptr, FILE_BEGIN)) {
    return std::unexpected(last_error());
  }
  char buffer[64 * 1024];
  while (tail.bytes.size() < max_bytes) {
    const auto wanted =
        static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, max_bytes - tail.bytes.size()));
    DWORD read = 0;
    if (!ReadFile(handle->get(), buffer, wanted, &read, nullptr)) {
      return std::unexpected(last_error());
    }
    if (read == 0) break;
    tail.bytes.append(buffer, read);
  }
  return tail;
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
  auto handle = open(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, OPEN_ALWAYS);
  if (!handle) return std::unexpected(handle.error());
  LARGE_INTEGER before{};
  const bool sized = GetFileSizeEx(handle->get(), &before);
  auto written = write_all(handle->get(), contents);
  // Part of a line may have gone out before the failure (a full disk); left there, it would run
  // into the next line appended and spoil both.
  if (!written && sized) cut_back(handle->get(), before, path);
  return written;
}

struct FileReplacement::Open {
  UniqueHandle handle;
  std::filesystem::path temporary;
  std::filesystem::path target;
};

void FileReplacement::abandon(Open* open) {
  open->handle.reset();
  DeleteFileW(open->temporary.wstring().c_str());
  delete open;
}

common::Result<FileReplacement> FileReplacement::begin(const std::filesystem::path& path) {
  auto temporary = temp_sibling(path);
  auto handle = open(temporary, GENERIC_WRITE, CREATE_NEW);
  if (!handle) return std::unexpected(handle.error());
  return FileReplacement(new Open{std::move(*handle), temporary, path});
}

common::Result<void> FileReplacement::write(std::string_view piece) {
  return write_all(open_->handle.get(), piece);
}

common::Result<void> FileReplacement::commit() {
  const std::unique_ptr<Open> open(open_.release());
  open->handle.reset();
  if (!MoveFileExW(open->temporary.wstring().c_str(), open->target.wstring().c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const common::Error error = last_error();
    DeleteFileW(open->temporary.wstring().c_str());
    return std::unexpected(error);
  }
  return {};
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

common::Result<void> move_tree(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (contains_nul(from) || contains_nul(to)) return std::unexpected(nul_in_path_error());
  // Without MOVEFILE_REPLACE_EXISTING nothing standing at `to` is replaced; without
  // MOVEFILE_COPY_ALLOWED a folder is never half copied by the system itself.
  if (MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), 0)) return {};
  const DWORD error = GetLastError();
  if (error != ERROR_NOT_SAME_DEVICE) return std::unexpected(os_error(static_cast<int>(error)));
  if (auto copied = copy_tree(from, to); !copied) return copied;
  // The copy is whole; what is left of the source is the caller's temporary directory, removed
  // with it if not here.
  (void)remove_directory_tree(from);
  return {};
}

std::filesystem::path named_temp_directory() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
  if (length == 0 || length > MAX_PATH + 1) return {};
  std::wstring text(buffer, length);
  // The system ends the name with a separator; a root such as C:\ keeps its own.
  if (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) text.pop_back();
  return std::filesystem::path(text);
}

}  // namespace platform
