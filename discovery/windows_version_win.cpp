#include "discovery/windows_version_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "discovery/windows_version.h"
#include "base/scoped_handle_win.h"
#include "base/system_dll_win.h"
#include "base/win_text.h"

namespace vespodar {

namespace {

// KEY_ALL_ACCESS with KEY_WOW64_64KEY: a 32-bit process must see the 64-bit
// view, whose ProductName is the real one. Windows grants the mask only to
// administrators; a refusal simply leaves the name built from the version.
const REGSAM kProductNameAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;  // 0xF013F

// A command that hangs (one that waits for console input, say) must not hang
// start-up; "ver" itself takes well under a second.
const DWORD kCommandTimeoutMs = 5000;
const DWORD kPollMs = 10;

// A text value up to its first NUL. nullopt when the key does not open, the
// value is missing, or it is not a text: a wrong type is the registry's
// business, not a reason to stop the setup.
std::optional<std::string> ReadProductName() {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
               kProductNameAccess) != ERROR_SUCCESS)
    return std::nullopt;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), L"ProductName", nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (size == 0) return std::string();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
    const LONG result = RegQueryValueExW(key.get(), L"ProductName", nullptr, &type,
                                         reinterpret_cast<BYTE*>(text.data()), &read);
    if (result == ERROR_MORE_DATA) continue;  // it grew meanwhile
    if (result != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    const std::size_t count = read / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < count && text[length] != L'\0') ++length;
    return Narrow(text.data(), length);
  }
  return std::nullopt;
}

std::optional<std::string> ReadProductOptionsType() {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
               KEY_QUERY_VALUE) != ERROR_SUCCESS)
    return std::nullopt;
  // 256 characters: the same texts fit as in a 256-byte single-byte buffer,
  // and a longer one fails the read in both.
  wchar_t text[256] = {};
  DWORD type = 0;
  DWORD size = sizeof(text);
  if (RegQueryValueExW(key.get(), L"ProductType", nullptr, &type, reinterpret_cast<BYTE*>(text),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  const std::size_t count = size / sizeof(wchar_t);
  std::size_t length = 0;
  while (length < count && text[length] != L'\0') ++length;
  return Narrow(text, length);
}

bool HasHotfixQ246009() {
  RegKey key;
  return key.Open(HKEY_LOCAL_MACHINE,
                  L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009",
                  KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

class Win32Queries final : public WindowsQueries {
 public:
  std::optional<std::string> ProductName() override { return ReadProductName(); }
  std::optional<std::string> ProductOptionsType() override { return ReadProductOptionsType(); }
  bool HasHotfixQ246009() override { return vespodar::HasHotfixQ246009(); }
  std::string VerOutput() override { return RunConsoleCommand("ver"); }
};

std::uint16_t NativeArchitecture() {
  SYSTEM_INFO info = {};
  // GetNativeSystemInfo is XP and later, and only it tells a 32-bit process
  // on 64-bit Windows the truth; look it up so that older systems still run.
  typedef void(WINAPI * NativeSystemInfoProc)(LPSYSTEM_INFO);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, "GetNativeSystemInfo") : nullptr;
  if (proc)
    reinterpret_cast<NativeSystemInfoProc>(reinterpret_cast<void (*)()>(proc))(&info);
  else
    GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

WindowsFacts GatherWindowsFacts() {
  WindowsFacts facts;
  OSVERSIONINFOEXW extended = {};
  extended.dwOSVersionInfoSize = sizeof(extended);
  OSVERSIONINFOW* version = reinterpret_cast<OSVERSIONINFOW*>(&extended);
  if (GetVersionExW(version)) {
    facts.record = VersionRecord::kExtended;
    facts.suiteMask = extended.wSuiteMask;
    facts.productType = extended.wProductType;
  } else {
    // NT 4 before SP6 knows only the basic record.
    extended = OSVERSIONINFOEXW();
    version->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(version)) return facts;
    facts.record = VersionRecord::kBasic;
  }
  facts.major = version->dwMajorVersion;
  facts.minor = version->dwMinorVersion;
  facts.build = version->dwBuildNumber;
  facts.platformId = version->dwPlatformId;
  std::size_t length = 0;
  const std::size_t capacity = sizeof(version->szCSDVersion) / sizeof(wchar_t);
  while (length < capacity && version->szCSDVersion[length] != L'\0') ++length;
  facts.servicePack = Narrow(version->szCSDVersion, length);

  facts.architecture = NativeArchitecture();
  if (NeedsSystemMetrics(facts)) {
    const UserFunctions& user = User32();
    facts.tabletPc = user.GetSystemMetrics(SM_TABLETPC) != 0;
    facts.mediaCenter = user.GetSystemMetrics(SM_MEDIACENTER) != 0;
    facts.starter = user.GetSystemMetrics(SM_STARTER) != 0;
    facts.serverR2 = user.GetSystemMetrics(SM_SERVERR2) != 0;
  }

  return facts;
}

// The system directory, where the system's own interpreter lives: never the
// one the user's ComSpec names, nor one found by a search that starts in the
// setup's download folder. It is the interpreter's current directory too,
// never the caller's.
std::wstring SystemDirectory() {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(directory, length);
}

// From Vista on, a child can be given the one handle it is to inherit
// (PROC_THREAD_ATTRIBUTE_HANDLE_LIST), rather than every inheritable handle
// that the setup got from whoever started it. Looked up: XP has none of it,
// and there the child inherits what is inheritable, as before.
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE handle) : handle_(handle) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto initialize =
        FindFunction<BOOL(WINAPI*)(void*, DWORD, DWORD, SIZE_T*)>(kernel,
                                                                  "InitializeProcThreadAttributeList");
    const auto update = FindFunction<BOOL(WINAPI*)(void*, DWORD, DWORD_PTR, void*, SIZE_T, void*,
                                                   SIZE_T*)>(kernel, "UpdateProcThreadAttribute");
    remove_ = FindFunction<void(WINAPI*)(void*)>(kernel, "DeleteProcThreadAttributeList");
    if (!initialize || !update || !remove_) return;
    SIZE_T size = 0;
    initialize(nullptr, 1, 0, &size);
    storage_.resize(size);
    const DWORD_PTR kHandleList = 0x20002;  // PROC_THREAD_ATTRIBUTE_HANDLE_LIST
    if (size == 0 || !initialize(storage_.data(), 1, 0, &size)) return;
    initialized_ = true;
    if (!update(storage_.data(), 0, kHandleList, &handle_, sizeof(handle_), nullptr, nullptr))
      return;
    list_ = storage_.data();
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;
  ~InheritOnly() {
    if (initialized_) remove_(storage_.data());
  }
  // nullptr where the system cannot say.
  void* list() const { return list_; }

 private:
  HANDLE handle_;
  void(WINAPI* remove_)(void*) = nullptr;
  std::vector<unsigned char> storage_;
  bool initialized_ = false;
  void* list_ = nullptr;
};

// STARTUPINFOEXW, which the headers declare for Vista and later targets only.
struct StartupInfoWithAttributes {
  STARTUPINFOW startup;
  void* attributes;
};

// Everything that comes through the pipe until its last writer lets go or
// the time is up; then the interpreter is ended if it still runs.
std::string ReadUntilClosed(HANDLE pipe, HANDLE process) {
  std::string bytes;
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD available = 0;
    // Fails once every writer has closed its end: the output is complete.
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available > 0) {
      char buffer[512];
      DWORD read = 0;
      if (!ReadFile(pipe, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &read,
                    nullptr))
        break;
      bytes.append(buffer, read);
    } else if (GetTickCount() - start >= kCommandTimeoutMs) {
      break;
    } else {
      WaitForSingleObject(process, kPollMs);
    }
  }
  // Its window is hidden: nobody else could ever end it.
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
  return bytes;
}

}  // namespace

std::string RunConsoleCommand(const std::string& command) {
  const std::wstring directory = SystemDirectory();
  if (directory.empty()) return std::string();
  const std::wstring interpreter = directory + L"\\cmd.exe";
  // The output comes through an anonymous pipe: no file by any name, in no
  // folder that the user could prepare. Only its write end is inherited.
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return JoinConsoleLines(std::string());
  ScopedHandle reader(readEnd);
  ScopedHandle writer(writeEnd);
  if (!SetHandleInformation(reader.handle, HANDLE_FLAG_INHERIT, 0))
    return JoinConsoleLines(std::string());

  const InheritOnly inheritOnly(writer.handle);
  StartupInfoWithAttributes startup = {};
  startup.startup.cb = sizeof(startup.startup);
  DWORD flags = CREATE_NO_WINDOW;
  if (inheritOnly.list()) {
    startup.startup.cb = sizeof(startup);
    startup.attributes = inheritOnly.list();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  startup.startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.startup.wShowWindow = SW_HIDE;
  startup.startup.hStdOutput = writer.handle;
  startup.startup.hStdError = writer.handle;
  // "/d": the user's AutoRun commands (HKCU\Software\Microsoft\Command
  // Processor) would otherwise run first, with the setup's rights.
  std::wstring line = L"\"" + interpreter + L"\" /d /c " + Widen(command);
  PROCESS_INFORMATION process = {};
  // The application named apart from the command line: CreateProcess then
  // neither searches for it nor guesses where a path with blanks ends.
  if (!CreateProcessW(interpreter.c_str(), &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                      directory.c_str(), &startup.startup, &process))
    return JoinConsoleLines(std::string());
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  // Ours closed, the pipe breaks once the interpreter (and whatever it
  // started) has ended.
  writer.Close();
  return CodePageToUtf8(JoinConsoleLines(ReadUntilClosed(reader.handle, processHandle.handle)),
                        CP_OEMCP);
}

std::string DescribeWindows(bool includeVersion, bool* is64BitWindows) {
  Win32Queries queries;
  WindowsFacts facts = GatherWindowsFacts();
  facts.queries = &queries;
  return DescribeWindows(facts, includeVersion, is64BitWindows);
}

}  // namespace vespodar
