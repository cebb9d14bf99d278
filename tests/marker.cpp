// Leaves a file NAME.ran beside the program or DLL NAME whenever it runs.
// Planted where the setup must never start or load it: as the command
// interpreter that the user's environment names, or as a DLL of a system
// name beside the setup.
#include <windows.h>

namespace {

void Mark(HMODULE self) {
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcpyW(path + length, L".ran");
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

#ifdef MARKER_DLL
extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Mark(self);
  return TRUE;
}
#else
int main() {
  Mark(nullptr);
  return 0;
}
#endif
