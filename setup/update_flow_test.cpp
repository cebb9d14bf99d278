#include "setup/update_flow.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "base/fake_registry_test.h"
#include "setup/setup_context.h"

namespace vespodar {

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";
const char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";

// Records every step the flow takes and answers boxes from a script.
class FakeSteps : public UpdateSteps {
 public:
  std::vector<MessageBoxSpec> boxes;
  std::deque<int> answers;
  std::vector<std::string> calls;
  bool productRunning = false;
  OwnFileState ownFile = OwnFileState::kIntact;
  bool productExists = true;
  InstallOutcome installOutcome = InstallOutcome::kInstalled;
  std::int32_t sizeKb = 4431;
  std::string installedTarget;

  int ShowMessageBox(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    if (answers.empty()) return 0;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool ProductNotRunning() override { return !productRunning; }
  void CloseRunningProduct() override { calls.push_back("close"); }
  OwnFileCheck CheckOwnFile() override {
    calls.push_back("verify");
    return {ownFile, 0};
  }
  bool FileExists(const std::string& path) override {
    calls.push_back("exists " + path);
    return productExists;
  }
  PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                  const std::string& target, bool guardVersions,
                                  Reporter&) override {
    calls.push_back("install " + name + "." + type + (guardVersions ? " guarded" : ""));
    installedTarget = target;
    return {installOutcome, installOutcome == InstallOutcome::kFailed ? 5u : 0u};
  }
  std::int32_t DirectorySizeKb(const std::string& path) override {
    calls.push_back("size " + path);
    return sizeKb;
  }
  void StartProductAndWait() override { calls.push_back("start"); }

  bool Called(const std::string& prefix) const {
    for (const std::string& call : calls)
      if (call.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }
};

class UpdateFlowTest : public ::testing::Test {
 protected:
  UpdateFlowTest() {
    auto registry = std::make_unique<FakeRegistry>();
    fake = registry.get();
    context.registry = std::move(registry);
    fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir",
                  "C:\\Program Files");
    fake->AddText(RegistryRoot::kLocalMachine, kUninstallKey, "UninstallString",
                  "C:\\Games\\Vespodar\\uninst.exe");
    SetPackageConstants(context);
  }

  ExitCode Run(std::vector<std::string> arguments = {}) {
    context.arguments = arguments;
    context.firstArgument = arguments.empty() ? "" : arguments[0];
    for (char& c : context.firstArgument) c = static_cast<char>(tolower(c));
    return RunUpdate(context, steps);
  }

  std::int32_t RecordedSize() {
    auto& values = fake->Integers(RegistryRoot::kLocalMachine, kUninstallKey);
    auto found = values.find("EstimatedSize");
    return found == values.end() ? -1 : found->second;
  }

  SetupContext context;
  FakeRegistry* fake;
  FakeSteps steps;
};

const char kInstallQuestionEn[] =
    "Would you like to setup\r\nVespodar update -\r\n\"Тарвелин\" версии 1?";
const char kLaunchQuestion[] =
    "На Ваш компьютер установлено\r\nОбновление программы \"Весподар\" -\r\n"
    "\"Тарвелин\" версии 1\r\n\r\nЗапустить программу?";

TEST_F(UpdateFlowTest, BothQuestionsYesInstallsRecordsAndStarts) {
  steps.answers = {kAnswerYes, kAnswerYes};
  EXPECT_EQ(kExitSuccess, Run());
  ASSERT_EQ(2u, steps.boxes.size());
  EXPECT_EQ((MessageBoxSpec{"Sound question", kInstallQuestionEn, kQuestionBoxStyle, 0}),
            steps.boxes[0]);
  EXPECT_EQ((MessageBoxSpec{"Vespodar update", kLaunchQuestion, kQuestionBoxStyle, 0x19}),
            steps.boxes[1]);
  EXPECT_EQ("C:\\Games\\Vespodar\\vdq2.cok", steps.installedTarget);
  EXPECT_TRUE(steps.Called("exists C:\\Games\\Vespodar\\Vespodar.exe"));
  EXPECT_TRUE(steps.Called("install vdq2.cok"));
  EXPECT_FALSE(steps.Called("install vdq2.cok guarded"));
  EXPECT_TRUE(steps.Called("size C:\\Games\\Vespodar\\"));
  EXPECT_EQ(4431, RecordedSize());
  EXPECT_EQ("start", steps.calls.back());
  EXPECT_FALSE(fake->KeyOpen());
}

TEST_F(UpdateFlowTest, LaunchQuestionThatCannotBeShownFailsTheRunAfterTheInstall) {
  steps.answers = {kAnswerYes, 0};
  EXPECT_EQ(kExitFailure, Run());
  EXPECT_TRUE(steps.Called("install vdq2.cok"));
  EXPECT_EQ(4431, RecordedSize());
  EXPECT_FALSE(steps.Called("start"));
}

TEST_F(UpdateFlowTest, GuardedPackageIsWrittenThroughTheGuard) {
  EXPECT_FALSE(context.guardVersions);
  context.guardVersions = true;
  EXPECT_EQ(kExitSuccess, Run({"modest"}));
  EXPECT_TRUE(steps.Called("install vdq2.cok guarded"));
}

TEST_F(UpdateFlowTest, RussianUserGetsRussianInstallQuestionAndTheSameLaunchQuestion) {
  context.russianUi = true;
  steps.answers = {kAnswerYes, 7};
  EXPECT_EQ(kExitSuccess, Run());
  ASSERT_EQ(2u, steps.boxes.size());
  EXPECT_EQ((MessageBoxSpec{"Резонный вопрос",
                            "Вы действительно хотите установить\r\nОбновление программы "
                            "\"Весподар\" -\r\n\"Тарвелин\" версии 1?",
                            kQuestionBoxStyle, 0x19}),
            steps.boxes[0]);
  EXPECT_EQ(kLaunchQuestion, steps.boxes[1].text);
  EXPECT_EQ("Vespodar update", steps.boxes[1].caption);
  EXPECT_FALSE(steps.Called("start"));
}

// A box that could not be shown (0; Wine says -1) is nobody's No: the run
// failed. Either way nothing is written.
TEST_F(UpdateFlowTest, AnythingButYesToInstallWritesNothing) {
  for (int answer : {7, 2, 0, -1}) {
    FakeSteps fresh;
    fresh.answers = {answer};
    EXPECT_EQ(answer > 0 ? kExitUserDeclined : kExitFailure, RunUpdate(context, fresh)) << answer;
    EXPECT_EQ(1u, fresh.boxes.size());
    EXPECT_FALSE(fresh.Called("install"));
    EXPECT_FALSE(fresh.Called("size"));
  }
  EXPECT_EQ(-1, RecordedSize());
}

TEST_F(UpdateFlowTest, ModestAsksNothingAndStartsOnlyWithRunApp) {
  EXPECT_EQ(kExitSuccess, Run({"MODEST"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_TRUE(steps.Called("install"));
  EXPECT_FALSE(steps.Called("start"));

  steps = FakeSteps();
  EXPECT_EQ(kExitSuccess, Run({"modest", "RunApp"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_EQ("start", steps.calls.back());

  steps = FakeSteps();
  EXPECT_EQ(kExitSuccess, Run({"modest", "later"}));
  EXPECT_FALSE(steps.Called("start"));
}

TEST_F(UpdateFlowTest, RunAppAloneOrModestSecondStillAsks) {
  for (auto arguments : std::vector<std::vector<std::string>>{{"runapp"}, {"x", "modest"}}) {
    steps = FakeSteps();
    steps.answers = {kAnswerYes, 7};
    EXPECT_EQ(kExitSuccess, Run(arguments));
    EXPECT_EQ(2u, steps.boxes.size());
    EXPECT_FALSE(steps.Called("start"));
  }
}

TEST_F(UpdateFlowTest, ProductMissingStopsBeforeAnyWrite) {
  // No entry at all: the default location is looked at, and no key is made.
  fake = new FakeRegistry();
  context.registry.reset(fake);
  fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "C:\\Program Files");
  steps.productExists = false;
  EXPECT_EQ(kExitProductMissing, Run({"modest"}));
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ(kErrorBoxStyle, steps.boxes[0].style);
  EXPECT_EQ("Vespodar update", steps.boxes[0].caption);
  EXPECT_EQ(
      "There's no subject of update - the Vespodar installed.\r\nPlease, install the program at "
      "first.",
      steps.boxes[0].text);
  EXPECT_TRUE(steps.Called("exists C:\\Program Files\\Vespodar\\Vespodar.exe"));
  EXPECT_FALSE(steps.Called("install"));
  EXPECT_FALSE(fake->HasKey(RegistryRoot::kLocalMachine, kUninstallKey));
}

TEST_F(UpdateFlowTest, NoRightsStopsWithItsOwnCode) {
  fake->Deny(RegistryRoot::kLocalMachine, kWindowsKey);
  context.russianUi = true;
  EXPECT_EQ(kExitNoRights, Run({"modest"}));
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ((MessageBoxSpec{"Обновление программы \"Весподар\"",
                            "У Вас нет права устанавливать программы!", kErrorBoxStyle, 0x19}),
            steps.boxes[0]);
  EXPECT_FALSE(steps.Called("verify"));
}

TEST_F(UpdateFlowTest, OwnFileFailuresStopWithTheirMessagesAfterTheProductWasToldToQuit) {
  struct Case {
    OwnFileState state;
    ExitCode code;
    const char* text;
  } cases[] = {
      {OwnFileState::kUnreadable, kExitOwnFileUnreadable, "Failed to check up the package file!"},
      {OwnFileState::kDistorted, kExitOwnFileDistorted,
       "The package file has been distorted!\r\nVirus?"},
  };
  for (const Case& c : cases) {
    steps = FakeSteps();
    steps.productRunning = true;
    steps.ownFile = c.state;
    EXPECT_EQ(c.code, Run({"modest"}));
    ASSERT_EQ(1u, steps.boxes.size());
    EXPECT_EQ(c.text, steps.boxes[0].text);
    EXPECT_EQ("close", steps.calls.front());
    EXPECT_FALSE(steps.Called("install"));
  }
}

TEST_F(UpdateFlowTest, RunningProductIsClosedOnlyWhenRunning) {
  EXPECT_EQ(kExitSuccess, Run({"modest"}));
  EXPECT_FALSE(steps.Called("close"));
  steps = FakeSteps();
  steps.productRunning = true;
  EXPECT_EQ(kExitSuccess, Run({"modest"}));
  EXPECT_EQ("close", steps.calls.front());
}

TEST_F(UpdateFlowTest, FailedWriteStillRecordsSizeAndOffersLaunchButFails) {
  steps.installOutcome = InstallOutcome::kFailed;
  steps.answers = {kAnswerYes, 1, kAnswerYes};
  EXPECT_EQ(kExitFailure, Run());
  ASSERT_EQ(3u, steps.boxes.size());
  EXPECT_EQ((MessageBoxSpec{"Vespodar update", "Can't install file C:\\Games\\Vespodar\\vdq2.cok",
                            kErrorBoxStyle, 0}),
            steps.boxes[1]);
  EXPECT_EQ(kLaunchQuestion, steps.boxes[2].text);
  EXPECT_EQ(4431, RecordedSize());
  EXPECT_EQ("start", steps.calls.back());
}

// Keeping the newer installed file is the user's choice, not a failure: the
// flow goes on as after an install, but the administrator learns that the
// update was declined.
TEST_F(UpdateFlowTest, KeptNewerFileGoesOnAndEndsAsDeclined) {
  steps.installOutcome = InstallOutcome::kKeptInstalled;
  steps.answers = {kAnswerYes, kAnswerYes};
  EXPECT_EQ(kExitUserDeclined, Run());
  EXPECT_EQ(4431, RecordedSize());
  ASSERT_EQ(2u, steps.boxes.size());
  EXPECT_EQ(kLaunchQuestion, steps.boxes[1].text);
  EXPECT_EQ("start", steps.calls.back());

  steps = FakeSteps();
  steps.installOutcome = InstallOutcome::kKeptInstalled;
  EXPECT_EQ(kExitUserDeclined, Run({"modest", "runapp"}));
  EXPECT_EQ("start", steps.calls.back());
}

TEST_F(UpdateFlowTest, KeptFileWithSizeNotRecordedIsAFailure) {
  steps.installOutcome = InstallOutcome::kKeptInstalled;
  steps.sizeKb = -1;
  EXPECT_EQ(kExitFailure, Run({"modest"}));
}

TEST_F(UpdateFlowTest, UnrecordableSizeShowsRegistryErrorThenOffersLaunch) {
  fake->FailWrites();
  steps.answers = {kAnswerYes, 0, kAnswerYes};
  EXPECT_EQ(kExitFailure, Run());
  ASSERT_EQ(3u, steps.boxes.size());
  EXPECT_EQ("No access to system registry", steps.boxes[1].text);
  EXPECT_EQ(kLaunchQuestion, steps.boxes[2].text);
  EXPECT_EQ("start", steps.calls.back());
  EXPECT_FALSE(fake->KeyOpen());
}

// A key that discovery could not open is no entry: the default location is
// updated, and no size is written anywhere.
TEST_F(UpdateFlowTest, UninstallKeyThatCannotBeOpenedIsNoEntry) {
  fake->Deny(RegistryRoot::kLocalMachine, kUninstallKey);
  EXPECT_EQ(kExitSuccess, Run({"modest"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_EQ("C:\\Program Files\\Vespodar\\vdq2.cok", steps.installedTarget);
  EXPECT_FALSE(steps.Called("size"));
}

TEST_F(UpdateFlowTest, SizeUnknownWritesNoValueAndFails) {
  steps.sizeKb = -1;
  EXPECT_EQ(kExitFailure, Run({"modest"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_EQ(-1, RecordedSize());
}

// The size goes where the entry is, and no key is made where none was.
TEST_F(UpdateFlowTest, SizeGoesToTheBranchOfTheEntryAndNowhereElse) {
  const char kWowKey[] =
      "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar";
  for (const bool wowEntry : {true, false}) {
    SCOPED_TRACE(wowEntry);
    fake = new FakeRegistry();
    context.registry.reset(fake);
    steps = FakeSteps();
    fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir", "C:\\Program Files");
    if (wowEntry)
      fake->AddText(RegistryRoot::kLocalMachine, kWowKey, "UninstallString",
                    "D:\\Old\\Vespodar\\uninst.exe");
    EXPECT_EQ(kExitSuccess, Run({"modest"}));
    EXPECT_TRUE(steps.boxes.empty());
    EXPECT_EQ(wowEntry ? "D:\\Old\\Vespodar\\vdq2.cok" : "C:\\Program Files\\Vespodar\\vdq2.cok",
              steps.installedTarget);
    EXPECT_FALSE(fake->HasKey(RegistryRoot::kLocalMachine, kUninstallKey));
    if (wowEntry)
      EXPECT_EQ(4431, fake->Integers(RegistryRoot::kLocalMachine, kWowKey).at("EstimatedSize"));
    else
      EXPECT_FALSE(fake->HasKey(RegistryRoot::kLocalMachine, kWowKey));
    EXPECT_FALSE(fake->KeyOpen());
  }
}

TEST_F(UpdateFlowTest, RegistryErrorDuringDiscoveryStopsEverything) {
  fake->AddNonText(RegistryRoot::kLocalMachine, kUninstallKey, "UninstallString");
  EXPECT_EQ(kExitFailure, Run({"modest"}));
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ("No access to system registry", steps.boxes[0].text);
  EXPECT_TRUE(steps.calls.empty());
}

}  // namespace

}  // namespace vespodar
