#include "discovery/folders.h"

#include <gtest/gtest.h>

#include "base/fake_registry_test.h"

namespace vespodar {

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

TEST(FolderTextTest, RightsTestAndBranches) {
  EXPECT_TRUE(PassesRightsTest("C:\\"));
  EXPECT_TRUE(PassesRightsTest("D:\\Program Files\\"));
  EXPECT_FALSE(PassesRightsTest(""));
  EXPECT_FALSE(PassesRightsTest("\\\\server\\share\\"));
  EXPECT_FALSE(PassesRightsTest("CC:\\"));

  EXPECT_EQ("Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
            Wow6432Path("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"));
}

const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMain[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";
const char kWow[] = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";

class DiscoverFoldersTest : public ::testing::Test {
 protected:
  DiscoverFoldersTest() {
    fake = &registry;
    fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "C:\\Program Files");
  }
  Folders Discover(bool ntPlatform = true) {
    Folders folders;
    std::uint32_t error = 0;
    EXPECT_TRUE(DiscoverFolders(registry, "Software\\Microsoft\\Windows\\CurrentVersion\\", "Vespodar",
                                ntPlatform, folders, &error));
    return folders;
  }
  FakeRegistry registry;
  FakeRegistry* fake;
};

TEST_F(DiscoverFoldersTest, ReadsShellFoldersWithBackslashes) {
  fake->AddText(RegistryRoot::kLocalMachine, kShellFolders, "Common Desktop", "C:\\Users\\Public\\Desktop");
  fake->AddText(RegistryRoot::kLocalMachine, kShellFolders, "Common Programs", "C:\\PD\\Programs");
  fake->AddText(RegistryRoot::kCurrentUser, kShellFolders, "Programs", "C:\\U\\Programs");
  fake->AddText(RegistryRoot::kCurrentUser, kShellFolders, "Desktop", "C:\\U\\Desktop\\");
  Folders folders = Discover();
  EXPECT_EQ("C:\\Users\\Public\\Desktop\\", folders.commonDesktopDir);
  EXPECT_EQ("C:\\PD\\Programs\\", folders.commonProgramsDir);
  EXPECT_EQ("C:\\U\\Programs\\", folders.userProgramsDir);
  EXPECT_EQ("C:\\U\\Desktop\\", folders.desktopDir);
  EXPECT_EQ("", folders.startupDir);
  EXPECT_TRUE(folders.canInstall);
  EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", folders.uninstallRoot);
  EXPECT_FALSE(fake->KeyOpen());

  // "Common Programs" exists only on the NT family.
  EXPECT_EQ("", Discover(false).commonProgramsDir);
}

TEST_F(DiscoverFoldersTest, InstallDirFromMainBranchThen32BitBranchThenDefault) {
  Folders folders = Discover();
  EXPECT_EQ("C:\\Program Files\\Vespodar\\", folders.installDir);
  EXPECT_EQ(InstallDirSource::kDefault, folders.installDirSource);
  EXPECT_EQ(InstallDirSource::kDefault, folders.entryBranch);

  fake->AddText(RegistryRoot::kLocalMachine, kWow, "UninstallString", "D:\\W\\Vespodar\\u.exe");
  // A main-branch key without the value falls through to the 32-bit branch.
  fake->AddKey(RegistryRoot::kLocalMachine, kMain);
  folders = Discover();
  EXPECT_EQ("D:\\W\\Vespodar\\", folders.installDir);
  EXPECT_EQ(InstallDirSource::kWow64Branch, folders.installDirSource);
  EXPECT_EQ(InstallDirSource::kWow64Branch, folders.entryBranch);

  fake->AddText(RegistryRoot::kLocalMachine, kMain, "UninstallString", "E:\\M\\Vespodar\\u.exe");
  folders = Discover();
  EXPECT_EQ("E:\\M\\Vespodar\\", folders.installDir);
  EXPECT_EQ(InstallDirSource::kMainBranch, folders.installDirSource);
}

TEST_F(DiscoverFoldersTest, UnusableUninstallStringKeepsTheDefaultLocation) {
  fake->AddText(RegistryRoot::kLocalMachine, kWow, "UninstallString", "D:\\W\\Vespodar\\u.exe");
  // No directory, or one that depends on the current drive or directory.
  for (const char* value : {"uninst.exe", "Vespodar\\uninst.exe", "\"..\\V\\u.exe\"",
                            "C:Vespodar\\uninst.exe", "\\Games\\Vespodar\\uninst.exe"}) {
    fake->AddText(RegistryRoot::kLocalMachine, kMain, "UninstallString", value);
    const Folders folders = Discover();
    EXPECT_EQ("C:\\Program Files\\Vespodar\\", folders.installDir) << value;
    EXPECT_EQ(InstallDirSource::kDefault, folders.installDirSource) << value;
    // The entry is still the product's: its size goes there.
    EXPECT_EQ(InstallDirSource::kMainBranch, folders.entryBranch) << value;
  }
}

TEST_F(DiscoverFoldersTest, UserWithoutRightsCannotOpenTheMachineKey) {
  fake->Deny(RegistryRoot::kLocalMachine, kWindowsKey);
  const Folders folders = Discover();
  EXPECT_FALSE(folders.canInstall);
  // Without the Program Files path the default location has no drive.
  EXPECT_EQ("Vespodar\\", folders.installDir);
}

TEST_F(DiscoverFoldersTest, NetworkProgramFilesFailsTheRightsTest) {
  fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "\\\\srv\\pf");
  EXPECT_FALSE(Discover().canInstall);
}

TEST_F(DiscoverFoldersTest, NonTextValueAnywhereFailsDiscoveryAndClosesTheKey) {
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
    FakeRegistry fresh;
    fresh.AddNonText(c.root, c.key, c.name);
    Folders folders;
    std::uint32_t error = 1;
    EXPECT_FALSE(DiscoverFolders(fresh, "Software\\Microsoft\\Windows\\CurrentVersion\\", "Vespodar",
                                 true, folders, &error))
        << c.name;
    EXPECT_EQ(0u, error) << c.name;
    EXPECT_FALSE(fresh.KeyOpen()) << c.name;
  }
}

}  // namespace

}  // namespace vespodar
