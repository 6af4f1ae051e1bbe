// Holds a file open the way a watcher or another writer would, so the Windows end-to-end pass
// can check that the programs still append to their logs meanwhile.
//
//   hold_open FILE READY RELEASE
//
// Opens FILE (creating it when absent) for reading, writing and deleting with full sharing,
// appends the line "held\n", then creates READY and waits (at most 120 s) until RELEASE exists.
// Exit status 0 when the file was held, 2 when it could not be opened, 3 on a timeout.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 1;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | FILE_APPEND_DATA | DELETE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const char line[] = "held\n";
  DWORD written = 0;
  WriteFile(file, line, sizeof line - 1, &written, nullptr);
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(ready);
  for (int waited = 0; waited < 1200; ++waited) {
    if (GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES) {
      CloseHandle(file);
      return 0;
    }
    Sleep(100);
  }
  CloseHandle(file);
  return 3;
}
