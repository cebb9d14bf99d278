// The probes of the guard on real files, through the product directory's
// handle: the installed file opened relative to it, the package from the
// staging file's handle.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win32_test_support_test.h"
#include "guard/version_guard.h"
#include "install/product_files_win.h"
#include "ui/lang_unit_fake_test.h"

namespace vespodar {

namespace {

// The sample programs are built beside this test.
std::string Sample(const std::string& name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string directory = Narrow(path, length);
  return ReadWholeFile(directory.substr(0, directory.rfind('\\') + 1) + "probe_sample_" + name +
                       ".exe");
}

class StagedFileProbesWinTest : public ::testing::Test {
 protected:
  StagedFileProbesWinTest() {
    std::uint32_t error = 0;
    EXPECT_EQ(DirectoryOpen::kOpened, files.OpenDirectory(scratch.path, directory.receive(), &error));
  }
  // The probes of package (staged) over the file installed as name, which
  // holds installed (none when installed is null).
  StagedFileProbes& Probes(const std::string& name, const char* installed, std::size_t size,
                           const std::string& package = "package") {
    if (installed) {
      EXPECT_TRUE(WriteWholeFile(scratch.path + name, std::string(installed, size)));
    }
    std::uint32_t error = 0;
    EXPECT_TRUE(files.CreateNew(directory.get(), "~staged" + std::to_string(++count),
                                staged.receive(), &error));
    EXPECT_TRUE(files.Write(staged.get(), reinterpret_cast<const std::uint8_t*>(package.data()),
                            package.size(), &error));
    package_.reset(new StagedPackage{files, directory.get(), staged.get(), name,
                                     scratch.path + name, scratch.path + "~staged"});
    probes_.reset(new StagedFileProbes(*package_, errors));
    return *probes_;
  }
  StagedFileProbes& Probes(const std::string& name, const std::string& installed) {
    return Probes(name, installed.data(), installed.size());
  }

  ScratchDirectory scratch{"probes-Весподар"};
  Win32ProductFiles files;
  HeldFile directory{files};
  HeldFile staged{files};
  RecordingLangErrors errors;
  int count = 0;

 private:
  std::unique_ptr<StagedPackage> package_;
  std::unique_ptr<StagedFileProbes> probes_;
};

const ProbedFile kInstalled = ProbedFile::kInstalled;

TEST_F(StagedFileProbesWinTest, DataFileFieldsAtTheirOffsets) {
  EXPECT_EQ(258, Probes("a.pak", "pakfil\x02\x01rest", 12).ReadPakVersion(kInstalled));
  EXPECT_EQ(1, Probes("vdq2.cok", "vdq\x00\x00\x01\x00rest", 11).ReadCokVersion(kInstalled));
  EXPECT_EQ(7, Probes("a.3bs", "3bsfil\x07", 7).Read3bsVersion(kInstalled));
  // The same bytes read as another kind: other offsets, other widths.
  StagedFileProbes& mixed = Probes("mixed", "\x00\x01\x02\x03\x04\x05\x06\x07\x08", 9);
  EXPECT_EQ(0x0706, mixed.ReadPakVersion(kInstalled));
  EXPECT_EQ(0x0605, mixed.ReadCokVersion(kInstalled));
  EXPECT_EQ(0x06, mixed.Read3bsVersion(kInstalled));
  // The largest values: the fields are unsigned.
  EXPECT_EQ(65535, Probes("max.pak", "pakfil\xff\xff").ReadPakVersion(kInstalled));
  // The package's own version, from the staging file's handle.
  StagedFileProbes& package = Probes("p.cok", nullptr, 0, std::string("vdq\0\0\x05\0", 7));
  EXPECT_EQ(5, package.ReadCokVersion(ProbedFile::kPackage));
}

TEST_F(StagedFileProbesWinTest, ShortMissingHeldAndNonFilesReadAsZero) {
  EXPECT_EQ(0, Probes("short.pak", "pakfil\x02").ReadPakVersion(kInstalled));  // 7 bytes
  EXPECT_EQ(0, Probes("short.cok", "vdq\x01\x01\x01").ReadCokVersion(kInstalled));
  EXPECT_EQ(0, Probes("empty.pak", "").ReadPakVersion(kInstalled));
  EXPECT_EQ(0, Probes("missing.pak", nullptr, 0).ReadPakVersion(kInstalled));
  ASSERT_TRUE(CreateDirectoryW(Widen(scratch.path + "dir.cok").c_str(), nullptr));
  EXPECT_EQ(0, Probes("dir.cok", nullptr, 0).ReadCokVersion(kInstalled));
  // Never a path: a name that would climb out of the directory reads nothing.
  ASSERT_TRUE(WriteWholeFile(scratch.path + "outside.cok", std::string("vdq\0\0\x09\0", 7)));
  EXPECT_EQ(0, Probes("..\\outside.cok", nullptr, 0).ReadCokVersion(kInstalled));

  // A file another program holds without sharing reads as 0.
  StagedFileProbes& held = Probes("held.cok", "vdq\x00\x00\x09\x00", 7);
  ASSERT_EQ(9, held.ReadCokVersion(kInstalled));
  HANDLE holder = CreateFileW(Widen(scratch.path + "held.cok").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_EQ(0, held.ReadCokVersion(kInstalled));
  CloseHandle(holder);
}

TEST_F(StagedFileProbesWinTest, LanguageFileVersions) {
  EXPECT_EQ(12, Probes("a.lng", "[main]\r\nx\r\n[LANGVER]\r\n12\r\n").ReadLngVersion(kInstalled));
  EXPECT_EQ(31, Probes("b.lng", "[main]\r\nx\r\n31\r\n").ReadLngVersion(kInstalled));
  EXPECT_EQ(-2, Probes("c.lng", "[langver]\n-2").ReadLngVersion(kInstalled));
  EXPECT_TRUE(errors.files.empty());

  // An indented header is no header, and the last line is no number: the
  // file is named to the user.
  EXPECT_EQ(0, Probes("indented.lng", " [langver]\r\n4\r\ntext\r\n").ReadLngVersion(kInstalled));
  EXPECT_EQ(0, Probes("last.lng", "x\r\n[langver]\r\n").ReadLngVersion(kInstalled));
  EXPECT_EQ((std::vector<std::string>{scratch.path + "indented.lng", scratch.path + "last.lng"}),
            errors.files);
  // Others may read while the probe reads.
  StagedFileProbes& shared = Probes("shared.lng", "[langver]\r\n3\r\n");
  HANDLE holder = CreateFileW(Widen(scratch.path + "shared.lng").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(3, shared.ReadLngVersion(kInstalled));
  CloseHandle(holder);
}

TEST_F(StagedFileProbesWinTest, ExecutableFileVersionFromTheFirstTranslation) {
  const std::string a = Sample("versioned_a");
  const std::string b = Sample("versioned_b");
  const std::string none = Sample("unversioned");
  ASSERT_NE("<missing>", none);
  EXPECT_EQ("1.2.3.4", Probes("Vespodar.exe", a).ReadExeFileVersion(kInstalled));
  EXPECT_EQ("1.10.0.0", Probes("Весподар.exe", b).ReadExeFileVersion(kInstalled));
  EXPECT_EQ("1.2.3.4", Probes("x.exe", nullptr, 0, a).ReadExeFileVersion(ProbedFile::kPackage));
  EXPECT_EQ("", Probes("none.exe", none).ReadExeFileVersion(kInstalled));
  EXPECT_EQ("", Probes("text.exe", "This is not a program.\r\n").ReadExeFileVersion(kInstalled));
  EXPECT_EQ("", Probes("mz.exe", "MZ but nothing after it").ReadExeFileVersion(kInstalled));
  EXPECT_EQ("", Probes("missing.exe", nullptr, 0).ReadExeFileVersion(kInstalled));
}

}  // namespace

}  // namespace vespodar
