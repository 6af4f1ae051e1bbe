// Stands in for Git Bash in the Windows end-to-end pass. It records how it was started so the
// test can check the exact argument vector and environment, keeps a copy of the model file the
// engine would read (the original is deleted once we exit), and ends the way the test asks.
//
//   FAKE_BASH_RECORD      file that receives one argument per line, then "WORKSPACE=<value>"
//                         ("WORKSPACE unset" when absent); UTF-8, LF line ends
//   FAKE_BASH_TOLD        file that receives ENSEMBLE_MODEL_NAME and ENSEMBLE_RESULT_DIR the same
//                         way, one line each
//   FAKE_BASH_MODEL_COPY  where to copy the file named by argument 2
//   FAKE_BASH_MODEL_LOG   file to which the bytes of that file and "\n--\n" are appended
//   FAKE_BASH_SLEEP_MS    milliseconds to wait before ending, after everything else, as a
//                         real engine takes its time
//   FAKE_BASH_STDOUT      text written to standard output
//   FAKE_BASH_STDERR      text written to standard error
//   FAKE_BASH_EXIT        exit code (decimal, may be negative); 0 when unset
//   FAKE_BASH_PID_FILE    file that receives this process's id, one line per process, once it
//                         has written its streams: a test that ends it then has its output
//   FAKE_BASH_CHILD       when set, starts one more copy of itself (without this variable) that
//                         stands for a process the engine started
//   FAKE_BASH_OUTPUT      text written to out\deep\summary.txt beside the model file (argument
//                         2), as an engine leaves its results beside its input
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

// False when the variable is not set; an empty value counts as set.
bool variable(const wchar_t* name, std::wstring& value) {
  value.clear();
  SetLastError(ERROR_SUCCESS);
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  value.resize(size);
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length);
  return true;
}

void write_whole(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string read_whole(const std::wstring& path) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  CloseHandle(file);
  return text;
}

void append_whole(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void append_line(const std::wstring& path, const std::string& text) {
  append_whole(path, text + "\n");
}

void start_copy_of_self() {
  SetEnvironmentVariableW(L"FAKE_BASH_CHILD", nullptr);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

// "NAME=<value>", or "NAME unset" when the variable is absent.
std::string variable_line(const wchar_t* name) {
  std::wstring value;
  const std::string label = utf8(name);
  return variable(name, value) ? label + "=" + utf8(value) + "\n" : label + " unset\n";
}

void write_beside(const std::wstring& model, const std::wstring& text) {
  const auto slash = model.find_last_of(L"\\/");
  const std::wstring here = slash == std::wstring::npos ? L"." : model.substr(0, slash);
  CreateDirectoryW((here + L"\\out").c_str(), nullptr);
  CreateDirectoryW((here + L"\\out\\deep").c_str(), nullptr);
  write_whole(here + L"\\out\\deep\\summary.txt", utf8(text));
}

void write_stream(DWORD which, const std::wstring& text) {
  const std::string bytes = utf8(text);
  DWORD written = 0;
  WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring value;
  if (variable(L"FAKE_BASH_CHILD", value)) start_copy_of_self();
  if (variable(L"FAKE_BASH_RECORD", value)) {
    std::string record;
    for (int i = 1; i < argc; ++i) record += utf8(argv[i]) + "\n";
    write_whole(value, record + variable_line(L"WORKSPACE"));
  }
  if (variable(L"FAKE_BASH_TOLD", value)) {
    write_whole(value,
                variable_line(L"ENSEMBLE_MODEL_NAME") + variable_line(L"ENSEMBLE_RESULT_DIR"));
  }
  if (argc > 2 && variable(L"FAKE_BASH_MODEL_COPY", value)) {
    CopyFileW(argv[2], value.c_str(), FALSE);
  }
  if (argc > 2 && variable(L"FAKE_BASH_OUTPUT", value)) write_beside(argv[2], value);
  if (argc > 2 && variable(L"FAKE_BASH_MODEL_LOG", value)) {
    append_whole(value, read_whole(argv[2]) + "\n--\n");
  }
  if (variable(L"FAKE_BASH_STDOUT", value)) write_stream(STD_OUTPUT_HANDLE, value);
  if (variable(L"FAKE_BASH_STDERR", value)) write_stream(STD_ERROR_HANDLE, value);
  if (variable(L"FAKE_BASH_PID_FILE", value)) {
    append_line(value, std::to_string(GetCurrentProcessId()));
  }
  if (variable(L"FAKE_BASH_SLEEP_MS", value)) Sleep(std::wcstoul(value.c_str(), nullptr, 10));
  if (!variable(L"FAKE_BASH_EXIT", value)) return 0;
  // Accepts 4294967295 as well as -1: both are the same 32-bit exit status.
  return static_cast<int>(std::wcstoll(value.c_str(), nullptr, 10));
}
