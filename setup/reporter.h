#ifndef VESPODAR_SETUP_REPORTER_H_
#define VESPODAR_SETUP_REPORTER_H_

// The one place that turns what a step reports into what the user sees, what
// the log says and the exit code the run ends with. The steps below the flow
// show nothing: they return an outcome (and the Windows error, where there is
// one); the flow hands each failure here.

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
  kBaseMismatch,        // a delta's base is not the installed file
  kSizeNotRecorded,     // EstimatedSize could not be written
};

// What a failure brings: the catalog text of its box (detail is the part that
// varies: the target path of a write), the exit code of the run and the few
// words the log names it by.
struct FailureReport {
  BilingualText text;
  ExitCode exitCode;
  const char* logText;
};
FailureReport DescribeFailure(Failure failure, const std::string* detail);

// Where the run speaks: its boxes, whether anybody can see them, its log.
class RunOutput : public MessageShower {
 public:
  // False when the setup's window station is not visible (a service, SYSTEM
  // in session 0): a box there waits for ever.
  virtual bool StationVisible() = 0;
  // Whether a log was asked for: a line that costs work is made only then.
  virtual bool Logging() = 0;
  // Appends one line, with the time; a log that cannot be written is passed
  // over, it never stops the update.
  virtual void WriteLog(const std::string& text) = 0;
  // Windows' own description of an error, in English where it has one.
  virtual std::string WindowsErrorText(std::uint32_t error) = 0;
};

// Speaks for the run: its boxes, its log, and the guard's question and
// language file errors, in the language the context says.
class Reporter {
 public:
  Reporter(const SetupContext& context, RunOutput& output) : context_(context), output_(output) {}

  // Logs the failure and shows its box unless the run is silent; returns the
  // exit code it ends the run with. detail is the varying part of its text
  // (the target of a write).
  ExitCode Report(Failure failure, std::uint32_t windowsError = 0,
                  const std::string* detail = nullptr);
  // A yes/no question; unanswered without a box when the run is silent.
  // kNotShown is a failure of the run, never a No.
  Answer Ask(const MessageBoxSpec& question);
  // The question box of a catalog text, in the user's language.
  Answer AskBilingualQuestion(const BilingualText& text);
  // Questions are asked unless the run is modest or unattended.
  bool MayAsk();
  // The language file error box (the run goes on).
  void ShowLangFileError(const std::string& fileName);
  // The usage box: on /? (information) or an unknown switch (error).
  void ShowUsage(bool asError);

  // One line of the log: text, then detail.
  void Log(const char* text);
  void Log(const char* text, const std::string& detail);
  // "what: error N (Windows' text)".
  void LogError(const char* what, std::uint32_t windowsError);
  bool Logging() { return output_.Logging(); }
  // Logs the exit code and its meaning; returns it.
  ExitCode Finish(ExitCode exitCode);

 private:
  // No box at all: unattended, or nobody can see the window station (asked
  // once, and only when a box is due).
  bool Silent();
  void ShowError(const BilingualText& text);

  const SetupContext& context_;
  RunOutput& output_;
  int stationVisible_ = -1;
};

}  // namespace vespodar

#endif  // VESPODAR_SETUP_REPORTER_H_
