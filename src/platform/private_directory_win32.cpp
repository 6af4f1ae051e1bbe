#include <windows.h>

#include <random>
#include <string>

#include "platform/file_system.h"
#include "platform/private_directory.h"

namespace platform {

namespace {

// As many tries as POSIX mkdtemp makes at most, far beyond what chance collisions need; only a
// flood of planted names could exhaust it, and then failing is right.
constexpr int kAttempts = 100;

std::wstring random_suffix(std::mt19937& generator) {
  static constexpr wchar_t kLetters[] =
      L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kLetters) - 2);
  std::wstring suffix(6, L'0');
  for (auto& letter : suffix) letter = kLetters[pick(generator)];
  return suffix;
}

}  // namespace

common::Result<std::filesystem::path> create_private_directory(const std::filesystem::path& parent,
                                                               std::string_view prefix) {
  const auto base = parent / path_from_utf8(prefix);
  if (contains_nul(base)) return std::unexpected(nul_in_path_error());
  std::random_device seed;
  std::mt19937 generator(seed() ^ GetCurrentProcessId() ^ GetTickCount());
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    auto path = base;
    path += random_suffix(generator);
    // CreateDirectoryW fails on any existing name, so a directory someone else made (or a link
    // planted under the name) is never used.
    if (CreateDirectoryW(path.wstring().c_str(), nullptr)) return path;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
      return std::unexpected(os_error(static_cast<int>(error)));
    }
  }
  return std::unexpected(os_error(ERROR_ALREADY_EXISTS));
}

}  // namespace platform
