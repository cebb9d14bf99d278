// Fuzzes what the setup makes of the registry's texts on the way to the file
// it writes: the directory part of an UninstallString, the whole discovery
// over a registry holding the fuzzed values, and the paths built from its
// result. The input is split at NUL bytes into the Program Files path, the
// main branch's UninstallString and the 32-bit branch's one.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/fake_registry_test.h"
#include "base/paths.h"
#include "discovery/folders.h"
#include "install/package_writer.h"

using namespace vespodar;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}


// The directory part against its contract: a prefix of the path (inside the
// quotes when it is quoted), ending at the last backslash before the path's
// last character; empty when there is none.
void CheckUninstallDirectory(const std::string& value) {
  const std::string directory = UninstallDirectory(value);
  std::string path = value;
  if (value.size() >= 2 && value[0] == '"') {
    const std::string::size_type close = value.find('"', 1);
    path = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  if (directory.empty()) {
    // No backslash anywhere before the last character.
    if (path.size() >= 2) Check(path.find('\\') >= path.size() - 1);
    return;
  }
  Check(directory.size() < path.size());
  Check(StartsWith(path, directory));
  Check(directory.back() == '\\');
  Check(path.find('\\', directory.size()) >= path.size() - 1);
  // Whatever stood there, the file the setup writes stays in that directory.
  const std::string staging = StagingPath(directory + "vdq2.cok", "abcdefgh");
  Check(staging == directory + "~vdq2.cok.abcdefgh.tmp");
}

// What Windows resolves in a plain path but takes literally behind "\\?\".
bool HasLiteralParts(const std::string& path) {
  const auto endsWith = [&](const char* end) {
    const std::string suffix(end);
    return path.size() >= suffix.size() &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  return path.find('/') != std::string::npos || path.find("\\\\") != std::string::npos ||
         path.find("\\.\\") != std::string::npos || path.find("\\..\\") != std::string::npos ||
         endsWith("\\.") || endsWith("\\..");
}

void CheckExtendedLengthPath(const std::string& path) {
  const std::string extended = ExtendedLengthPath(path);
  if (extended == path) return;
  const bool network = StartsWith(extended, "\\\\?\\UNC\\");
  Check(network || StartsWith(extended, "\\\\?\\"));
  const std::string rest = extended.substr(network ? 8 : 4);
  // Nothing left that Windows would take literally behind the prefix, and
  // resolving once more changes nothing.
  Check(!HasLiteralParts(rest));
  Check(ExtendedLengthPath(network ? "\\\\" + rest : rest) == extended);
  // A path with nothing to resolve only gets the prefix.
  if (!HasLiteralParts(path) && !network) Check(extended == "\\\\?\\" + path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (int i = 0; i < 2; ++i) {
    const std::string::size_type nul = input.find('\0', start);
    if (nul == std::string::npos) break;
    parts.push_back(input.substr(start, nul - start));
    start = nul + 1;
  }
  // The registry's texts end at their first NUL.
  const std::string last = input.substr(start);
  parts.push_back(last.substr(0, last.find('\0')));
  while (parts.size() < 3) parts.push_back(std::string());

  for (const std::string& part : parts) {
    CheckUninstallDirectory(part);
    CheckExtendedLengthPath(part);
    std::string withSlash = part;
    AddTrailingBackslash(withSlash);
    Check(part.empty() ? withSlash.empty() : withSlash.back() == '\\');
    Check(StartsWith(withSlash, part) && withSlash.size() - part.size() <= 1);
  }

  FakeRegistry fake;
  const std::string windows = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  fake.AddText(RegistryRoot::kLocalMachine, windows, "ProgramFilesDir", parts[0]);
  // An empty text stands for a value that is not there at all.
  if (!parts[1].empty())
    fake.AddText(RegistryRoot::kLocalMachine, windows + "Uninstall\\Vespodar", "UninstallString",
                 parts[1]);
  if (!parts[2].empty())
    fake.AddText(RegistryRoot::kLocalMachine,
                 "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vespodar",
                 "UninstallString", parts[2]);
  // Texts alone never make a registry error: discovery runs to its end.
  Folders folders;
  std::uint32_t error = 0;
  Check(DiscoverFolders(fake, windows, "Vespodar", true, folders, &error));
  Check(!fake.KeyOpen());
  std::string programFiles = parts[0];
  AddTrailingBackslash(programFiles);
  Check(folders.canInstall == PassesRightsTest(programFiles));
  Check(!folders.installDir.empty() && folders.installDir.back() == '\\');
  // The first branch with a value decides; a value without a directory part,
  // or a relative one, leaves the default location.
  std::string expected = programFiles + "Vespodar\\";
  const std::string& chosen = !parts[1].empty() ? parts[1] : parts[2];
  if (!chosen.empty() && IsAbsolutePath(UninstallDirectory(chosen)))
    expected = UninstallDirectory(chosen);
  Check(folders.installDir == expected);
  return 0;
}
