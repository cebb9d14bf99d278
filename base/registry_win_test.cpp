#include "base/registry_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win_text.h"

namespace vespodar {

namespace {

const wchar_t kTestKey[] = L"Software\\VespodarRegistryTest";

class RegistryWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeForTest();
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key_, nullptr));
    registry_ = CreateRegistryAccessor(kAllAccessMask);
  }
  void TearDown() override {
    registry_.reset();
    RegCloseKey(key_);
    RegDeleteTreeForTest();
  }
  static void RegDeleteTreeForTest() {
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VespodarRegistryTest\\Sub\\Deeper");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VespodarRegistryTest\\Sub");
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size));
  }
  void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  // The text of a value that must read cleanly.
  std::string Read(const char* name) {
    std::string text;
    std::uint32_t error = 0;
    EXPECT_TRUE(registry_->ReadText(name, &text, &error)) << name;
    return text;
  }

  HKEY key_ = nullptr;
  std::unique_ptr<RegistryAccessor> registry_;
};

TEST_F(RegistryWinTest, ReadsTextsOfAnyLengthAndScriptAsUtf8) {
  SetText(L"Plain", L"C:\\Program Files\\Vespodar\\uninst.exe");
  SetText(L"Cyrillic", L"C:\\\x0418\x0433\x0440\x044B\\\x0412\x0435\x0441\x043F\x043E\x0434\x0430\x0440");
  SetText(L"Chinese", L"D:\\\x6E38\x620F");
  SetText(L"Expand", L"%ProgramFiles%\\Vespodar", REG_EXPAND_SZ);
  SetText(L"Long", std::wstring(4000, L'x'));
  SetText(L"Empty", L"");
  // Stored without its terminating NUL, and with text after an inner NUL.
  Set(L"Unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
  Set(L"InnerNul", REG_SZ, L"ab\0cd", 6 * sizeof(wchar_t));

  registry_->SetRoot(RegistryRoot::kCurrentUser);
  ASSERT_TRUE(registry_->OpenKey("Software\\VespodarRegistryTest", false));
  EXPECT_EQ("C:\\Program Files\\Vespodar\\uninst.exe", Read("Plain"));
  EXPECT_EQ("C:\\Игры\\Весподар", Read("Cyrillic"));
  EXPECT_EQ("D:\\游戏", Read("Chinese"));
  EXPECT_EQ("%ProgramFiles%\\Vespodar", Read("Expand"));
  EXPECT_EQ(std::string(4000, 'x'), Read("Long"));
  EXPECT_EQ("", Read("Empty"));
  EXPECT_EQ("abc", Read("Unterminated"));
  EXPECT_EQ("ab", Read("InnerNul"));
  EXPECT_EQ("", Read("Missing"));
  EXPECT_TRUE(registry_->ValueExists("Empty"));
  EXPECT_FALSE(registry_->ValueExists("Missing"));
}

TEST_F(RegistryWinTest, NonTextValuesAreRefused) {
  const DWORD number = 5;
  Set(L"Dword", REG_DWORD, &number, sizeof(number));
  Set(L"Binary", REG_BINARY, "\x01\x02", 2);
  Set(L"Multi", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
  registry_->SetRoot(RegistryRoot::kCurrentUser);
  ASSERT_TRUE(registry_->OpenKey("Software\\VespodarRegistryTest", false));
  for (const char* name : {"Dword", "Binary", "Multi"}) {
    EXPECT_TRUE(registry_->ValueExists(name));
    std::string text = "stale";
    std::uint32_t error = 1;
    EXPECT_FALSE(registry_->ReadText(name, &text, &error)) << name;
    EXPECT_EQ(0u, error) << name;
    EXPECT_EQ("", text) << name;
  }
}

TEST_F(RegistryWinTest, OpensRelativeToOpenKeyCreatesAndWritesIntegers) {
  registry_->SetRoot(RegistryRoot::kCurrentUser);
  EXPECT_FALSE(registry_->ValueExists("Plain"));
  EXPECT_FALSE(registry_->OpenKey("Software\\VespodarRegistryTest\\Sub", false));
  ASSERT_TRUE(registry_->OpenKey("Software\\VespodarRegistryTest", false));
  // A failed open leaves the open key as it was.
  EXPECT_FALSE(registry_->OpenKey("Sub", false));
  ASSERT_TRUE(registry_->OpenKey("Sub\\Deeper", true));
  std::uint32_t error = 1;
  EXPECT_TRUE(registry_->WriteInteger("EstimatedSize", 4431, &error));
  registry_->CloseKey();
  // With no key open the write fails with the error of the open that failed.
  EXPECT_FALSE(registry_->OpenKey("Software\\VespodarRegistryTest\\Missing", false));
  EXPECT_FALSE(registry_->WriteInteger("EstimatedSize", 1, &error));
  EXPECT_EQ(static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND), error);

  HKEY deeper;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER,
                                         L"Software\\VespodarRegistryTest\\Sub\\Deeper", 0,
                                         KEY_READ, &deeper));
  DWORD type = 0, value = 0, size = sizeof(value);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(deeper, L"EstimatedSize", nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size));
  RegCloseKey(deeper);
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4431u, value);

  // A leading backslash goes back to the root.
  ASSERT_TRUE(registry_->OpenKey("Software\\VespodarRegistryTest\\Sub", false));
  EXPECT_TRUE(registry_->OpenKey("\\Software\\VespodarRegistryTest", false));
}

TEST_F(RegistryWinTest, ChangingTheRootClosesTheOpenKey) {
  SetText(L"Plain", L"x");
  registry_->SetRoot(RegistryRoot::kCurrentUser);
  ASSERT_TRUE(registry_->OpenKey("Software\\VespodarRegistryTest", false));
  registry_->SetRoot(RegistryRoot::kCurrentUser);
  EXPECT_TRUE(registry_->ValueExists("Plain"));
  registry_->SetRoot(RegistryRoot::kLocalMachine);
  EXPECT_FALSE(registry_->ValueExists("Plain"));
}

}  // namespace

}  // namespace vespodar
