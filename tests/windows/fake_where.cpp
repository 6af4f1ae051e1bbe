// Stands in for the Windows "where" command inside the test's Wine prefix, whose own "where" is
// a stub that finds nothing. Like the real one it prints the full path of every match of the
// pattern in the current directory and then in each PATH directory (trying the PATHEXT
// extensions when the pattern has none), one per line with CR LF, and exits with 1 and a note
// on standard error when nothing matches.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

std::vector<std::wstring> split(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find(L';', start), text.size());
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::wstring current_directory() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetCurrentDirectoryW(MAX_PATH, path.data()));
  return path;
}

void print(DWORD stream, const std::wstring& line) {
  const int size = static_cast<int>(line.size());
  std::string bytes(static_cast<std::size_t>(size) * 3, '\0');
  bytes.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, line.data(), size, bytes.data(),
                          static_cast<int>(bytes.size()), nullptr, nullptr)));
  bytes += "\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

bool is_file(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const std::wstring pattern = argv[1];
  std::vector<std::wstring> extensions{L""};
  if (pattern.find(L'.') == std::wstring::npos) {
    extensions = split(variable(L"PATHEXT"));
    if (extensions.empty()) extensions = {L".COM", L".EXE", L".BAT", L".CMD"};
  }
  std::vector<std::wstring> directories{current_directory()};
  for (auto& directory : split(variable(L"PATH"))) directories.push_back(directory);
  bool found = false;
  for (auto directory : directories) {
    if (directory.back() != L'\\') directory += L'\\';
    for (const auto& extension : extensions) {
      const auto candidate = directory + pattern + extension;
      if (!is_file(candidate)) continue;
      print(STD_OUTPUT_HANDLE, candidate);
      found = true;
    }
  }
  if (!found) print(STD_ERROR_HANDLE, L"INFO: Could not find files for the given pattern(s).");
  return found ? 0 : 1;
}
