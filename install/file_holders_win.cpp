#include "install/file_holders_win.h"

#include <windows.h>
#include <restartmanager.h>

#include <cwchar>

#include "base/number_text.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

std::string FileHolders(const std::string& path) {
  const HMODULE dll = LoadSystemDll(L"rstrtmgr.dll");
  const auto start = FindFunction<decltype(&::RmStartSession)>(dll, "RmStartSession");
  const auto enroll = FindFunction<decltype(&::RmRegisterResources)>(dll, "RmRegisterResources");
  const auto list = FindFunction<decltype(&::RmGetList)>(dll, "RmGetList");
  const auto end = FindFunction<decltype(&::RmEndSession)>(dll, "RmEndSession");
  std::string holders;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (!start || !enroll || !list || !end || start(&session, 0, key) != ERROR_SUCCESS)
    return "unknown";
  const std::wstring file = Widen(path);
  LPCWSTR files[] = {file.c_str()};
  // A few holders are enough to tell an administrator whom to look for.
  RM_PROCESS_INFO found[8];
  UINT needed = 0, count = 8;
  DWORD reasons = 0;
  if (enroll(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    const DWORD listed = list(session, &needed, &count, found, &reasons);
    if (listed == ERROR_MORE_DATA) holders = DecimalText(needed) + " programs";
    for (UINT i = 0; listed == ERROR_SUCCESS && i < count && i < 8; ++i) {
      if (!holders.empty()) holders += ", ";
      holders += Narrow(found[i].strAppName, wcslen(found[i].strAppName)) + " (pid " +
                 DecimalText(found[i].Process.dwProcessId) + ")";
    }
  }
  end(session);
  return holders.empty() ? "unknown" : holders;
}

}  // namespace vespodar
