#include <windows.h>

#include <string>

#include "platform/os_error.h"
#include "platform/win32_text.h"

namespace platform {

namespace {

std::wstring trim_message(std::wstring text) {
  const auto end = text.find_last_not_of(L" \t\r\n");
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  return text;
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
  return os_error(text, code);
}

}  // namespace platform
