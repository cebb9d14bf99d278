#include "install/package_writer_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/win32_test_support_test.h"

namespace vespodar {

namespace {

const std::string kPackage("Vespodar test package\r\n\x00\x01\x02\x03" "end", 30);

DWORD WINAPI ReleaseLater(void* handle) {
  Sleep(1000);
  CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

class PackageWriterWinTest : public ::testing::Test {
 protected:
  InstallOutcome Install(const std::string& target) {
    last = InstallPackageFile("testpkg", "cok", target);
    return last.outcome;
  }
  PackageWrite last;
  ScratchDirectory scratch{"writer-Весподар"};
};

TEST_F(PackageWriterWinTest, WritesTheResourceBytesAndReplacesAnOldFile) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_EQ(InstallOutcome::kInstalled, Install(target));
  EXPECT_EQ(kPackage, ReadWholeFile(target));

  ASSERT_TRUE(WriteWholeFile(target, std::string(100000, 'o')));
  ASSERT_EQ(InstallOutcome::kInstalled, Install(target));
  EXPECT_EQ(kPackage, ReadWholeFile(target));
  EXPECT_EQ(0u, last.windowsError);
  // Nothing but the target is left in the directory.
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
}

TEST_F(PackageWriterWinTest, FailuresReportTheirWindowsErrorAndLeaveNothingBehind) {
  EXPECT_EQ(InstallOutcome::kFailed, Install(scratch.path + "missing\\vdq2.cok"));
  EXPECT_EQ(static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND), last.windowsError);

  const std::string directory = scratch.path + "vdq2.cok";
  ASSERT_TRUE(CreateDirectoryW(Widen(directory).c_str(), nullptr));
  EXPECT_EQ(InstallOutcome::kFailed, Install(directory));
  EXPECT_EQ(static_cast<std::uint32_t>(kErrorDirectoryNotSupported), last.windowsError);
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
}

TEST_F(PackageWriterWinTest, MissingResourceIsAnInstallFailure) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  last = InstallPackageFile("nosuch", "cok", target);
  EXPECT_EQ(InstallOutcome::kFailed, last.outcome);
  EXPECT_NE(0u, last.windowsError);
  EXPECT_EQ("old", ReadWholeFile(target));
}

// Held beyond the retry: the old file stays whole, and the whole new one waits
// beside it for the caller, who schedules it for the restart or removes it.
TEST_F(PackageWriterWinTest, TargetHeldOpenKeepsTheOldFileWhole) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old content"));
  HANDLE holder = CreateFileW(Widen(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(InstallOutcome::kInUse, Install(target));
  CloseHandle(holder);
  EXPECT_EQ("old content", ReadWholeFile(target));
  EXPECT_EQ(kPackage, ReadWholeFile(last.staging));
  // A held file refuses the rename with one of these, as Windows and Wine do.
  EXPECT_TRUE(last.windowsError == ERROR_SHARING_VIOLATION ||
              last.windowsError == ERROR_ACCESS_DENIED)
      << last.windowsError;
  RemoveStagingFile(last.staging);
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
}

TEST_F(PackageWriterWinTest, TargetReleasedWhileRetryingIsReplaced) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old content"));
  HANDLE holder = CreateFileW(Widen(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  // A scanner that lets go after a second.
  HANDLE releaser = CreateThread(nullptr, 0, ReleaseLater, holder, 0, nullptr);
  EXPECT_EQ(InstallOutcome::kInstalled, Install(target));
  WaitForSingleObject(releaser, INFINITE);
  CloseHandle(releaser);
  EXPECT_EQ(kPackage, ReadWholeFile(target));
}

TEST_F(PackageWriterWinTest, TargetPastTheClassicPathLimit) {
  std::string deep = scratch.path;
  while (deep.size() < 280) {
    deep += std::string(50, 'p') + "\\";
    ASSERT_TRUE(CreateDirectoryW(Widen("\\\\?\\" + deep).c_str(), nullptr));
  }
  ASSERT_EQ(InstallOutcome::kInstalled, Install(deep + "vdq2.cok"));
  EXPECT_EQ(kPackage, ReadWholeFile(deep + "vdq2.cok"));
}

}  // namespace

}  // namespace vespodar
