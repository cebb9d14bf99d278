#include "guard/version_probes_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ui/lang_unit_fake_test.h"
#include "base/win32_test_support_test.h"

namespace vespodar {

namespace {

// The sample programs are built beside this test.
std::string OwnDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string directory = Narrow(path, length);
  return directory.substr(0, directory.rfind('\\') + 1);
}

std::string Sample(const std::string& name) {
  return OwnDirectory() + "probe_sample_" + name + ".exe";
}

class VersionProbesWinTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    const std::string path = scratch.path + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
  RecordingLangErrors errors;
  ScratchDirectory scratch{"probes-Весподар"};
};

TEST_F(VersionProbesWinTest, DataFileFieldsAtTheirOffsets) {
  EXPECT_EQ(258, ReadPakVersion(Put("a.pak", std::string("pakfil\x02\x01rest", 12))));
  EXPECT_EQ(1, ReadCokVersion(Put("vdq2.cok", std::string("vdq\x00\x00\x01\x00rest", 11))));
  EXPECT_EQ(7, Read3bsVersion(Put("a.3bs", std::string("3bsfil\x07", 7))));
  // The same bytes read as another kind: other offsets, other widths.
  const std::string mixed = Put("mixed", std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08", 9));
  EXPECT_EQ(0x0706, ReadPakVersion(mixed));
  EXPECT_EQ(0x0605, ReadCokVersion(mixed));
  EXPECT_EQ(0x06, Read3bsVersion(mixed));
  // The largest values: the fields are unsigned.
  EXPECT_EQ(65535, ReadPakVersion(Put("max.pak", "pakfil\xff\xff")));
}

TEST_F(VersionProbesWinTest, ShortMissingHeldAndNonFilesReadAsZero) {
  EXPECT_EQ(0, ReadPakVersion(Put("short.pak", "pakfil\x02")));  // 7 bytes
  EXPECT_EQ(0, ReadCokVersion(Put("short.cok", "vdq\x01\x01\x01")));  // 6 bytes
  EXPECT_EQ(0, Read3bsVersion(Put("short.3bs", "3bsfil")));  // 6 bytes
  EXPECT_EQ(0, ReadPakVersion(Put("empty.pak", "")));
  EXPECT_EQ(0, ReadPakVersion(scratch.path + "missing.pak"));
  EXPECT_EQ(0, ReadCokVersion(scratch.path + "no\\such\\dir\\vdq2.cok"));
  ASSERT_TRUE(CreateDirectoryW(Widen(scratch.path + "dir.cok").c_str(), nullptr));
  EXPECT_EQ(0, ReadCokVersion(scratch.path + "dir.cok"));

  // Opened without sharing: a file another program has open reads as 0.
  const std::string held = Put("held.cok", std::string("vdq\x00\x00\x09\x00", 7));
  ASSERT_EQ(9, ReadCokVersion(held));
  HANDLE holder = CreateFileW(Widen(held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(0, ReadCokVersion(held));
  CloseHandle(holder);
  EXPECT_EQ(9, ReadCokVersion(held));
}

TEST_F(VersionProbesWinTest, LanguageFileVersions) {
  EXPECT_EQ(12, ReadLngVersion(errors, Put("a.lng", "[main]\r\nx\r\n[LANGVER]\r\n12\r\n")));
  EXPECT_EQ(31, ReadLngVersion(errors, Put("b.lng", "[main]\r\nx\r\n31\r\n")));
  EXPECT_EQ(-2, ReadLngVersion(errors, Put("c.lng", "[langver]\n-2")));
  // Missing: 0 without a word.
  EXPECT_EQ(0, ReadLngVersion(errors, scratch.path + "missing.lng"));
  EXPECT_TRUE(errors.files.empty());
}

TEST_F(VersionProbesWinTest, UnusableLanguageFileShowsItsPath) {
  // An indented header is no header, and the last line is no number.
  const std::string indented = Put("indented.lng", " [langver]\r\n4\r\ntext\r\n");
  EXPECT_EQ(0, ReadLngVersion(errors, indented));
  const std::string headerLast = Put("last.lng", "x\r\n[langver]\r\n");
  EXPECT_EQ(0, ReadLngVersion(errors, headerLast));
  EXPECT_EQ((std::vector<std::string>{indented, headerLast}), errors.files);

  // A file that cannot be opened for reading.
  const std::string locked = Put("locked.lng", "[langver]\r\n3\r\n");
  HANDLE holder = CreateFileW(Widen(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(0, ReadLngVersion(errors, locked));
  CloseHandle(holder);
  ASSERT_EQ(3u, errors.files.size());
  EXPECT_EQ(locked, errors.files[2]);
  // Others may read while the probe reads.
  holder = CreateFileW(Widen(locked).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(3, ReadLngVersion(errors, locked));
  CloseHandle(holder);
}

TEST_F(VersionProbesWinTest, ExecutableFileVersionFromTheFirstTranslation) {
  EXPECT_EQ("1.2.3.4", ReadExeFileVersion(Sample("versioned_a")));
  EXPECT_EQ("1.10.0.0", ReadExeFileVersion(Sample("versioned_b")));
  // The temporary copy the guard probes: "~" in the name, any script in the
  // path.
  const std::string copy = scratch.path + "~Весподар.exe";
  ASSERT_TRUE(CopyFileW(Widen(Sample("versioned_a")).c_str(), Widen(copy).c_str(), FALSE));
  EXPECT_EQ("1.2.3.4", ReadExeFileVersion(copy));
}

TEST_F(VersionProbesWinTest, NoVersionIsAnEmptyText) {
  ASSERT_NE("<missing>", ReadWholeFile(Sample("unversioned")));
  EXPECT_EQ("", ReadExeFileVersion(Sample("unversioned")));
  EXPECT_EQ("", ReadExeFileVersion(Put("text.exe", "This is not a program.\r\n")));
  EXPECT_EQ("", ReadExeFileVersion(Put("mz.exe", "MZ but nothing after it")));
  EXPECT_EQ("", ReadExeFileVersion(scratch.path + "missing.exe"));
  EXPECT_EQ("", ReadExeFileVersion(scratch.path));
}

}  // namespace

}  // namespace vespodar
