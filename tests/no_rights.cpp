// Makes the machine look as it does to a user without administrator rights:
// HKLM\Software\Microsoft\Windows\CurrentVersion gets a DACL that lets
// everyone read it and nobody change it.
//
//   no_rights.exe lock  [--view32] [--view64] [--key KEY]   set the read-only DACL
//   no_rights.exe probe [--view32] [--view64] [--key KEY]   open the key with KEY_ALL_ACCESS
//
// KEY (under HKLM) is another key to lock instead, such as the product's
// Uninstall entry.
// Without a view flag the process's own view is used. probe exits with the
// error of the open (0 when it succeeded, 5 when it was refused), so a test can
// prove that the lock holds before it relies on it. Under Wine the DACL lives
// in the wineserver's memory only: the server must stay up from the lock
// through the run that depends on it.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

namespace {

std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kReadOnly[] = L"D:P(A;;KR;;;WD)";

LONG Lock(REGSAM view) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, WRITE_DAC | READ_CONTROL | view, &opened);
  if (status != ERROR_SUCCESS) return status;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kReadOnly, SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    status = static_cast<LONG>(GetLastError());
    RegCloseKey(opened);
    return status;
  }
  status = RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  RegCloseKey(opened);
  return status;
}

LONG Probe(REGSAM view) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | view, &opened);
  if (status == ERROR_SUCCESS) RegCloseKey(opened);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: no_rights lock|probe [--view32] [--view64]\n");
    return 2;
  }
  const std::wstring mode = argv[1];
  if (mode != L"lock" && mode != L"probe") {
    std::fprintf(stderr, "no_rights: unknown mode\n");
    return 2;
  }
  std::wstring views[2];
  int count = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"--key" && i + 1 < argc) {
      key = argv[++i];
    } else if (count < 2) {
      views[count++] = argv[i];
    }
  }
  if (count == 0) views[count++] = L"";

  // The other key may stand in one view only: a view without it is passed
  // over, but it must be in one.
  const bool otherKey = key != L"Software\\Microsoft\\Windows\\CurrentVersion";
  int found = 0;
  LONG worst = ERROR_SUCCESS;
  for (int i = 0; i < count; ++i) {
    REGSAM view = 0;
    if (views[i] == L"--view32") view = KEY_WOW64_32KEY;
    else if (views[i] == L"--view64") view = KEY_WOW64_64KEY;
    else if (!views[i].empty()) {
      std::fprintf(stderr, "no_rights: unknown view\n");
      return 2;
    }
    LONG status = mode == L"lock" ? Lock(view) : Probe(view);
    std::printf("%ls %ls: %ld\n", mode.c_str(), views[i].empty() ? L"default" : views[i].c_str(),
                status);
    if (otherKey && status == ERROR_FILE_NOT_FOUND) continue;
    ++found;
    // A probe that got full access anywhere is the worst answer.
    if (mode == L"probe" && status == ERROR_SUCCESS) return 0;
    if (status != ERROR_SUCCESS) worst = status;
  }
  if (found == 0) return ERROR_FILE_NOT_FOUND;
  return static_cast<int>(worst);
}
