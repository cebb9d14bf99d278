#include "install/file_holders_win.h"

#include <windows.h>
#include <restartmanager.h>

#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// A Restart Manager session, ended when it goes out of scope.
class RestartManagerSession {
 public:
  RestartManagerSession(decltype(&::RmEndSession) end, DWORD id) : end_(end), id_(id) {}
  RestartManagerSession(const RestartManagerSession&) = delete;
  RestartManagerSession& operator=(const RestartManagerSession&) = delete;
  ~RestartManagerSession() { end_(id_); }
  DWORD id() const { return id_; }

 private:
  decltype(&::RmEndSession) end_;
  DWORD id_;
};

}  // namespace

std::string FileHolders(const std::string& path) {
  const HMODULE dll = LoadSystemDll(L"rstrtmgr.dll");
  const auto start = FindFunction<decltype(&::RmStartSession)>(dll, "RmStartSession");
  const auto enroll = FindFunction<decltype(&::RmRegisterResources)>(dll, "RmRegisterResources");
  const auto list = FindFunction<decltype(&::RmGetList)>(dll, "RmGetList");
  const auto end = FindFunction<decltype(&::RmEndSession)>(dll, "RmEndSession");
  DWORD started = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (!start || !enroll || !list || !end || start(&started, 0, key) != ERROR_SUCCESS)
    return "unknown";
  const RestartManagerSession session(end, started);
  const std::wstring file = Widen(path);
  LPCWSTR files[] = {file.c_str()};
  RM_PROCESS_INFO found[8];
  UINT needed = 0, count = 8;
  DWORD reasons = 0;
  // The names alone, joined: a few are enough to tell an administrator whom
  // to look for, and more than eight make the list fail (ERROR_MORE_DATA).
  wchar_t names[8 * (CCH_RM_MAX_APP_NAME + 3)];
  std::size_t used = 0;
  if (enroll(session.id(), 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
      list(session.id(), &needed, &count, found, &reasons) == ERROR_SUCCESS) {
    for (UINT i = 0; i < count && i < 8; ++i) {
      if (used) {
        names[used++] = L',';
        names[used++] = L' ';
      }
      const wchar_t* name = found[i].strAppName;
      for (int c = 0; c < CCH_RM_MAX_APP_NAME && name[c]; ++c) names[used++] = name[c];
    }
  }
  return used ? Narrow(names, used) : "unknown";
}

}  // namespace vespodar
