// Holds files open the way a watcher or another writer would, so the Windows end-to-end pass
// can check that the programs still write their progress files and logs meanwhile.
//
//   hold_open READY RELEASE FILE...
//
// Opens every FILE (creating it when absent) for reading, appending and deleting with full
// sharing, appends the line "held\n" to each, then creates READY and waits (at most 120 s) until
// RELEASE exists. Exit status 0 when all files were held, 2 when one could not be opened, 3 on a
// timeout.
#include <windows.h>

#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 1;
  std::vector<HANDLE> files;
  for (int i = 3; i < argc; ++i) {
    HANDLE file = CreateFileW(argv[i], GENERIC_READ | FILE_APPEND_DATA | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    const char line[] = "held\n";
    DWORD written = 0;
    WriteFile(file, line, sizeof line - 1, &written, nullptr);
    files.push_back(file);
  }
  CloseHandle(CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  int status = 3;
  for (int waited = 0; waited < 1200 && status != 0; ++waited) {
    if (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES)
      status = 0;
    else
      Sleep(100);
  }
  for (HANDLE file : files) CloseHandle(file);
  return status;
}
