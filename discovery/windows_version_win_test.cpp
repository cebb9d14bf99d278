#include "discovery/windows_version_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "base/win_text.h"

namespace vespodar {

namespace {

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetEnvironmentVariableW(L"Temp", buffer, MAX_PATH * 4);
  std::wstring directory(buffer, length < MAX_PATH * 4 ? length : 0);
  if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
  return directory;
}

// Every name in directory.
std::set<std::wstring> Names(const std::wstring& directory) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((directory + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// Sets an environment variable for one test and puts the old value back.
struct ScopedVariable {
  const wchar_t* name;
  std::wstring saved;
  bool existed;
  ScopedVariable(const wchar_t* variable, const wchar_t* value) : name(variable) {
    wchar_t buffer[32767];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 32767);
    existed = length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    saved.assign(buffer, length);
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name, existed ? saved.c_str() : nullptr); }
};

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

const int kHelperRunMs = 14000;

// The interpreter is the system's own, whatever the environment names, and
// its output comes through no file: a ComSpec and a Temp that lead nowhere
// change nothing, and Temp gains no file.
TEST(RunConsoleCommand, RunsTheSystemInterpreterIntoNoFile) {
  const std::wstring temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  const std::set<std::wstring> before = Names(temp);
  for (const wchar_t* comSpec : {static_cast<const wchar_t*>(nullptr), L"C:\\nowhere\\cmd.exe",
                                 L"cmd.exe"}) {
    ScopedVariable interpreter(L"ComSpec", comSpec);
    const std::string output = RunConsoleCommand("ver");
    EXPECT_NE(output.find("Microsoft Windows"), std::string::npos) << output;
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(output.substr(output.size() - 2), "\r\n");
  }
  EXPECT_EQ(Names(temp), before);
}

// Whatever directory the setup was started in (a user's Downloads, with a
// planted cmd.exe or a batch of the user's), the interpreter runs in
// System32.
TEST(RunConsoleCommand, RunsInTheSystemDirectory) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  wchar_t previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(TempDirectory().c_str()));
  const std::string output = RunConsoleCommand("cd");
  SetCurrentDirectoryW(previous);
  const auto lower = [](std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
  };
  EXPECT_EQ(lower(Narrow(system, length)) + "\r\n", lower(output));
}

TEST(RunConsoleCommand, ConvertsFromTheOemCodePage) {
  // "type" copies the bytes as they are, so the file stands for any console
  // program's output. 0x82 means different letters in the OEM and the ANSI
  // code page, which tells the two conversions apart.
  const std::string bytes = "\x82t\x82";
  const std::string oem = CodePageToUtf8(bytes, CP_OEMCP);
  ASSERT_NE(oem, CodePageToUtf8(bytes, CP_ACP));
  const std::wstring path = TempDirectory() + L"wv-oem-sample.txt";
  ASSERT_TRUE(WriteWholeFile(path, bytes + "\r\n"));
  EXPECT_EQ(RunConsoleCommand("type \"" + Narrow(path) + "\""), oem + "\r\n");
  DeleteFileW(path.c_str());
}

// Run only as the child of the test below: a program that outlives the
// interpreter's time limit and holds the pipe's write end all along.
TEST(Helper, DISABLED_OutliveTheTimeLimit) {
  std::printf("helper started\n");
  std::fflush(stdout);
  Sleep(kHelperRunMs);
}

TEST(RunConsoleCommand, GivesUpOnAHangingCommandAndKeepsWhatCame) {
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  // Unquoted: "cmd /c" drops the first and last quote of a line that starts
  // with one.
  wchar_t shortSelf[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(self, shortSelf, MAX_PATH), 0u);
  const std::string command = Narrow(shortSelf) +
      " --gtest_also_run_disabled_tests --gtest_filter=Helper.DISABLED_OutliveTheTimeLimit";

  const DWORD start = GetTickCount();
  const std::string output = RunConsoleCommand(command);
  // Returned while the helper still held the pipe.
  EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(kHelperRunMs));
  EXPECT_NE(output.find("helper started"), std::string::npos) << output;
}

TEST(DescribeWindows, DescribesTheRunningSystem) {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  const bool native64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExW(&version));
  // The bitness is spelled out only from Vista to the releases reported as 6.x.
  const DWORD major = version.dwMajorVersion;

  for (bool includeVersion : {false, true}) {
    SCOPED_TRACE(includeVersion);
    bool is64 = !native64;
    const std::string description = DescribeWindows(includeVersion, &is64);
    EXPECT_EQ(description.rfind("Microsoft Windows", 0), 0u) << description;
    EXPECT_EQ(is64, native64) << description;
    if (major == 6) {
      EXPECT_NE(description.find(native64 ? " 64-bit" : " 32-bit"), std::string::npos)
          << description;
    }
  }
}

}  // namespace

}  // namespace vespodar
