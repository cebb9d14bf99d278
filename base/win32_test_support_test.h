#ifndef VESPODAR_BASE_WIN32_TEST_SUPPORT_TEST_H_
#define VESPODAR_BASE_WIN32_TEST_SUPPORT_TEST_H_

// Helpers for the Win32 tests: a scratch directory that is removed again, and
// whole-file reads and writes through the wide API.

#include <windows.h>

#include <functional>
#include <string>

#include "base/paths.h"
#include "base/random.h"
#include "base/retry_sleep_win.h"
#include "base/win_text.h"

namespace vespodar {

inline std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileW(Widen(ExtendedLengthPath(path)).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string data;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) data.append(buffer, read);
  CloseHandle(file);
  return data;
}

inline bool WriteWholeFile(const std::string& path, const std::string& data) {
  HANDLE file = CreateFileW(Widen(ExtendedLengthPath(path)).c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                  written == data.size();
  CloseHandle(file);
  return ok;
}

// Removes a tree, files first.
inline void RemoveTree(const std::wstring& directory) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = directory + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveTree(path);
      else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(path.c_str());
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(directory.c_str());
}

// A fresh directory under %TEMP%, removed by the destructor. path ends in a
// backslash; name may hold any script.
struct ScratchDirectory {
  std::string path;
  explicit ScratchDirectory(const std::string& name = "vespodar") {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path = Narrow(temp);
    AddTrailingBackslash(path);
    path += name + "-" + RandomLetters(8) + "\\";
    CreateDirectoryW(Widen(path).c_str(), nullptr);
  }
  ~ScratchDirectory() {
    std::wstring wide = Widen(path);
    wide.pop_back();
    RemoveTree(wide);
  }
  // Lists the names in the directory, sorted, one per line.
  std::string Listing() const {
    std::string names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Widen(path) + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = Narrow(data.cFileName);
      if (name != "." && name != "..") names += name + "\n";
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }
};

// Polls condition for up to about five seconds: windows of another thread
// appear and change asynchronously.
inline bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 100; ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

inline std::string WindowText(HWND window) {
  wchar_t text[256] = {};
  const int length = GetWindowTextW(window, text, 256);
  return Narrow(text, static_cast<std::size_t>(length));
}

// Every retry pause of a scope returns at once and is added up in ms: a wait
// to its bound costs a test nothing.
class InstantRetryPauses {
 public:
  InstantRetryPauses() { SetRetrySleepHookForTesting(&InstantRetryPauses::Add, this); }
  InstantRetryPauses(const InstantRetryPauses&) = delete;
  InstantRetryPauses& operator=(const InstantRetryPauses&) = delete;
  ~InstantRetryPauses() { SetRetrySleepHookForTesting(nullptr, nullptr); }
  DWORD ms = 0;

 private:
  static void Add(DWORD pause, void* self) { static_cast<InstantRetryPauses*>(self)->ms += pause; }
};

}  // namespace vespodar

#endif  // VESPODAR_BASE_WIN32_TEST_SUPPORT_TEST_H_
