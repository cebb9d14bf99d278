#include "guard/version_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "install/package_writer.h"
#include "ui/lang_unit.h"
#include "ui/lang_unit_fake_test.h"

namespace vespodar {

namespace {

const std::string kTarget = "C:\\Program Files\\Vespodar\\vdq2.cok";

// The two files' versions; every probe and window effect is logged in order.
class FakeGuardEffects : public VersionProbes, public ProgressDisplay {
 public:
  std::map<ProbedFile, std::int32_t> numbers;
  std::map<ProbedFile, std::string> texts;
  std::vector<std::string> log;

  std::string ReadExeFileVersion(ProbedFile file) override {
    log.push_back("exe " + Name(file));
    return texts[file];
  }
  std::int32_t ReadPakVersion(ProbedFile file) override { return Number("pak", file); }
  std::int32_t Read3bsVersion(ProbedFile file) override { return Number("3bs", file); }
  std::int32_t ReadCokVersion(ProbedFile file) override { return Number("cok", file); }
  std::int32_t ReadLngVersion(ProbedFile file) override { return Number("lng", file); }
  void HideProgressWindow() override { log.push_back("hide progress"); }
  void ShowProgressWindow(const std::string& caption, const std::string& status) override {
    log.push_back("show progress [" + caption + "][" + status + "]");
  }

 private:
  static std::string Name(ProbedFile file) {
    return file == ProbedFile::kPackage ? "package" : "installed";
  }
  std::int32_t Number(const std::string& probe, ProbedFile file) {
    log.push_back(probe + " " + Name(file));
    return numbers[file];
  }
};

constexpr ProbedFile kPackageFile = ProbedFile::kPackage;
constexpr ProbedFile kInstalledFile = ProbedFile::kInstalled;

// Answers the question from a script; a silent run may ask nothing.
class ScriptedPrompts : public GuardPrompts {
 public:
  int answer = kAnswerYes;
  bool mayAsk = true;
  std::vector<MessageBoxSpec> boxes;
  std::vector<std::string> langFileErrors;
  FakeGuardEffects* effects = nullptr;
  bool MayAsk() override { return mayAsk; }
  Answer Ask(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    if (effects) effects->log.push_back("box " + box.caption);
    return AnswerOf(answer);
  }
  void ShowLangFileError(const std::string& fileName) override {
    langFileErrors.push_back(fileName);
  }
};

class VersionGuardTest : public ::testing::Test {
 protected:
  VersionGuardTest() { shower.effects = &effects; }
  GuardResult Run(GuardedKind kind, const std::string& target = kTarget) {
    return RunVersionGuard(lang, context, shower, effects, effects, kind, target, &asked);
  }
  bool asked = false;
  LangUnit lang;
  FakeGuardEffects effects;
  ScriptedPrompts shower;
  LangReading context{"C:\\Program Files\\Vespodar\\", false, shower};
};

TEST(GuardedKindOfTest, FiveKindsInExactLetterCase) {
  EXPECT_EQ(GuardedKind::kExe, GuardedKindOf("exe"));
  EXPECT_EQ(GuardedKind::kPak, GuardedKindOf("pak"));
  EXPECT_EQ(GuardedKind::k3bs, GuardedKindOf("3bs"));
  EXPECT_EQ(GuardedKind::kCok, GuardedKindOf("cok"));
  EXPECT_EQ(GuardedKind::kLng, GuardedKindOf("lng"));
  EXPECT_EQ(GuardedKind::kNone, GuardedKindOf("COK"));
  EXPECT_EQ(GuardedKind::kNone, GuardedKindOf("dll"));
}

TEST_F(VersionGuardTest, EqualOrNewerPackageReplacesWithoutAQuestion) {
  for (const std::int32_t installed : {5, 4, 0}) {
    SCOPED_TRACE(installed);
    effects.log.clear();
    effects.numbers = {{kPackageFile, 5}, {kInstalledFile, installed}};
    EXPECT_EQ(GuardResult::kReplace, Run(GuardedKind::kCok));
    // The package is probed before the installed file; the progress window
    // is left alone.
    EXPECT_EQ((std::vector<std::string>{"cok package", "cok installed"}), effects.log);
    EXPECT_FALSE(asked);
  }
  EXPECT_TRUE(shower.boxes.empty());
}

TEST_F(VersionGuardTest, OlderPackageAnsweredNoKeepsTheInstalledFile) {
  effects.numbers = {{kPackageFile, 1}, {kInstalledFile, 258}};
  shower.answer = 7;  // IDNO
  EXPECT_EQ(GuardResult::kKeptInstalled, Run(GuardedKind::kPak));
  EXPECT_EQ((std::vector<std::string>{"pak package", "pak installed", "hide progress",
                                      "box Sound question", "show progress [][]"}),
            effects.log);
  EXPECT_TRUE(asked);
  ASSERT_EQ(1u, shower.boxes.size());
  // The installed version first, then the package's.
  EXPECT_EQ(DowngradeQuestionText(kTarget, "258", "1").english, shower.boxes[0].text);
  EXPECT_EQ(kQuestionBoxStyle, shower.boxes[0].style);
  EXPECT_EQ(0, shower.boxes[0].language);
  // A box closed any other way is a No too; one that could not be shown is
  // nobody's answer: a failure, and the window stays hidden.
  for (const int answer : {1, 2, 0, -1}) {
    shower.answer = answer;
    effects.log.clear();
    EXPECT_EQ(answer > 0 ? GuardResult::kKeptInstalled : GuardResult::kFailed,
              Run(GuardedKind::kPak))
        << answer;
    EXPECT_EQ(answer > 0, effects.log.back() == "show progress [][]") << answer;
  }
}

// A silent deployment must not stop at a question nobody sees, nor downgrade
// without consent.
TEST_F(VersionGuardTest, ModestRunKeepsTheNewerInstalledFileWithoutAsking) {
  shower.mayAsk = false;
  effects.numbers = {{kPackageFile, 1}, {kInstalledFile, 2}};
  EXPECT_EQ(GuardResult::kKeptInstalled, Run(GuardedKind::kCok));
  EXPECT_EQ((std::vector<std::string>{"cok package", "cok installed"}), effects.log);
  EXPECT_TRUE(shower.boxes.empty());

  // Not newer: replaced as in any run.
  effects.numbers = {{kPackageFile, 2}, {kInstalledFile, 2}};
  EXPECT_EQ(GuardResult::kReplace, Run(GuardedKind::kCok));
}

TEST_F(VersionGuardTest, OlderPackageAnsweredYesReplaces) {
  context.russianUi = true;
  effects.numbers = {{kPackageFile, 3}, {kInstalledFile, 7}};
  EXPECT_EQ(GuardResult::kReplace, Run(GuardedKind::k3bs));
  // The window comes back once the package is in place (VersionGuard).
  EXPECT_EQ((std::vector<std::string>{"3bs package", "3bs installed", "hide progress",
                                      "box Резонный вопрос"}),
            effects.log);
  EXPECT_TRUE(asked);
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ(DowngradeQuestionText(kTarget, "7", "3").russian, shower.boxes[0].text);
  EXPECT_EQ(kRussianBoxLanguage, shower.boxes[0].language);
}

TEST_F(VersionGuardTest, VersionsCompareAsSignedIntegers) {
  // A language file whose version could not be read counts as 0, and a
  // negative installed version never asks.
  effects.numbers = {{kPackageFile, 0}, {kInstalledFile, -5}};
  EXPECT_EQ(GuardResult::kReplace, Run(GuardedKind::kLng));
  effects.numbers = {{kPackageFile, -5}, {kInstalledFile, 0}};
  shower.answer = 7;
  EXPECT_EQ(GuardResult::kKeptInstalled, Run(GuardedKind::kLng));
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_NE(std::string::npos, shower.boxes[0].text.find("version 0 with an older file version -5?"));
}

TEST_F(VersionGuardTest, LanguageFileWithAnExclamationMarkIsNeverCompared) {
  for (const std::string target : {"C:\\Vespodar\\language\\!russian.lng",
                                   "C:\\Vespodar!\\language\\russian.lng"}) {
    SCOPED_TRACE(target);
    effects.log.clear();
    effects.numbers = {{kPackageFile, 1}, {kInstalledFile, 9}};
    EXPECT_EQ(GuardResult::kReplace, Run(GuardedKind::kLng, target));
    EXPECT_TRUE(effects.log.empty());
  }
  EXPECT_TRUE(shower.boxes.empty());
}

TEST_F(VersionGuardTest, ExecutablesCompareTheirFileVersionTexts) {
  const std::string target = "C:\\V\\Vespodar.exe";
  const struct {
    const char* package;
    const char* installed;
    bool asked;
  } cases[] = {
      {"1.0.0.5", "1.0.0.7", true},
      {"1.0.0.7", "1.0.0.5", false},
      {"1.0.0.5", "1.0.0.5", false},
      {"1.0.0.5", "", false},       // no FileVersion installed: replaced
      {"", "1.0.0.5", true},        // a package without one is older
      {"1.0.0.5", "1.0.0.05", false},  // differ as texts, equal as numbers
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.package) + " over " + c.installed);
    effects.log.clear();
    shower.boxes.clear();
    effects.texts = {{kPackageFile, c.package}, {kInstalledFile, c.installed}};
    shower.answer = 7;
    EXPECT_EQ(c.asked ? GuardResult::kKeptInstalled : GuardResult::kReplace,
              Run(GuardedKind::kExe, target));
    ASSERT_GE(effects.log.size(), 2u);
    EXPECT_EQ("exe package", effects.log[0]);
    EXPECT_EQ("exe installed", effects.log[1]);
    ASSERT_EQ(c.asked ? 1u : 0u, shower.boxes.size());
    if (c.asked)
      EXPECT_EQ(DowngradeQuestionText(target, c.installed, c.package).english,
                shower.boxes[0].text);
  }
}

TEST_F(VersionGuardTest, ChosenLanguageFileWordsTheQuestion) {
  FakeLangFiles files;
  FakeLangFileReader defaultReader(files), chosenReader(files);
  lang.defaultReader = &defaultReader;
  lang.chosenReader = &chosenReader;
  files.contents["C:\\Program Files\\Vespodar\\language\\de.lng"] =
      "[soundquest]\r\nBerechtigte Frage\r\n\r\n"
      "[olderfilever]\r\nDie Datei %1\r\nist älter.\r\n%2 bleibt.\r\n\r\n";
  ConfigureLangUnit(lang, {"de.lng"}, -1, -1, 0, 0x00010407);
  effects.numbers = {{kPackageFile, 1}, {kInstalledFile, 2}};
  context.russianUi = true;  // not consulted
  Run(GuardedKind::kCok);
  ASSERT_EQ(1u, shower.boxes.size());
  EXPECT_EQ("Berechtigte Frage", shower.boxes[0].caption);
  EXPECT_EQ("Die Datei " + kTarget + "\r\nist älter.\r\n%2 bleibt.", shower.boxes[0].text);
  EXPECT_EQ(kQuestionBoxStyle, shower.boxes[0].style);
  EXPECT_EQ(0x0407, shower.boxes[0].language);
  // The chosen file was read in its own language.
  EXPECT_EQ("C:\\Program Files\\Vespodar\\language\\de.lng@1031", files.opened.at(0));
}

}  // namespace

}  // namespace vespodar
