#include "discovery/folders.h"

#include <gtest/gtest.h>

#include "setup/fake_registry_test.h"
#include "setup/setup_context.h"
#include "ui/messages.h"
#include "ui/recording_shower_test.h"

namespace {

TEST(UninstallDirectoryTest, TakesEverythingUpToTheLastBackslashBeforeTheLastCharacter) {
  struct Case {
    const char* value;
    const char* directory;
  } cases[] = {
      {"C:\\Games\\Vespodar\\uninstall.exe", "C:\\Games\\Vespodar\\"},
      // A directory: its last character is not looked at, so its parent.
      {"C:\\Games\\Vespodar\\", "C:\\Games\\"},
      // Quoted, as Windows recommends for paths with blanks.
      {"\"C:\\Program Files\\Vespodar\\uninst.exe\"", "C:\\Program Files\\Vespodar\\"},
      {"\"C:\\Program Files\\Vespodar\\uninst.exe\" /S", "C:\\Program Files\\Vespodar\\"},
      {"\"C:\\Program Files\\Vespodar\\uninst.exe", "C:\\Program Files\\Vespodar\\"},
      // Unquoted arguments before the last backslash stay.
      {"C:\\Games\\uninst.exe /log=C:\\Temp\\u.log", "C:\\Games\\uninst.exe /log=C:\\Temp\\"},
      {"C:\\Игры\\Весподар\\uninst.exe", "C:\\Игры\\Весподар\\"},
      // Nothing usable: the caller keeps its default.
      {"", ""},
      {"\\", ""},
      {"uninst.exe", ""},
      {"\"\"", ""},
      {"\"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.directory, UninstallDirectory(c.value)) << c.value;
}

TEST(PathTextTest, TrailingBackslashRightsTestAndBranches) {
  std::string empty, plain = "C:", ended = "C:\\x\\";
  AddTrailingBackslash(empty);
  AddTrailingBackslash(plain);
  AddTrailingBackslash(ended);
  EXPECT_EQ("", empty);
  EXPECT_EQ("C:\\", plain);
  EXPECT_EQ("C:\\x\\", ended);

  EXPECT_TRUE(PassesRightsTest("C:\\"));
  EXPECT_TRUE(PassesRightsTest("D:\\Program Files\\"));
  EXPECT_FALSE(PassesRightsTest(""));
  EXPECT_FALSE(PassesRightsTest("\\\\server\\share\\"));
  EXPECT_FALSE(PassesRightsTest("CC:\\"));

  EXPECT_EQ("Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
            Wow6432Path("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"));

  EXPECT_EQ("\\\\?\\C:\\Program Files\\", ExtendedLengthPath("C:\\Program Files\\"));
  EXPECT_EQ("\\\\?\\UNC\\server\\share\\x", ExtendedLengthPath("\\\\server\\share\\x"));
  EXPECT_EQ("\\\\?\\C:\\x", ExtendedLengthPath("\\\\?\\C:\\x"));
  EXPECT_EQ("relative\\x", ExtendedLengthPath("relative\\x"));
  EXPECT_EQ("\\\\?\\C:\\", ExtendedLengthPath("C:\\"));
}

TEST(FoldersTest, ExtendedLengthPathResolvesWhatAPlainPathWould) {
  // An UninstallString may hold any of these; behind "\\?\" Windows would
  // look for a directory literally named "." or "..".
  EXPECT_EQ("\\\\?\\C:\\Program Files\\Vespodar\\Vespodar.exe",
            ExtendedLengthPath("C:\\Program Files\\Old\\..\\.\\Vespodar\\\\Vespodar.exe"));
  EXPECT_EQ("\\\\?\\C:\\Games\\Vespodar\\", ExtendedLengthPath("C:/Games//Vespodar/"));
  EXPECT_EQ("\\\\?\\C:\\x", ExtendedLengthPath("C:\\..\\..\\x"));
  EXPECT_EQ("\\\\?\\C:\\", ExtendedLengthPath("C:\\a\\..\\"));
  EXPECT_EQ("\\\\?\\C:\\a..\\...\\.b", ExtendedLengthPath("C:\\a..\\...\\.b"));
  // A network path keeps its server and share, whatever ".." says.
  EXPECT_EQ("\\\\?\\UNC\\server\\share\\y", ExtendedLengthPath("\\\\server\\share\\..\\..\\y"));
  EXPECT_EQ("\\\\?\\UNC\\server\\share", ExtendedLengthPath("//server/share"));
  EXPECT_EQ("\\\\?\\UNC\\server", ExtendedLengthPath("\\\\server"));
  EXPECT_EQ("\\\\server\\\\x", ExtendedLengthPath("\\\\server\\\\x"));
}

const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMain[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";
const char kWow[] = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";

class DiscoverFoldersTest : public ::testing::Test {
 protected:
  DiscoverFoldersTest() {
    fake = new FakeRegistry();
    context.registry.reset(fake);
    context.productName = "Vespodar";
    fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "C:\\Program Files");
  }
  SetupContext context;
  FakeRegistry* fake;
  RecordingShower shower;
};

TEST_F(DiscoverFoldersTest, ReadsShellFoldersWithBackslashes) {
  fake->AddText(RegistryRoot::kLocalMachine, kShellFolders, "Common Desktop", "C:\\Users\\Public\\Desktop");
  fake->AddText(RegistryRoot::kLocalMachine, kShellFolders, "Common Programs", "C:\\PD\\Programs");
  fake->AddText(RegistryRoot::kCurrentUser, kShellFolders, "Programs", "C:\\U\\Programs");
  fake->AddText(RegistryRoot::kCurrentUser, kShellFolders, "Desktop", "C:\\U\\Desktop\\");
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("C:\\Users\\Public\\Desktop\\", context.commonDesktopDir);
  EXPECT_EQ("C:\\PD\\Programs\\", context.commonProgramsDir);
  EXPECT_EQ("C:\\U\\Programs\\", context.userProgramsDir);
  EXPECT_EQ("C:\\U\\Desktop\\", context.desktopDir);
  EXPECT_EQ("", context.startupDir);
  EXPECT_TRUE(context.canInstall);
  EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", context.uninstallRoot);
  EXPECT_FALSE(fake->KeyOpen());

  // "Common Programs" exists only on the NT family.
  context.ntPlatform = false;
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("", context.commonProgramsDir);
}

TEST_F(DiscoverFoldersTest, InstallDirFromMainBranchThen32BitBranchThenDefault) {
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("C:\\Program Files\\Vespodar\\", context.installDir);

  fake->AddText(RegistryRoot::kLocalMachine, kWow, "UninstallString", "D:\\W\\Vespodar\\u.exe");
  // A main-branch key without the value falls through to the 32-bit branch.
  fake->AddKey(RegistryRoot::kLocalMachine, kMain);
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("D:\\W\\Vespodar\\", context.installDir);

  fake->AddText(RegistryRoot::kLocalMachine, kMain, "UninstallString", "E:\\M\\Vespodar\\u.exe");
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("E:\\M\\Vespodar\\", context.installDir);
  EXPECT_TRUE(shower.boxes.empty());
}

TEST_F(DiscoverFoldersTest, UnusableUninstallStringKeepsTheDefaultLocation) {
  fake->AddText(RegistryRoot::kLocalMachine, kMain, "UninstallString", "uninst.exe");
  fake->AddText(RegistryRoot::kLocalMachine, kWow, "UninstallString", "D:\\W\\Vespodar\\u.exe");
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_EQ("C:\\Program Files\\Vespodar\\", context.installDir);
}

TEST_F(DiscoverFoldersTest, UserWithoutRightsCannotOpenTheMachineKey) {
  fake->Deny(RegistryRoot::kLocalMachine, kWindowsKey);
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_FALSE(context.canInstall);
  // Without the Program Files path the default location has no drive.
  EXPECT_EQ("Vespodar\\", context.installDir);
}

TEST_F(DiscoverFoldersTest, NetworkProgramFilesFailsTheRightsTest) {
  fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "\\\\srv\\pf");
  ASSERT_TRUE(DiscoverFolders(context, shower));
  EXPECT_FALSE(context.canInstall);
}

TEST_F(DiscoverFoldersTest, NonTextValueAnywhereIsARegistryErrorAndClosesTheKey) {
  struct Case {
    RegistryRoot root;
    const char* key;
    const char* name;
  } cases[] = {
      {RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir"},
      {RegistryRoot::kLocalMachine, kShellFolders, "Common Desktop"},
      {RegistryRoot::kCurrentUser, kShellFolders, "Startup"},
      {RegistryRoot::kLocalMachine, kMain, "UninstallString"},
      {RegistryRoot::kLocalMachine, kWow, "UninstallString"},
  };
  for (const Case& c : cases) {
    SetupContext fresh;
    FakeRegistry* registry = new FakeRegistry();
    fresh.registry.reset(registry);
    fresh.productName = "Vespodar";
    fresh.russianUi = true;
    fresh.productCaptionRu = "Обновление программы \"Весподар\"";
    registry->AddNonText(c.root, c.key, c.name);
    RecordingShower boxes;
    EXPECT_FALSE(DiscoverFolders(fresh, boxes)) << c.name;
    ASSERT_EQ(1u, boxes.boxes.size()) << c.name;
    EXPECT_EQ("Нет доступа к системному реестру", boxes.boxes[0].text);
    EXPECT_EQ(0x19, boxes.boxes[0].language);
    EXPECT_FALSE(registry->KeyOpen()) << c.name;
  }
}

}  // namespace
