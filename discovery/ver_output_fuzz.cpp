// Fuzzes the reading of the console's "ver" output, which only the command
// interpreter decides: for the releases whose name depends on it, and for an
// unknown one, any output gives a description without fault, the version
// part is the system's own number or a piece of that output, the output is
// asked for at most once, and the 64-bit flag says what the description says.
// The line joining runs over the same bytes.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/windows_version.h"

using namespace vespodar;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckJoinedLines(const std::string& output) {
  const std::string joined = JoinConsoleLines(output);
  Check(joined.size() >= 2 && joined.compare(joined.size() - 2, 2, "\r\n") == 0);
  // Every break is CR LF, and apart from the breaks the text is unchanged.
  std::string text, original;
  for (std::size_t i = 0; i < joined.size(); ++i) {
    if (joined[i] == '\r') {
      Check(i + 1 < joined.size() && joined[i + 1] == '\n');
      ++i;
    } else {
      Check(joined[i] != '\n');
      text += joined[i];
    }
  }
  for (char c : output)
    if (c != '\r' && c != '\n') original += c;
  Check(text == original);
  // Joining again changes nothing.
  Check(JoinConsoleLines(joined) == joined);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t control = data[0];
  const std::string ver(reinterpret_cast<const char*>(data + 1), size - 1);
  CheckJoinedLines(ver);

  WindowsFacts facts;
  facts.record = VersionRecord::kExtended;
  facts.platformId = kPlatformNt;
  // 6.2 is what every release from 8 on reports without a manifest; 11 and
  // 7 stand for releases the tables do not know.
  static const std::uint32_t kMajors[] = {6, 11, 7, 6};
  facts.major = kMajors[control & 3];
  facts.minor = (control & 3) == 3 ? 5 : 2;
  facts.build = 9200;
  facts.productType = (control & 4) ? kProductServer : kProductWorkstation;
  facts.architecture = (control & 8) ? kArchitectureX64 : kArchitectureX86;
  struct Queries : WindowsQueries {
    const std::string& ver;
    bool hasName;
    int verCalls = 0;
    Queries(const std::string& output, bool name) : ver(output), hasName(name) {}
    std::optional<std::string> ProductName() override {
      if (!hasName) return std::nullopt;
      return ver;
    }
    std::optional<std::string> ProductOptionsType() override { return std::nullopt; }
    bool HasHotfixQ246009() override { return false; }
    std::string VerOutput() override {
      ++verCalls;
      return JoinConsoleLines(ver);
    }
  } queries(ver, (control & 16) != 0);
  facts.queries = &queries;
  int& verCalls = queries.verCalls;

  std::string osName, osVersion, osServicePack;
  Check(GetWindowsVersionParts(facts, osName, osVersion, osServicePack));
  Check(verCalls <= 1);
  const std::string number = std::to_string(facts.major) + "." + std::to_string(facts.minor) +
                             ".9200";
  Check(osVersion == number || JoinConsoleLines(ver).find(osVersion) != std::string::npos);
  if (!(control & 16)) Check(osName.compare(0, 18, "Microsoft Windows ") == 0);

  bool is64 = false;
  verCalls = 0;
  const std::string description = DescribeWindows(facts, (control & 32) != 0, &is64);
  Check(verCalls <= 1);
  Check(is64 == (description.find(" 64") != std::string::npos));
  return 0;
}
