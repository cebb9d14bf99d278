#include "discovery/windows_version_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/random.h"
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

bool IsEightLetterName(const wchar_t* name) {
  for (int i = 0; i < 8; ++i)
    if (name[i] < L'a' || name[i] > L'z') return false;
  return name[8] == L'\0';
}

// The names in Temp that RunConsoleCommand could have drawn.
std::set<std::wstring> EightLetterFiles(const std::wstring& directory) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((directory + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (IsEightLetterName(data.cFileName)) names.insert(data.cFileName);
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

std::string ReadWholeFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
  char buffer[256];
  DWORD read = 0;
  std::string text;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

const int kHelperRunMs = 14000;

TEST(RunConsoleCommand, CapturesVerAndLeavesNoFileBehind) {
  const std::wstring temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  const std::set<std::wstring> before = EightLetterFiles(temp);

  const std::string output = RunConsoleCommand("ver");
  EXPECT_NE(output.find("Microsoft Windows"), std::string::npos) << output;
  ASSERT_GE(output.size(), 2u);
  EXPECT_EQ(output.substr(output.size() - 2), "\r\n");

  for (const std::wstring& name : EightLetterFiles(temp))
    EXPECT_TRUE(before.count(name)) << "left behind: " << Narrow(name);
}

TEST(RunConsoleCommand, NeverOverwritesAnExistingFile) {
  const std::wstring temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
  SeedRandom(12345);
  const std::wstring taken = temp + Widen(RandomLetters(8));
  SeedRandom(12345);

  const char kContent[] = "not yours";
  ASSERT_TRUE(WriteWholeFile(taken, kContent));

  const std::string output = RunConsoleCommand("ver");
  EXPECT_EQ(ReadWholeFile(taken), kContent);
  // It drew another name and still got the output.
  EXPECT_NE(output.find("Microsoft Windows"), std::string::npos) << output;
  DeleteFileW(taken.c_str());
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

TEST(RunConsoleCommand, EmptyWithoutCommandInterpreter) {
  ScopedVariable noComSpec(L"ComSpec", nullptr);
  EXPECT_EQ(RunConsoleCommand("ver"), "");
}

TEST(RunConsoleCommand, RunsNoInterpreterThatWouldBeSearchedFor) {
  // A relative ComSpec would be looked for in the setup's own folder first.
  ScopedVariable relative(L"ComSpec", L"cmd.exe");
  EXPECT_EQ(RunConsoleCommand("ver"), "");
}

TEST(RunConsoleCommand, TempCannotSmuggleACommandIn) {
  // A folder whose name holds a variable: the interpreter expands it inside
  // the redirection's quotes, and a quote in the variable's value ends them,
  // so that the rest would run as a command of its own, with the setup's
  // rights. Such a Temp is refused: the command is not run at all.
  const std::wstring temp = TempDirectory();
  const std::wstring folder = temp + L"wv%VESPODAR_WV_INJECT%dir\\";
  const std::wstring marker = temp + L"wv-smuggled.txt";
  DeleteFileW(marker.c_str());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring payload = L"\" & echo x > \"" + marker + L"\" & rem \"";
  {
    ScopedVariable inject(L"VESPODAR_WV_INJECT", payload.c_str());
    ScopedVariable badTemp(L"Temp", folder.c_str());
    EXPECT_EQ(RunConsoleCommand("ver"), "\r\n");
  }
  EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the command ran";
  DeleteFileW(marker.c_str());
  EXPECT_TRUE(EightLetterFiles(folder).empty());
  RemoveDirectoryW(folder.c_str());
  // Nor may a relative Temp put the output file into the current directory.
  ScopedVariable relative(L"Temp", L"output");
  EXPECT_EQ(RunConsoleCommand("ver"), "\r\n");
}

TEST(RunConsoleCommand, MissingTempDirectoryGivesOneEmptyLine) {
  ScopedVariable badTemp(L"Temp", L"C:\\no such directory here");
  EXPECT_EQ(RunConsoleCommand("ver"), "\r\n");
}

// Run only as the child of the test below: a program that outlives the
// interpreter's time limit and holds the redirected output all along.
TEST(Helper, DISABLED_OutliveTheTimeLimit) { Sleep(kHelperRunMs); }

TEST(RunConsoleCommand, GivesUpOnAHangingCommandAndCleansUp) {
  const std::wstring temp = TempDirectory();
  const std::set<std::wstring> before = EightLetterFiles(temp);
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
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 9000u);
  EXPECT_LT(elapsed, static_cast<DWORD>(kHelperRunMs));
  // What the helper printed before the limit is kept.
  EXPECT_NE(output.find("Helper.DISABLED_OutliveTheTimeLimit"), std::string::npos) << output;

  // The helper still holds the file; it must go once the helper ends.
  std::set<std::wstring> after;
  for (int wait = 0; wait < 200; ++wait) {
    after = EightLetterFiles(temp);
    bool leftover = false;
    for (const std::wstring& name : after) leftover = leftover || !before.count(name);
    if (!leftover) break;
    Sleep(100);
  }
  for (const std::wstring& name : after)
    EXPECT_TRUE(before.count(name)) << "left behind: " << Narrow(name);
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
