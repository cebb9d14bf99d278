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
// A staging file of the write, and one that waits for the target to be free.
const char kStaging[] = "C:\\Games\\Vespodar\\~vdq2.cok.abcdefgh.tmp";

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
  bool stationVisible = true;
  std::uint32_t restartReplaceError = 0;
  std::string keptVersion = "7";
  bool otherRunHoldsTheLock = false;
  bool baseInstalled = true;
  std::vector<std::string> log;

  int ShowMessageBox(const MessageBoxSpec& box) override {
    boxes.push_back(box);
    if (answers.empty()) return 0;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool StationVisible() override { return stationVisible; }
  bool Logging() override { return true; }
  void WriteLog(const std::string& text) override { log.push_back(text); }
  std::string WindowsErrorText(std::uint32_t error) override {
    return "text of " + std::to_string(error);
  }
  bool ProductNotRunning() override { return !productRunning; }
  bool CloseRunningProduct() override {
    calls.push_back("close");
    return true;
  }
  OwnFileCheck CheckOwnFile() override {
    calls.push_back("verify");
    return {ownFile, 0};
  }
  bool PackageBaseInstalled(std::string* found) override {
    calls.push_back("base");
    *found = "1234 bytes, SHA-256 00ff";
    return baseInstalled;
  }
  bool FileExists(const std::string& path) override {
    calls.push_back("exists " + path);
    return productExists;
  }
  // The directory the flow found, as the write takes it from the context.
  const Folders* folders = nullptr;
  PackageWrite InstallPackageFile(const std::string& name, const std::string& type,
                                  bool guardVersions, Reporter&) override {
    calls.push_back("install " + name + "." + type + (guardVersions ? " guarded" : ""));
    installedTarget = folders->installDir + name + "." + type;
    const bool failed = installOutcome == InstallOutcome::kFailed;
    const bool written = installOutcome == InstallOutcome::kInstalled ||
                         installOutcome == InstallOutcome::kKeptInstalled;
    PackageWrite write;
    write.outcome = installOutcome;
    write.windowsError = written ? 0u : 5u;
    write.staging = failed ? "" : kStaging;
    write.described = !failed;
    write.sha256.fill(installOutcome == InstallOutcome::kKeptInstalled ? 0x7A : 0xC3);
    if (installOutcome == InstallOutcome::kKeptInstalled) write.keptVersion = keptVersion;
    return write;
  }
  bool TakeRunLock() override {
    calls.push_back("lock");
    return !otherRunHoldsTheLock;
  }
  std::uint32_t ReplaceAtRestart() override {
    calls.push_back("at restart");
    return restartReplaceError;
  }
  void RemoveStagingFile() override { calls.push_back("remove"); }
  std::string FileHolders(const std::string&) override { return "Vespodar"; }
  std::int32_t DirectorySizeKb(const std::string& path) override {
    calls.push_back("size " + path);
    return sizeKb;
  }
  LaunchOutcome StartProductAndWait() override {
    calls.push_back("start");
    return LaunchOutcome::kStartedThroughShell;
  }

  bool Called(const std::string& prefix) const {
    for (const std::string& call : calls)
      if (call.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
  }
  // The whole log, one line after the other.
  std::string Log() const {
    std::string all;
    for (const std::string& line : log) all += line + "\n";
    return all;
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

  // A machine as the constructor made it, and steps that recorded nothing.
  void Reset() {
    fake = new FakeRegistry();
    context.registry.reset(fake);
    fake->AddText(RegistryRoot::kLocalMachine, kWindowsKey, "ProgramFilesDir",
                  "C:\\Program Files");
    fake->AddText(RegistryRoot::kLocalMachine, kUninstallKey, "UninstallString",
                  "C:\\Games\\Vespodar\\uninst.exe");
    steps = FakeSteps();
  }

  ExitCode Run(std::vector<std::string> arguments = {}) {
    context.arguments = arguments;
    steps.folders = &context.folders;
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
    fresh.productRunning = true;
    fresh.answers = {answer};
    EXPECT_EQ(answer > 0 ? kExitUserDeclined : kExitFailure, RunUpdate(context, fresh)) << answer;
    EXPECT_EQ(1u, fresh.boxes.size());
    EXPECT_FALSE(fresh.Called("install"));
    EXPECT_FALSE(fresh.Called("size"));
    // A No costs the user nothing: the running product is left alone.
    EXPECT_FALSE(fresh.Called("close"));
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
  EXPECT_FALSE(steps.Called("close"));
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

TEST_F(UpdateFlowTest, OwnFileFailuresStopWithTheirMessagesAndLeaveTheProductRunning) {
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
    EXPECT_FALSE(steps.Called("close"));
    EXPECT_FALSE(steps.Called("install"));
  }
}

TEST_F(UpdateFlowTest, RunningProductIsClosedOnlyWhenRunning) {
  EXPECT_EQ(kExitSuccess, Run({"modest"}));
  EXPECT_FALSE(steps.Called("close"));
  steps = FakeSteps();
  steps.productRunning = true;
  steps.answers = {kAnswerYes, 7};
  EXPECT_EQ(kExitSuccess, Run());
  // Closed after the checks and the Yes, right before the write.
  ASSERT_LE(6u, steps.calls.size());
  EXPECT_EQ("close", steps.calls[4]);
  EXPECT_EQ("install vdq2.cok", steps.calls[5].substr(0, 16));
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

// What a deployment tool's detection rule reads: the file in place, pending
// or kept, beside EstimatedSize in the entry's branch; nothing after a
// failed write. Unattended, a kept newer file is the success it is.
TEST_F(UpdateFlowTest, DetectionMarkerNamesTheFileInPlace) {
  const struct {
    InstallOutcome outcome;
    std::vector<std::string> arguments;
    ExitCode exitCode;
    const char* keptVersion;
    std::int32_t version;  // -1: no version value
    const char* digestByte;  // "": no marker
  } cases[] = {
      {InstallOutcome::kInstalled, {"/quiet"}, kExitSuccess, "", 1, "c3"},
      {InstallOutcome::kInUse, {"/quiet"}, kExitRestartRequired, "", 1, "c3"},
      {InstallOutcome::kKeptInstalled, {"/quiet"}, kExitSuccess, "7", 7, "7a"},
      {InstallOutcome::kKeptInstalled, {"modest"}, kExitUserDeclined, "7", 7, "7a"},
      {InstallOutcome::kKeptInstalled, {"/quiet"}, kExitSuccess, "2.0.1.5", 2, "7a"},
      {InstallOutcome::kKeptInstalled, {"/quiet"}, kExitSuccess, "-3", -1, "7a"},
      {InstallOutcome::kFailed, {"/quiet"}, kExitFailure, "", -1, ""},
      {InstallOutcome::kInUse, {"modest"}, kExitFailure, "", -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.outcome) << " " << c.arguments[0] << " "
                                    << c.keptVersion);
    Reset();
    steps.installOutcome = c.outcome;
    steps.keptVersion = c.keptVersion;
    EXPECT_EQ(c.exitCode, Run(c.arguments));
    const auto& integers = fake->Integers(RegistryRoot::kLocalMachine, kUninstallKey);
    const auto version = integers.find("vdq2.cok version");
    EXPECT_EQ(c.version, version == integers.end() ? -1 : version->second);
    const std::string* digest = fake->Text(RegistryRoot::kLocalMachine, kUninstallKey, "vdq2.cok sha256");
    std::string expected;
    for (int i = 0; i < 32 && *c.digestByte; ++i) expected += c.digestByte;
    EXPECT_EQ(expected, digest ? *digest : "");
    EXPECT_EQ(4431, RecordedSize());
    if (c.version == 7)  // the log says what was kept
      EXPECT_NE(std::string::npos,
                steps.Log().find("kept the newer installed file, version 7 (package 1)\n"));
  }
}

// A second run while one is under way ends at once: no box in any mode,
// nothing looked at, its line in the log.
TEST_F(UpdateFlowTest, SecondRunEndsAtOnceWithAlreadyRunning) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{{}, {"modest"}, {"/quiet"}}) {
    steps = FakeSteps();
    steps.otherRunHoldsTheLock = true;
    EXPECT_EQ(kExitAlreadyRunning, Run(arguments));
    EXPECT_TRUE(steps.boxes.empty());
    EXPECT_EQ(std::vector<std::string>{"lock"}, steps.calls);
    EXPECT_NE(std::string::npos, steps.Log().find("exit code 1618: another run is under way\n"));
    EXPECT_EQ(-1, RecordedSize());
  }
}

// A delta on a machine whose file is not its base: nothing touched, the
// install error naming the target unless nobody may see it, 1642.
TEST_F(UpdateFlowTest, DeltaOverAnotherFileChangesNothing) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{{}, {"modest"}, {"/quiet"}}) {
    steps = FakeSteps();
    steps.baseInstalled = false;
    steps.productRunning = true;
    steps.answers = {1};
    EXPECT_EQ(kExitPatchTargetNotFound, Run(arguments));
    const bool silent = arguments == std::vector<std::string>{"/quiet"};
    ASSERT_EQ(silent ? 0u : 1u, steps.boxes.size());
    if (!silent) EXPECT_EQ("Can't install file C:\\Games\\Vespodar\\vdq2.cok", steps.boxes[0].text);
    EXPECT_FALSE(steps.Called("close"));
    EXPECT_FALSE(steps.Called("install"));
    EXPECT_EQ(-1, RecordedSize());
    EXPECT_NE(std::string::npos, steps.Log().find("installed file: 1234 bytes, SHA-256 00ff\n"));
  }
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

// An entry that is there but refuses full access is not "no entry": its
// directory cannot be read (the default location is updated), and the size
// it cannot take is the registry error an administrator must see.
TEST_F(UpdateFlowTest, UninstallKeyThatRefusesFullAccessIsARegistryFailure) {
  fake->Deny(RegistryRoot::kLocalMachine, kUninstallKey);
  EXPECT_EQ(kExitFailure, Run({"modest"}));
  EXPECT_EQ("C:\\Program Files\\Vespodar\\vdq2.cok", steps.installedTarget);
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ("No access to system registry", steps.boxes[0].text);
  EXPECT_EQ(-1, RecordedSize());
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
  EXPECT_EQ(std::vector<std::string>{"lock"}, steps.calls);
}

// Unattended, or where nobody can see a box, every failure the flow knows
// ends with its code and its line in the log, and no box.
TEST_F(UpdateFlowTest, NobodyToAnswerMeansNoBoxOnlyTheCodeAndTheLog) {
  struct Case {
    const char* name;
    void (*provoke)(FakeSteps&, FakeRegistry&);
    ExitCode code;
    const char* logged;
  } cases[] = {
      {"no rights", [](FakeSteps&, FakeRegistry& r) { r.Deny(RegistryRoot::kLocalMachine, kWindowsKey); },
       kExitNoRights, "no right to change machine-wide settings\n"},
      {"registry", [](FakeSteps&, FakeRegistry& r) {
         r.AddNonText(RegistryRoot::kLocalMachine, kUninstallKey, "UninstallString"); },
       kExitFailure, "registry error\n"},
      {"distorted", [](FakeSteps& s, FakeRegistry&) { s.ownFile = OwnFileState::kDistorted; },
       kExitOwnFileDistorted, "own file check: not intact\n"},
      {"missing", [](FakeSteps& s, FakeRegistry&) { s.productExists = false; },
       kExitProductMissing, "product executable missing\n"},
      {"write", [](FakeSteps& s, FakeRegistry&) { s.installOutcome = InstallOutcome::kFailed; },
       kExitFailure, "package not written: error 5 (text of 5)\n"},
      {"size", [](FakeSteps&, FakeRegistry& r) { r.FailWrites(); }, kExitFailure,
       "size not recorded"},
  };
  const std::vector<std::vector<std::string>> runs = {{"/quiet"}, {"modest"}, {}};
  for (const Case& c : cases) {
    for (std::size_t run = 0; run < runs.size(); ++run) {
      SCOPED_TRACE(std::string(c.name) + " run " + std::to_string(run));
      Reset();
      // The unattended run sees a visible station; the others none.
      steps.stationVisible = run == 0;
      c.provoke(steps, *fake);
      const ExitCode code = Run(runs[run]);
      EXPECT_TRUE(steps.boxes.empty());
      // An interactive run that gets that far stops at the unanswered question.
      const bool asked = run == 2 && steps.Log().find("question not asked") != std::string::npos;
      EXPECT_EQ(asked ? kExitUserDeclined : c.code, code);
      if (!asked) EXPECT_NE(std::string::npos, steps.Log().find(c.logged)) << steps.Log();
      EXPECT_EQ(0u, steps.log.back().find("exit code " + std::to_string(code) + ": "));
    }
  }
}

TEST_F(UpdateFlowTest, InvisibleStationInteractiveRunIsNotAnsweredAndWritesNothing) {
  steps.stationVisible = false;
  steps.productRunning = true;
  EXPECT_EQ(kExitUserDeclined, Run());
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_FALSE(steps.Called("install"));
  EXPECT_FALSE(steps.Called("close"));
  EXPECT_EQ(-1, RecordedSize());
  EXPECT_EQ("exit code 1602: declined or not answered, nothing written", steps.log.back());
}

// A file still in use after the retry: unattended, it waits for the restart
// (3010, size recorded, product not started); otherwise the box and 1603, and
// no staging file left behind.
TEST_F(UpdateFlowTest, TargetInUseWaitsForTheRestartOnlyWhenUnattended) {
  const std::string target = "C:\\Games\\Vespodar\\vdq2.cok";
  steps.installOutcome = InstallOutcome::kInUse;
  EXPECT_EQ(kExitRestartRequired, Run({"/S", "runapp"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_TRUE(steps.Called("at restart"));
  EXPECT_FALSE(steps.Called("remove"));
  EXPECT_FALSE(steps.Called("start"));
  EXPECT_EQ(4431, RecordedSize());
  const std::string log = steps.Log();
  EXPECT_NE(std::string::npos, log.find("in use by: Vespodar\n"));
  EXPECT_NE(std::string::npos, log.find("replacement at the next restart: scheduled\n"));
  EXPECT_NE(std::string::npos, log.find("exit code 3010: success, replaced at the next restart"));

  // Pending the restart, the product is never started, whatever else failed.
  steps = FakeSteps();
  steps.installOutcome = InstallOutcome::kInUse;
  steps.sizeKb = -1;
  EXPECT_EQ(kExitFailure, Run({"/S", "runapp"}));
  EXPECT_FALSE(steps.Called("start"));

  // The restart cannot be asked for: the write failed after all.
  steps = FakeSteps();
  steps.installOutcome = InstallOutcome::kInUse;
  steps.restartReplaceError = 5;
  EXPECT_EQ(kExitFailure, Run({"/quiet"}));
  EXPECT_TRUE(steps.Called("remove"));

  for (auto arguments : std::vector<std::vector<std::string>>{{"modest"}, {}}) {
    steps = FakeSteps();
    steps.installOutcome = InstallOutcome::kInUse;
    steps.answers = {kAnswerYes, 1, 7};
    EXPECT_EQ(kExitFailure, Run(arguments));
    EXPECT_FALSE(steps.Called("at restart"));
    EXPECT_TRUE(steps.Called("remove"));
    EXPECT_EQ("Can't install file " + target, steps.boxes[arguments.empty() ? 1 : 0].text);
  }
}

TEST_F(UpdateFlowTest, UsageAndUnknownSwitches) {
  EXPECT_EQ(kExitSuccess, Run({"/?"}));
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ(kInformationBoxStyle, steps.boxes[0].style);
  EXPECT_EQ(UsageText().english, steps.boxes[0].text);
  EXPECT_TRUE(steps.calls.empty());

  steps = FakeSteps();
  context.russianUi = true;
  EXPECT_EQ(kExitInvalidParameter, Run({"/x"}));
  ASSERT_EQ(1u, steps.boxes.size());
  EXPECT_EQ((MessageBoxSpec{"Обновление программы \"Весподар\"", UsageText().russian,
                            kErrorBoxStyle, 0x19}),
            steps.boxes[0]);
  EXPECT_TRUE(steps.calls.empty());

  steps = FakeSteps();
  EXPECT_EQ(kExitInvalidParameter, Run({"-S", "/x"}));
  EXPECT_TRUE(steps.boxes.empty());
  EXPECT_NE(std::string::npos, steps.Log().find("unknown switch: /x\n"));
}

TEST_F(UpdateFlowTest, LogNamesEveryStepOfAnUnattendedRun) {
  context.commandLineText = "VespodarUpdate.exe /quiet /log=C:\\u.log /runapp";
  context.windowsDescription = "Windows 10 64-bit";
  context.is64BitWindows = true;
  steps.productRunning = true;
  EXPECT_EQ(kExitSuccess, Run({"/quiet", "/log=C:\\u.log", "/runapp"}));
  EXPECT_EQ(
      "command line: VespodarUpdate.exe /quiet /log=C:\\u.log /runapp\n"
      "Windows (64-bit registry view): Windows 10 64-bit\n"
      "product directory (Uninstall entry, main registry view): C:\\Games\\Vespodar\\\n"
      "own file check: intact\n"
      "running product: closed\n"
      "staging file: C:\\Games\\Vespodar\\~vdq2.cok.abcdefgh.tmp\n"
      "replaced: C:\\Games\\Vespodar\\vdq2.cok\n"
      "EstimatedSize recorded (KB): 4431\n"
      "detection marker recorded: vdq2.cok version 1, sha256 "
      "c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3c3\n"
      "product started by the desktop shell\n"
      "exit code 0: success\n",
      steps.Log());
}

}  // namespace

}  // namespace vespodar
