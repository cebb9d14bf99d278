#include "setup/run_log_win.h"

#include <windows.h>

#include "base/security_attributes_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"
#include "setup/run_log.h"

namespace vespodar {

namespace {

// The log's file and the folders made for it: SYSTEM and the administrators
// may do anything, users may read. A new file in a folder that users may
// write would otherwise be theirs to change between two runs.
const wchar_t kLogSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)";

// Creates the folders of path that are missing, from the outermost one in.
void CreateMissingFolders(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
  const std::wstring::size_type slash = path.rfind(L'\\');
  if (slash == std::wstring::npos || slash < 3) return;
  const std::wstring folder = path.substr(0, slash);
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  CreateMissingFolders(folder, security);
  CreateDirectoryW(folder.c_str(), security);
}

// Where the handle leads, where Windows can tell (Vista and later).
bool FinalPath(HANDLE file, std::string* path) {
  typedef DWORD(WINAPI * FinalPathFunction)(HANDLE, LPWSTR, DWORD, DWORD);
  static const FinalPathFunction finalPath = FindFunction<FinalPathFunction>(
      GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW");
  if (!finalPath) return false;
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = finalPath(file, &buffer[0], static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return false;
    if (length < buffer.size()) {
      *path = Narrow(buffer.data(), length);
      return true;
    }
    buffer.resize(length + 1);
  }
  return false;
}

// Opens the log, as itself: a link is opened, judged and refused, never
// followed. Shared for reading and writing, so that two runs can append to
// one file, a whole line per write.
ScopedHandle OpenLog(const std::string& path) {
  const std::wstring widePath = Widen(path);
  ScopedSecurityAttributes security(kLogSecurity);
  CreateMissingFolders(widePath, security.get());
  ScopedHandle file(CreateFileW(widePath.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, security.get(), OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) return file;
  LogFileFacts facts;
  facts.diskFile = GetFileType(file.handle) == FILE_TYPE_DISK;
  BY_HANDLE_FILE_INFORMATION information;
  if (facts.diskFile && GetFileInformationByHandle(file.handle, &information)) {
    facts.reparsePoint = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.links = information.nNumberOfLinks;
  } else {
    facts.diskFile = false;
  }
  facts.finalPathKnown = facts.diskFile && FinalPath(file.handle, &facts.finalPath);
  if (LogFileRefusal(path, facts)) return ScopedHandle();
  return file;
}

}  // namespace

void RunLogFile::Append(const std::string& path, const std::string& text) {
  if (!file_.valid()) {
    if (failed_) return;
    file_ = OpenLog(path);
    failed_ = !file_.valid();
    if (failed_) return;
    DWORD written = 0;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file_.handle, &size) && size.QuadPart == 0) WriteFile(file_.handle, "\xEF\xBB\xBF", 3, &written, nullptr);
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string line = FormatLogLine(
      {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds},
      text);
  DWORD written = 0;
  WriteFile(file_.handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string WindowsErrorText(std::uint32_t error) {
  wchar_t text[256];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = FormatMessageW(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                text, 256, nullptr);
  if (length == 0) length = FormatMessageW(flags, nullptr, error, 0, text, 256, nullptr);
  // One line: without the system's closing full stop and line break.
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L'.' || text[length - 1] == L' '))
    --length;
  return Narrow(text, length);
}

}  // namespace vespodar
