// The one write on real files: the package resource of this test read from
// its own file, written through the product directory's handle.
#include "install/package_writer_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "base/win32_test_support_test.h"
#include "install/product_files_win.h"

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
  InstallOutcome Install(const std::string& directory, const std::string& name = "vdq2.cok",
                         const std::string& resource = "testpkg") {
    OwnFilePackage package;
    std::uint32_t error = 0;
    if (!package.Load(resource, "cok", &error)) {
      last = PackageWrite();
      last.windowsError = error;
      return InstallOutcome::kFailed;
    }
    writer.reset(new PackageWriter(files));
    last = writer->Write(directory, name, package, nullptr);
    return last.outcome;
  }
  HANDLE Hold(const std::string& path) {
    return CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  PackageWrite last;
  ScratchDirectory scratch{"writer-Весподар"};
  Win32ProductFiles files;
  std::unique_ptr<PackageWriter> writer;
};

TEST_F(PackageWriterWinTest, WritesTheResourceBytesAndReplacesAnOldFile) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_EQ(InstallOutcome::kInstalled, Install(scratch.path));
  EXPECT_EQ(kPackage, ReadWholeFile(target));

  ASSERT_TRUE(WriteWholeFile(target, std::string(100000, 'o')));
  ASSERT_EQ(InstallOutcome::kInstalled, Install(scratch.path));
  EXPECT_EQ(kPackage, ReadWholeFile(target));
  EXPECT_EQ(0u, last.windowsError);
  // Nothing but the target is left in the directory.
  writer.reset();
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
}

TEST_F(PackageWriterWinTest, FailuresReportTheirWindowsErrorAndLeaveNothingBehind) {
  EXPECT_EQ(InstallOutcome::kFailed, Install(scratch.path + "missing\\"));
  EXPECT_TRUE(last.windowsError == ERROR_FILE_NOT_FOUND ||
              last.windowsError == ERROR_PATH_NOT_FOUND)
      << last.windowsError;
  EXPECT_EQ("the product directory cannot be opened", last.refusal);

  ASSERT_TRUE(WriteWholeFile(scratch.path + "file", "a file"));
  EXPECT_EQ(InstallOutcome::kFailed, Install(scratch.path + "file\\"));

  ASSERT_TRUE(CreateDirectoryW(Widen(scratch.path + "vdq2.cok").c_str(), nullptr));
  EXPECT_EQ(InstallOutcome::kFailed, Install(scratch.path));
  EXPECT_EQ(static_cast<std::uint32_t>(kErrorDirectoryNotSupported), last.windowsError);
  writer.reset();
  EXPECT_EQ("file\nvdq2.cok\n", scratch.Listing());
}

TEST_F(PackageWriterWinTest, MissingResourceIsAnInstallFailure) {
  ASSERT_TRUE(WriteWholeFile(scratch.path + "vdq2.cok", "old"));
  EXPECT_EQ(InstallOutcome::kFailed, Install(scratch.path, "vdq2.cok", "nosuch"));
  EXPECT_NE(0u, last.windowsError);
  EXPECT_EQ("old", ReadWholeFile(scratch.path + "vdq2.cok"));
}

// Held beyond the retry: the old file stays whole, and the whole new one waits
// beside it for the caller, who schedules it for the restart or removes it.
// Meanwhile nobody can rename the directory the setup works in.
TEST_F(PackageWriterWinTest, TargetHeldOpenKeepsTheOldFileWholeAndTheDirectoryInPlace) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old content"));
  HANDLE holder = Hold(target);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  {
    InstantRetryPauses pauses;
    EXPECT_EQ(InstallOutcome::kInUse, Install(scratch.path));
    // Tried again for the whole retry, and no longer.
    EXPECT_EQ(kReplaceRetryMs, pauses.ms);
  }
  CloseHandle(holder);
  EXPECT_EQ("old content", ReadWholeFile(target));
  // A held target refuses the rename with one of these, as Windows and Wine do.
  EXPECT_TRUE(IsBusyError(last.windowsError)) << last.windowsError;

  std::string moved = scratch.path;
  moved.back() = '2';
  std::string from = scratch.path;
  from.pop_back();
  EXPECT_FALSE(MoveFileW(Widen(from).c_str(), Widen(moved).c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());

  writer->RemoveStaging();
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
  writer.reset();
  EXPECT_TRUE(MoveFileW(Widen(from).c_str(), Widen(moved).c_str()));
  EXPECT_TRUE(MoveFileW(Widen(moved).c_str(), Widen(from).c_str()));
}

TEST_F(PackageWriterWinTest, HeldTargetScheduledForTheRestart) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old content"));
  HANDLE holder = Hold(target);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  {
    InstantRetryPauses pauses;
    ASSERT_EQ(InstallOutcome::kInUse, Install(scratch.path));
  }
  std::uint32_t error = 0;
  EXPECT_TRUE(writer->ReplaceAtRestart(&error)) << error;
  CloseHandle(holder);
  writer.reset();
  // The staging file stays for the restart, whole.
  EXPECT_EQ(kPackage, ReadWholeFile(last.staging));
  // Not left to a real restart of the test machine.
  MoveFileExW(Widen(last.staging).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  DeleteFileW(Widen(last.staging).c_str());
}

TEST_F(PackageWriterWinTest, TargetReleasedWhileRetryingIsReplaced) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, "old content"));
  HANDLE holder = Hold(target);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  // A scanner that lets go after a second.
  HANDLE releaser = CreateThread(nullptr, 0, ReleaseLater, holder, 0, nullptr);
  EXPECT_EQ(InstallOutcome::kInstalled, Install(scratch.path));
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
  ASSERT_EQ(InstallOutcome::kInstalled, Install(deep));
  EXPECT_EQ(kPackage, ReadWholeFile(deep + "vdq2.cok"));
}

}  // namespace

}  // namespace vespodar
