// The guarded write end to end on real files: the one write with the guard
// as its judge, the packages of version_guard_win_test.rc, and a scripted
// user.

#include "guard/version_guard_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "base/win32_test_support_test.h"
#include "install/package_writer_win.h"
#include "install/product_files_win.h"
#include "ui/lang_unit_win.h"
#include "ui/progress_window_win.h"

namespace vespodar {

namespace {

const int kAnswerNo = 7;
const std::string kCokPackage("vdq\0\0\x05\0content", 14);
const std::string kLngPackage = "[soundquest]\r\nQ\r\n[LangVer]\r\n4\r\n";

std::string OwnDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string directory = Narrow(path, length);
  return directory.substr(0, directory.rfind('\\') + 1);
}

std::string CokWithVersion(unsigned char version) {
  return std::string("vdq\0\0", 5) + static_cast<char>(version) + std::string("\0installed", 10);
}

// Answers every question with answer; beforeAnswer runs while the box is up.
class ScriptedPrompts : public GuardPrompts {
 public:
  int answer = kAnswerYes;
  std::function<void()> beforeAnswer;
  std::vector<MessageBoxSpec> boxes;
  std::vector<std::string> langFileErrors;
  bool MayAsk() override { return true; }
  Answer Ask(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    if (beforeAnswer) beforeAnswer();
    return AnswerOf(answer);
  }
  void ShowLangFileError(const std::string& fileName) override {
    langFileErrors.push_back(fileName);
  }
};

// Package bytes that are not a resource of the test.
class BytesSource : public PackageSource {
 public:
  explicit BytesSource(const std::string& bytes) : bytes_(bytes) {}
  bool ForEachPiece(const TakeBytes& take, std::uint32_t*) override {
    return take(reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size());
  }

 private:
  const std::string& bytes_;
};

class VersionGuardWinTest : public ::testing::Test {
 protected:
  // The package resource (name, type) written to target.
  InstallOutcome Install(const std::string& name, const std::string& type,
                         const std::string& target) {
    OwnFilePackage package;
    std::uint32_t error = 0;
    if (!package.Load(name, type, &error)) return InstallOutcome::kFailed;
    return Write(package, type, target);
  }
  InstallOutcome Guarded(const std::string& bytes, const std::string& type,
                         const std::string& target) {
    BytesSource source(bytes);
    return Write(source, type, target);
  }
  InstallOutcome Write(PackageSource& source, const std::string& type, const std::string& target) {
    const std::size_t slash = target.rfind('\\') + 1;
    writer.reset(new PackageWriter(files));
    last = WritePackageGuarded(*writer, source, target.substr(0, slash), target.substr(slash), type,
                               russianUi, shower);
    return last.outcome;
  }
  bool russianUi = false;
  PackageWrite last;
  ScriptedPrompts shower;
  ScratchDirectory scratch{"guard-Весподар"};
  Win32ProductFiles files;
  std::unique_ptr<PackageWriter> writer;
};

TEST_F(VersionGuardWinTest, EqualOrNewerPackageIsReplacedWithoutAQuestion) {
  const bool progressBefore = ProgressWindowCreated();
  const std::string target = scratch.path + "vdq2.cok";
  for (const unsigned char installed : {5, 4, 0}) {
    SCOPED_TRACE(installed);
    ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(installed)));
    EXPECT_EQ(InstallOutcome::kInstalled, Install("guardcok", "cok", target));
    EXPECT_EQ(kCokPackage, ReadWholeFile(target));
    EXPECT_EQ("vdq2.cok\n", scratch.Listing());
  }
  // A data file without its version bytes counts as version 0.
  ASSERT_TRUE(WriteWholeFile(target, "vdq"));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guardcok", "cok", target));
  EXPECT_EQ(kCokPackage, ReadWholeFile(target));
  EXPECT_TRUE(shower.boxes.empty());
  EXPECT_EQ(progressBefore, ProgressWindowCreated());
}

TEST_F(VersionGuardWinTest, OlderPackageAnsweredNoKeepsTheInstalledFile) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(9)));
  shower.answer = kAnswerNo;
  bool temporaryWhileAsked = false;
  shower.beforeAnswer = [&] {
    // Beside the target under a fresh name: "~vdq2.cok.<8 letters>.tmp".
    const std::string listing = scratch.Listing();
    const std::size_t at = listing.find("~vdq2.cok.");
    // Held by the setup alone: nobody else can open it to change it.
    temporaryWhileAsked = at != std::string::npos && listing.compare(at + 18, 5, ".tmp\n") == 0 &&
                          ReadWholeFile(scratch.path + listing.substr(at, 22)) == "<missing>";
  };
  EXPECT_EQ(InstallOutcome::kKeptInstalled, Install("guardcok", "cok", target));
  EXPECT_TRUE(temporaryWhileAsked);
  EXPECT_EQ(CokWithVersion(9), ReadWholeFile(target));
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
  // One box, the question: no install error.
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ("Sound question", shower.boxes[0].caption);
  EXPECT_EQ(DowngradeQuestionText(target, "9", "5").english, shower.boxes[0].text);
  EXPECT_EQ(kQuestionBoxStyle, shower.boxes[0].style);

  // The progress window is shown again once the question has been asked,
  // with empty texts; the first such show creates it.
  ASSERT_TRUE(WaitFor([] { return ProgressWindowCreated(); }));
  const HWND frame = ProgressFrameWindow();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(frame) != 0; }));
  EXPECT_EQ("", WindowText(frame));
  EXPECT_EQ("", WindowText(ProgressStatusWindow()));
}

TEST_F(VersionGuardWinTest, OlderPackageAnsweredYesReplacesTheInstalledFile) {
  russianUi = true;
  const std::string target = scratch.path + "a.pak";
  ASSERT_TRUE(WriteWholeFile(target, std::string("pakfil\x10\x00", 8)));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guardpak", "pak", target));
  EXPECT_EQ(std::string("pakfil\x03\x00" "content", 15), ReadWholeFile(target));
  EXPECT_EQ("a.pak\n", scratch.Listing());
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ("Резонный вопрос", shower.boxes[0].caption);
  EXPECT_EQ(DowngradeQuestionText(target, "16", "3").russian, shower.boxes[0].text);
  EXPECT_EQ(kRussianBoxLanguage, shower.boxes[0].language);
}

TEST_F(VersionGuardWinTest, LanguageFilesWithAnExclamationMarkAreNeverCompared) {
  const std::string marked = scratch.path + "lang!\\";
  ASSERT_TRUE(CreateDirectoryW(Widen(marked).c_str(), nullptr));
  const std::string target = marked + "russian.lng";
  ASSERT_TRUE(WriteWholeFile(target, "[langver]\r\n99\r\n"));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guardlng", "lng", target));
  EXPECT_EQ(kLngPackage, ReadWholeFile(target));
  EXPECT_TRUE(shower.boxes.empty());

  // The same file without the mark is compared, and asked about.
  const std::string plain = scratch.path + "russian.lng";
  ASSERT_TRUE(WriteWholeFile(plain, "[langver]\r\n99\r\n"));
  shower.answer = kAnswerNo;
  EXPECT_EQ(InstallOutcome::kKeptInstalled, Install("guardlng", "lng", plain));
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ(DowngradeQuestionText(plain, "99", "4").english, shower.boxes[0].text);
}

TEST_F(VersionGuardWinTest, ExecutablesCompareTheirFileVersions) {
  const std::string versionA = ReadWholeFile(OwnDirectory() + "probe_sample_versioned_a.exe");
  const std::string versionB = ReadWholeFile(OwnDirectory() + "probe_sample_versioned_b.exe");
  const std::string unversioned = ReadWholeFile(OwnDirectory() + "probe_sample_unversioned.exe");
  ASSERT_NE("<missing>", versionA);
  ASSERT_NE("<missing>", unversioned);
  const std::string target = scratch.path + "Vespodar.exe";

  // No FileVersion installed: replaced without a question.
  ASSERT_TRUE(WriteWholeFile(target, unversioned));
  EXPECT_EQ(InstallOutcome::kInstalled, Guarded(versionA, "exe", target));
  EXPECT_EQ(versionA, ReadWholeFile(target));
  EXPECT_TRUE(shower.boxes.empty());

  // 1.2.3.4 over 1.10.0.0 is a downgrade.
  ASSERT_TRUE(WriteWholeFile(target, versionB));
  shower.answer = kAnswerNo;
  EXPECT_EQ(InstallOutcome::kKeptInstalled, Guarded(versionA, "exe", target));
  EXPECT_EQ(versionB, ReadWholeFile(target));
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ(DowngradeQuestionText(target, "1.10.0.0", "1.2.3.4").english, shower.boxes[0].text);
  EXPECT_EQ("Vespodar.exe\n", scratch.Listing());
}

TEST_F(VersionGuardWinTest, FailureAfterTheQuestionKeepsTheInstalledFileWhole) {
  // A visible progress window, to see that it stays hidden after the failure.
  ShowProgressWindow("busy", "busy");
  ASSERT_TRUE(WaitFor([] { return ProgressWindowCreated(); }));
  ShowProgressWindow("busy", "busy");
  const HWND frame = ProgressFrameWindow();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(frame) != 0; }));

  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(9)));
  HANDLE holder = INVALID_HANDLE_VALUE;
  // While the question is up, another program takes the installed file.
  shower.beforeAnswer = [&] {
    EXPECT_FALSE(IsWindowVisible(frame));
    holder = CreateFileW(Widen(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  // The same commit as every write: tried again, then left to the caller
  // as in use, the staging file held.
  {
    InstantRetryPauses pauses;
    EXPECT_EQ(InstallOutcome::kInUse, Install("guardcok", "cok", target));
    EXPECT_EQ(kReplaceRetryMs, pauses.ms);
  }
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  CloseHandle(holder);
  EXPECT_NE(std::string::npos, scratch.Listing().find(last.staging.substr(scratch.path.size())));
  writer->RemoveStaging();

  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ(kQuestionBoxStyle, shower.boxes[0].style);
  EXPECT_TRUE(last.windowsError == ERROR_SHARING_VIOLATION || last.windowsError == ERROR_ACCESS_DENIED)
      << last.windowsError;
  EXPECT_EQ(CokWithVersion(9), ReadWholeFile(target));
  EXPECT_EQ("vdq2.cok\n", scratch.Listing());
  EXPECT_FALSE(IsWindowVisible(frame));
}

// A product directory that users may write: whatever they planted at the
// temporary file's old fixed name stays as it was.
TEST_F(VersionGuardWinTest, NamePlantedBesideTheTargetIsLeftAlone) {
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(1)));
  ASSERT_TRUE(WriteWholeFile(scratch.path + "~vdq2.cok", "planted"));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guardcok", "cok", target));
  EXPECT_TRUE(shower.boxes.empty());
  EXPECT_EQ(kCokPackage, ReadWholeFile(target));
  EXPECT_EQ("planted", ReadWholeFile(scratch.path + "~vdq2.cok"));
  // No copy of the package left under a name of the setup's.
  EXPECT_EQ(std::string::npos, scratch.Listing().find("~vdq2.cok."));
}

TEST_F(VersionGuardWinTest, StraightWriteWhereTheGuardDoesNotApply) {
  // A kind the guard does not know: written over the target, never asked.
  const std::string other = scratch.path + "data.dat";
  ASSERT_TRUE(WriteWholeFile(other, "old"));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guarddat", "dat", other));
  EXPECT_EQ("dat content", ReadWholeFile(other));
  // Letter case counts: "COK" is not a kind the guard knows.
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(9)));
  EXPECT_EQ(InstallOutcome::kInstalled, Install("guardcok", "COK", target));
  EXPECT_EQ(kCokPackage, ReadWholeFile(target));
  EXPECT_TRUE(shower.boxes.empty());
  EXPECT_EQ("data.dat\nvdq2.cok\n", scratch.Listing());
}

TEST_F(VersionGuardWinTest, ChosenLanguageFileWordsTheQuestion) {
  const std::string folder = scratch.path + "language\\";
  ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
  // Windows-1251: "Вопрос" and "Файл %1 старше." with a second line.
  ASSERT_TRUE(WriteWholeFile(folder + "ukr.lng",
                             "[soundquest]\r\n\xc2\xee\xef\xf0\xee\xf1\r\n\r\n"
                             "[olderfilever]\r\n\xd4\xe0\xe9\xeb %1\r\n\xf1\xf2\xe0\xf0\xf8\xe5.\r\n"));
  ConfigureLangUnit(ProcessLangUnit(), {"ukr.lng"}, -1, -1, 0, 0x0422);
  const std::string target = scratch.path + "vdq2.cok";
  ASSERT_TRUE(WriteWholeFile(target, CokWithVersion(9)));
  shower.answer = kAnswerNo;
  EXPECT_EQ(InstallOutcome::kKeptInstalled, Install("guardcok", "cok", target));
  ConfigureLangUnit(ProcessLangUnit(), {}, -1, -1, -1, -1);

  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ("Вопрос", shower.boxes[0].caption);
  EXPECT_EQ("Файл " + target + "\r\nстарше.", shower.boxes[0].text);
  EXPECT_EQ(kQuestionBoxStyle, shower.boxes[0].style);
  EXPECT_EQ(0x0422, shower.boxes[0].language);
  EXPECT_EQ(CokWithVersion(9), ReadWholeFile(target));
}

}  // namespace

}  // namespace vespodar
