// Stands in for the installed product in the end-to-end tests.
//
// It does what the setup expects of Vespodar and nothing else: while it runs it
// holds the single-instance marker (the file mapping kInstanceMarkerName), it
// has a top-level main window of class kMainWindowClass (both in
// base/product_identity.h), and it ends when WM_QUIT reaches its message loop.
//
// An optional "standin.ini" beside the executable (key=value lines, UTF-8)
// changes how it behaves:
//   delay_ms=N         sleep N ms before creating the marker
//   window_delay_ms=N  sleep N ms after the marker, before the window
//   quit_delay_ms=N    on WM_QUIT, log "quitting" and keep the marker N ms
//                      longer, as a product slow to save its state would
//   minimized=1        create the window minimised
//   show=normal        show the window activated (default: without activation)
//   hold=NAME          open NAME in the executable's directory with share mode
//                      0 and keep it open while running
//   log=PATH           append UTF-8 lines about this run to PATH; keep it out of
//                      the product directory, whose size the setup records
//
// By default the window is shown without activation: on Windows a process
// started in the background is not allowed to take the foreground, and this
// way only the setup's own SetForegroundWindow can bring the window to front.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/product_identity.h"

namespace {

struct Settings {
  DWORD delayMs = 0;
  DWORD windowDelayMs = 0;
  DWORD quitDelayMs = 0;
  bool minimized = false;
  bool showNormal = false;
  std::wstring hold;
  std::wstring log;
};

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string narrow(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length,
                      nullptr, nullptr);
  return narrow;
}

std::wstring ModulePath() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

std::wstring DirectoryOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring CurrentDirectory() {
  std::wstring dir(32768, L'\0');
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), &dir[0]);
  dir.resize(length);
  return dir;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

Settings ReadSettings(const std::wstring& directory) {
  Settings settings;
  HANDLE file = CreateFileW((directory + L"standin.ini").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return settings;
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);

  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = Trim(content.substr(start, end - start));
    start = end + 1;
    size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    std::string key = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    if (key == "delay_ms") settings.delayMs = std::strtoul(value.c_str(), nullptr, 10);
    else if (key == "window_delay_ms") settings.windowDelayMs = std::strtoul(value.c_str(), nullptr, 10);
    else if (key == "quit_delay_ms") settings.quitDelayMs = std::strtoul(value.c_str(), nullptr, 10);
    else if (key == "minimized") settings.minimized = value == "1";
    else if (key == "show") settings.showNormal = value == "normal";
    else if (key == "hold") settings.hold = FromUtf8(value);
    else if (key == "log") settings.log = FromUtf8(value);
  }
  return settings;
}

// One line per call, appended with the file opened and closed each time so
// that a test can read the log while the product still runs.
void Log(const Settings& settings, const std::wstring& line) {
  if (settings.log.empty()) return;
  HANDLE file = CreateFileW(settings.log.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string bytes = ToUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::wstring module = ModulePath();
  const std::wstring directory = DirectoryOf(module);
  const Settings settings = ReadSettings(directory);

  Log(settings, L"start");
  Log(settings, L"module=" + module);
  Log(settings, L"cwd=" + CurrentDirectory());

  HANDLE held = INVALID_HANDLE_VALUE;
  if (!settings.hold.empty()) {
    held = CreateFileW((directory + settings.hold).c_str(), GENERIC_READ, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    Log(settings, held == INVALID_HANDLE_VALUE
                      ? L"hold=failed " + std::to_wstring(GetLastError())
                      : L"hold=" + settings.hold);
  }

  if (settings.delayMs) Sleep(settings.delayMs);
  HANDLE marker = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                     vespodar::kInstanceMarkerName);
  Log(settings, GetLastError() == ERROR_ALREADY_EXISTS ? L"marker=existed" : L"marker=created");

  if (settings.windowDelayMs) Sleep(settings.windowDelayMs);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  const std::wstring className = FromUtf8(vespodar::kMainWindowClass);
  windowClass.lpszClassName = className.c_str();
  RegisterClassExW(&windowClass);
  HWND window = CreateWindowExW(0, className.c_str(), FromUtf8(vespodar::kProductName).c_str(),
                                WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                                instance, nullptr);
  int show = settings.minimized ? (settings.showNormal ? SW_SHOWMINIMIZED : SW_SHOWMINNOACTIVE)
                                : (settings.showNormal ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
  ShowWindow(window, show);
  Log(settings, window ? L"window" : L"window=failed");

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }

  if (settings.quitDelayMs) {
    Log(settings, L"quitting");
    Sleep(settings.quitDelayMs);
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (marker) CloseHandle(marker);
  Log(settings, L"quit");
  return 0;
}
