// Holds a file open the way a virus scanner or a second program does, so that
// the end-to-end tests can see what the setup makes of a busy target.
//
//   hold_file.exe PATH READY_FILE MILLISECONDS [DIRECTORY]
//
// Opens PATH (which must exist) for reading with share mode 0: nobody else may
// open, replace or delete it meanwhile. Then creates READY_FILE, so that the
// test starts the setup only once the file is really held, keeps the handle
// for MILLISECONDS (0: until the process is ended) and closes it. Exits 0 after
// a release, or with the error of the open.
//
// With DIRECTORY it plays the user who swaps the product directory while the
// setup waits for the held file: once a staging file (~*.tmp) has appeared in
// DIRECTORY it tries to rename DIRECTORY, then lets go of PATH at once and
// exits with the rename's error (100 when the rename succeeded, 101 when no
// staging file appeared within a minute).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: hold_file PATH READY_FILE MILLISECONDS[+read] [DIRECTORY]\n");
    return 2;
  }
  const DWORD holdMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
  // "+read": others may read the file meanwhile, as a program that holds
  // its data file open lets them; it can still be neither replaced nor
  // written.
  const DWORD share = std::wcsstr(argv[3], L"+read") ? FILE_SHARE_READ : 0;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
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
  if (argc == 5) {
    const std::wstring directory = argv[4];
    const std::wstring pattern = directory + L"\\~*.tmp";
    for (int waited = 0; waited < 60000; waited += 10) {
      WIN32_FIND_DATAW found;
      HANDLE search = FindFirstFileW(pattern.c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        const BOOL moved = MoveFileW(directory.c_str(), (directory + L"-moved").c_str());
        const DWORD error = moved ? 100 : GetLastError();
        CloseHandle(held);
        std::printf("rename of the product directory: %lu\n", error);
        return static_cast<int>(error);
      }
      Sleep(10);
    }
    CloseHandle(held);
    return 101;
  }
  Sleep(holdMs == 0 ? INFINITE : holdMs);
  CloseHandle(held);
  return 0;
}
