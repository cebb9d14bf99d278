#include "setup/reporter.h"

#include "setup/setup_context.h"

namespace vespodar {

FailureReport DescribeFailure(Failure failure, const std::string* detail) {
  switch (failure) {
    case Failure::kRegistryUnreadable:
    case Failure::kSizeNotRecorded:
      return {RegistryErrorText(), kExitFailure};
    case Failure::kNoRights:
      return {NoRightsText(), kExitNoRights};
    case Failure::kOwnFileUnreadable:
      return {OwnFileUnreadableText(), kExitOwnFileUnreadable};
    case Failure::kOwnFileDistorted:
      return {OwnFileDistortedText(), kExitOwnFileDistorted};
    case Failure::kProductMissing:
      return {ProductMissingText(), kExitProductMissing};
    case Failure::kPackageNotWritten:
      break;
  }
  return {InstallFailedText(detail ? *detail : std::string()), kExitFailure};
}

ExitCode Reporter::Report(Failure failure, std::uint32_t /*windowsError*/,
                          const std::string* detail) {
  const FailureReport report = DescribeFailure(failure, detail);
  ShowBilingualError(context_, shower_, report.text);
  return report.exitCode;
}

Answer Reporter::Ask(const MessageBoxSpec& question) {
  return AnswerOf(shower_.ShowMessageBox(question));
}

Answer Reporter::AskBilingualQuestion(const BilingualText& text) {
  return Ask(QuestionBox(context_, text));
}

bool Reporter::MayAsk() { return !context_.modestMode; }

void Reporter::ShowLangFileError(const std::string& fileName) {
  ShowBilingualError(context_, shower_, LangFileErrorText(fileName));
}

}  // namespace vespodar
