#include "setup/run_log_win.h"

#include <windows.h>

#include "base/win_text.h"
#include "setup/run_log.h"

namespace vespodar {

void RunLogFile::Append(const std::string& path, const std::string& text) {
  if (!file_.valid()) {
    if (failed_) return;
    file_ = ScopedHandle(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    failed_ = !file_.valid();
    if (failed_) return;
    DWORD written = 0;
    if (GetFileSize(file_.handle, nullptr) == 0) WriteFile(file_.handle, "\xEF\xBB\xBF", 3, &written, nullptr);
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
