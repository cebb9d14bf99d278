#include "setup/reporter.h"

#include "base/number_text.h"
#include "setup/run_log.h"
#include "setup/setup_context.h"

namespace vespodar {

FailureReport DescribeFailure(Failure failure, const std::string* detail) {
  switch (failure) {
    case Failure::kRegistryUnreadable:
      return {RegistryErrorText(), kExitFailure, "registry error"};
    case Failure::kSizeNotRecorded:
      return {RegistryErrorText(), kExitFailure, "size not recorded"};
    case Failure::kNoRights:
      return {NoRightsText(), kExitNoRights, "no right to change machine-wide settings"};
    case Failure::kOwnFileUnreadable:
      return {OwnFileUnreadableText(), kExitOwnFileUnreadable, "own file check: unreadable"};
    case Failure::kOwnFileDistorted:
      return {OwnFileDistortedText(), kExitOwnFileDistorted, "own file check: not intact"};
    case Failure::kProductMissing:
      return {ProductMissingText(), kExitProductMissing, "product executable missing"};
    case Failure::kBaseMismatch:
      return {InstallFailedText(detail ? *detail : std::string()), kExitPatchTargetNotFound,
              "delta base not installed"};
    case Failure::kPackageNotWritten:
      break;
  }
  return {InstallFailedText(detail ? *detail : std::string()), kExitFailure,
          "package not written"};
}

bool Reporter::Silent() {
  if (context_.commandLine.unattended) return true;
  if (stationVisible_ < 0) stationVisible_ = output_.StationVisible();
  return !stationVisible_;
}

void Reporter::ShowError(const BilingualText& text) {
  if (!Silent()) ShowBilingualError(context_, output_, text);
}

ExitCode Reporter::Report(Failure failure, std::uint32_t windowsError, const std::string* detail) {
  const FailureReport report = DescribeFailure(failure, detail);
  if (windowsError)
    LogError(report.logText, windowsError);
  else
    Log(report.logText);
  ShowError(report.text);
  return report.exitCode;
}

Answer Reporter::Ask(const MessageBoxSpec& question) {
  if (Silent()) {
    Log("question not asked: nobody can answer");
    return Answer::kUnanswered;
  }
  const Answer answer = AnswerOf(output_.ShowMessageBox(question));
  if (answer == Answer::kNotShown) Log("question box could not be shown");
  return answer;
}

Answer Reporter::AskBilingualQuestion(const BilingualText& text) {
  return Ask(QuestionBox(context_, text));
}

bool Reporter::MayAsk() { return !context_.modestMode && !context_.commandLine.unattended; }

void Reporter::ShowLangFileError(const std::string& fileName) {
  Log("language file unusable: ", fileName);
  ShowError(LangFileErrorText(fileName));
}

void Reporter::ShowUsage(bool asError) {
  if (Silent()) return;
  MessageBoxSpec box = ErrorBox(context_, UsageText());
  if (!asError) box.style = kInformationBoxStyle;
  output_.ShowMessageBox(box);
}

void Reporter::Log(const char* text) { Log(text, std::string()); }

void Reporter::Log(const char* text, const std::string& detail) {
  if (output_.Logging()) output_.WriteLog(text + detail);
}

void Reporter::LogError(const char* what, std::uint32_t windowsError) {
  if (!output_.Logging()) return;
  std::string line = DecimalText(windowsError);
  line += " (";
  line += output_.WindowsErrorText(windowsError);
  line += ')';
  output_.WriteLog(what + (": error " + line));
}

ExitCode Reporter::Finish(ExitCode exitCode) {
  if (output_.Logging())
    output_.WriteLog("exit code " + DecimalText(exitCode) + ": " + ExitCodeMeaning(exitCode));
  return exitCode;
}

}  // namespace vespodar
