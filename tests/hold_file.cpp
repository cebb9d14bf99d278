// Holds a file open the way a virus scanner or a second program does, so that
// the end-to-end tests can see what the setup makes of a busy target.
//
//   hold_file.exe PATH READY_FILE MILLISECONDS
//
// Opens PATH (which must exist) for reading with share mode 0: nobody else may
// open, replace or delete it meanwhile. Then creates READY_FILE, so that the
// test starts the setup only once the file is really held, keeps the handle
// for MILLISECONDS (0: until the process is ended) and closes it. Exits 0 after
// a release, or with the error of the open.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_file PATH READY_FILE MILLISECONDS\n");
    return 2;
  }
  const DWORD holdMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    std::fprintf(stderr, "hold_file: open failed with %lu\n", error);
    return static_cast<int>(error);
  }
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) {
    CloseHandle(held);
    return 3;
  }
  CloseHandle(ready);
  Sleep(holdMs == 0 ? INFINITE : holdMs);
  CloseHandle(held);
  return 0;
}
