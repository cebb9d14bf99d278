#include "setup/command_line.h"


#include "base/text.h"

namespace vespodar {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  static const char* const kUnattended[] = {"s", "silent", "verysilent", "quiet", "qn"};
  CommandLine line;
  std::string words[2];
  std::size_t wordCount = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || (argument[0] != '/' && argument[0] != '-')) {
      if (wordCount < 2) words[wordCount] = LowerAscii(argument);
      ++wordCount;
      continue;
    }
    const std::string name = LowerAscii(argument.substr(1));
    bool known = name == "norestart";
    for (const char* unattended : kUnattended)
      if (name == unattended) known = line.unattended = true;
    if (name == "runapp") known = line.runApp = true;
    if (name == "?" || name == "help") known = line.usage = true;
    if (name.compare(0, 4, "log=") == 0 && name.size() > 4) {
      line.logPath = argument.substr(5);
      known = true;
    } else if (name == "log" && i + 1 < arguments.size()) {
      line.logPath = arguments[++i];
      known = true;
    }
    if (!known && line.invalid.empty()) line.invalid = argument;
  }
  line.modest = words[0] == "modest";
  // Unattended, a runapp word anywhere among the first two asks for the
  // start; otherwise only the second after modest, as it always did.
  if (words[line.modest ? 1 : 0] == "runapp" && (line.modest || line.unattended))
    line.runApp = true;
  return line;
}

}  // namespace vespodar
