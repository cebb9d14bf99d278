// Runs a program on a window station of its own that nobody can see, as
// Windows runs a service or a program of SYSTEM in session 0, so that the
// end-to-end tests can see what the setup does where no box can be answered.
//
//   hidden_station.exe RESULT.json TIMEOUT_SECONDS -- PROGRAM [ARG...]
//
// Creates the window station "vespodar_hidden" and its desktop "Default",
// starts PROGRAM on it and waits; a program still running after the timeout
// (a box nobody can answer) is ended. RESULT.json then gets one object: the
// status ("exited" or "timeout"), the exit code, and whether Windows reports
// the station as visible (it must not be).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || std::wcscmp(argv[3], L"--") != 0) {
    std::fprintf(stderr, "usage: hidden_station RESULT TIMEOUT_SECONDS -- PROGRAM [ARG...]\n");
    return 2;
  }
  HWINSTA station = CreateWindowStationW(L"vespodar_hidden", 0, WINSTA_ALL_ACCESS, nullptr);
  if (!station) return static_cast<int>(GetLastError());
  USEROBJECTFLAGS flags = {};
  GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr);
  // A desktop is made on the process's own station: switch there for it.
  HWINSTA own = GetProcessWindowStation();
  SetProcessWindowStation(station);
  HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  SetProcessWindowStation(own);
  if (!desktop) return static_cast<int>(GetLastError());

  std::wstring command;
  for (int i = 4; i < argc; ++i) command += std::wstring(i > 4 ? L" \"" : L"\"") + argv[i] + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  wchar_t desktopName[] = L"vespodar_hidden\\Default";
  startup.lpDesktop = desktopName;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return static_cast<int>(GetLastError());
  const DWORD timeoutMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000;
  const bool timedOut = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT;
  if (timedOut) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* result = _wfopen(argv[1], L"wb");
  if (!result) return 3;
  std::fprintf(result, "{\"status\":\"%s\",\"exit_code\":%lu,\"station_visible\":%s}\n",
               timedOut ? "timeout" : "exited", exitCode,
               (flags.dwFlags & WSF_VISIBLE) ? "true" : "false");
  std::fclose(result);
  return 0;
}
