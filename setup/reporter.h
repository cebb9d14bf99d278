#ifndef VESPODAR_SETUP_REPORTER_H_
#define VESPODAR_SETUP_REPORTER_H_

// The one place that turns what a step reports into what the user sees and
// the exit code the run ends with. The steps below the flow show nothing:
// they return an outcome (and the Windows error, where there is one); the
// flow hands each failure here.

#include <cstdint>
#include <string>

#include "setup/exit_codes.h"
#include "ui/messages.h"

namespace vespodar {

struct SetupContext;

// Every failure the user is told of.
enum class Failure {
  kRegistryUnreadable,  // a registry value of the wrong type, a key that cannot be written
  kNoRights,            // the rights test failed
  kOwnFileUnreadable,   // the setup cannot read its own file to check it
  kOwnFileDistorted,    // the setup's own file is not intact
  kProductMissing,      // the product's executable is not in its directory
  kPackageNotWritten,   // the package file could not be written or put in place
  kSizeNotRecorded,     // EstimatedSize could not be written
};

// What a failure brings: the catalog text of its box (detail is the part that
// varies: the target path of a write) and the exit code of the run.
struct FailureReport {
  BilingualText text;
  ExitCode exitCode;
};
FailureReport DescribeFailure(Failure failure, const std::string* detail);

// Speaks for the run: its boxes, and the guard's question and language file
// errors. Everything goes through shower, in the language the context says.
class Reporter {
 public:
  Reporter(const SetupContext& context, MessageShower& shower)
      : context_(context), shower_(shower) {}

  // Shows the failure's box; returns the exit code it ends the run with.
  // detail is the varying part of its text (the target of a write).
  ExitCode Report(Failure failure, std::uint32_t windowsError = 0,
                  const std::string* detail = nullptr);
  // A yes/no question. kNotShown is a failure of the run, never a No.
  Answer Ask(const MessageBoxSpec& question);
  // The question box of a catalog text, in the user's language.
  Answer AskBilingualQuestion(const BilingualText& text);
  // Questions are asked unless the run is silent.
  bool MayAsk();
  // The language file error box (the run goes on).
  void ShowLangFileError(const std::string& fileName);

 private:
  const SetupContext& context_;
  MessageShower& shower_;
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_REPORTER_H_
