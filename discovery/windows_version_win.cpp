#include "discovery/windows_version_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "discovery/windows_version.h"
#include "base/random.h"
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
const DWORD kCommandTimeoutMs = 10000;
// Fresh names to try when a drawn one already exists in Temp.
const int kNameAttempts = 8;

// The value of an environment variable, however long; empty when missing.
std::wstring EnvironmentVariable(const wchar_t* name) {
  std::vector<wchar_t> buffer(MAX_PATH);
  // The value may grow between the size query and the read: try again then.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length =
        GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
  return std::wstring();
}

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

// Creates an empty file of a fresh random name in directory, never one that
// exists already; the command's redirection then writes into it. Empty when
// no name could be had.
std::wstring CreateOutputFile(const std::wstring& directory) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::wstring path = directory + Widen(RandomLetters(8));
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) return path;
  }
  return std::wstring();
}

void RunHidden(const std::wstring& application, const std::wstring& commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  // CreateProcessW may write into the command line.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  // The application named apart from the command line: CreateProcess then
  // neither searches for it nor guesses where an unquoted path with blanks
  // ends. No handle of the setup is inherited.
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                      &process))
    return;
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  if (WaitForSingleObject(processHandle.handle, kCommandTimeoutMs) == WAIT_TIMEOUT) {
    // Terminated rather than left: its console is hidden, so nobody could
    // ever end it, and it would keep the output file open past our delete.
    TerminateProcess(processHandle.handle, 1);
    WaitForSingleObject(processHandle.handle, 1000);
  }
}

// The whole file; empty when it cannot be opened.
std::string ReadAndDelete(const std::wstring& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // A child of the interpreter may still hold the file; delete-on-close lets
  // the file go once the last holder lets go, instead of staying in Temp.
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | DELETE, share, nullptr,
                                OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.valid())
    file.handle = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  std::string bytes;
  if (file.valid()) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.handle, buffer, sizeof(buffer), &read, nullptr) && read > 0)
      bytes.append(buffer, read);
    file.Close();
  }
  DeleteFileW(path.c_str());
  return bytes;
}

}  // namespace

std::string RunConsoleCommand(const std::string& command) {
  // The interpreter runs with the setup's rights: it must be the one ComSpec
  // names by its full path, never a cmd.exe found by searching (the search
  // starts in the setup's own download folder), and neither value may carry
  // quotes or variables into the command line.
  const std::wstring comSpec = EnvironmentVariable(L"ComSpec");
  if (comSpec.empty() || !IsPlainAbsolutePath(Narrow(comSpec))) return std::string();
  std::wstring directory = EnvironmentVariable(L"Temp");
  if (!directory.empty() && directory[directory.size() - 1] != L'\\') directory += L'\\';
  // A Temp that is relative would put the output file into the current
  // directory; one with quotes could end the redirection's quoting.
  if (!IsPlainAbsolutePath(Narrow(directory))) return JoinConsoleLines(std::string());

  const std::wstring path = CreateOutputFile(directory);
  // Without a file of our own nothing could be captured; the command is not
  // worth running then.
  if (path.empty()) return JoinConsoleLines(std::string());
  RunHidden(comSpec, Widen(ConsoleCommandLine(Narrow(comSpec), command, Narrow(path))));
  return CodePageToUtf8(JoinConsoleLines(ReadAndDelete(path)), CP_OEMCP);
}

std::string DescribeWindows(bool includeVersion, bool* is64BitWindows) {
  Win32Queries queries;
  WindowsFacts facts = GatherWindowsFacts();
  facts.queries = &queries;
  return DescribeWindows(facts, includeVersion, is64BitWindows);
}

}  // namespace vespodar
