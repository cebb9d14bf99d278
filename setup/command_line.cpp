#include "setup/command_line.h"


#include "base/text.h"

namespace vespodar {

namespace {

bool EndsWithNoCase(const std::string& text, const char* ending) {
  const std::string tail(ending);
  return text.size() > tail.size() &&
         LowerAscii(text.substr(text.size() - tail.size())) == tail;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension: devices, not files.
bool IsDeviceName(const std::string& fileName) {
  std::string base = LowerAscii(fileName.substr(0, fileName.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
      base == "conout$")
    return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsAcceptableLogPath(const std::string& path) {
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|' || c == '/')
      return false;
  }
  std::string::size_type rest = 0;
  const bool drive = path.size() > 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                     path[1] == ':' && path[2] == '\\';
  if (drive) {
    rest = 3;
  } else {
    // \\server\share\...: a server name, a share name, then the file.
    if (path.compare(0, 2, "\\\\") != 0) return false;
    const std::string::size_type server = path.find('\\', 2);
    // "\\.\" names Windows' devices (pipes, volumes), not a server.
    if (server == std::string::npos || server == 2 || path.compare(2, server - 2, ".") == 0)
      return false;
    const std::string::size_type share = path.find('\\', server + 1);
    if (share == std::string::npos || share == server + 1) return false;
    rest = share + 1;
  }
  if (path.find(':', rest) != std::string::npos) return false;
  if (path.find("\\\\", rest) != std::string::npos) return false;
  const std::string fileName = path.substr(path.rfind('\\') + 1);
  if (fileName.empty() || IsDeviceName(fileName)) return false;
  return EndsWithNoCase(fileName, ".log") || EndsWithNoCase(fileName, ".txt");
}

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
    if (!line.logPath.empty() && !IsAcceptableLogPath(line.logPath)) {
      line.logPath.clear();
      known = false;
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
