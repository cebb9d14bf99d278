#include "discovery/windows_version.h"

#include "base/number_text.h"

namespace vespodar {

namespace {

// Positions here are 1-based with 0 for "not found", the way the "ver"
// parsing rules are stated; keeping them so avoids off-by-one translations.
long Find(const std::string& text, const std::string& part) {
  const std::size_t at = text.find(part);
  return at == std::string::npos ? 0 : static_cast<long>(at) + 1;
}

// The q - p characters from position p, clipped to the text.
std::string TextFromUpTo(const std::string& text, long p, long q) {
  if (p < 1) p = 1;
  if (q <= p) return std::string();
  const std::size_t start = static_cast<std::size_t>(p - 1);
  if (start >= text.size()) return std::string();
  return text.substr(start, static_cast<std::size_t>(q - p));
}

std::string Number(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
  return DecimalText(static_cast<int>(major)) + "." + DecimalText(static_cast<int>(minor)) + "." +
         DecimalText(build & 0xFFFF);
}

bool IsBlank(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

// The "ver" output costs a process start; each path below runs it at most
// once, and only the releases that need it run it at all.
std::string VerOutput(const WindowsFacts& facts) {
  return facts.queries ? facts.queries->VerOutput() : std::string();
}

char SecondLetter(const std::string& servicePack) {
  return servicePack.size() >= 2 ? servicePack[1] : '\0';
}

std::string Win9xName(const WindowsFacts& f) {
  const std::uint32_t build = f.build & 0xFFFF;
  const char letter = SecondLetter(f.servicePack);
  if (f.major != 4) return "Unknown 9x";
  if (f.minor == 0 || f.minor == 3) {
    if (build == 1111) return "95 OSR 2.0";
    if (build == 1212 || build == 1213) return "95 OSR 2.1";
    if (build == 1214) return letter == 'C' ? "95 OSR 2.5" : "95 OSR 2.1";
    if (build > 1080) return "95 OSR 2.x";
    if (letter == 'A' || letter == 'W') return "95 OSR 1";
    return "95";
  }
  if (f.minor == 10)
    return (f.build == 2222 || letter == 'A' || letter == 'B') ? "98 SE" : "98";
  if (f.minor == 90) return "Millennium";
  return "Unknown 9x";
}

// The release number printed by "ver", for a system of which the version
// query tells nothing certain. Appends the name part and sets osVersion.
void AppendNumberFallback(const WindowsFacts& f, const std::string& ver, std::string& osName,
                          std::string& osVersion) {
  const long p = Find(ver, "ion") + 4;
  if (f.productType != kProductWorkstation) osName += "Server ";
  osName += TextFromUpTo(ver, p, Find(ver, "."));
  osName += " ";
  osVersion = TextFromUpTo(ver, p, Find(ver, "]"));
}

void AppendNtName(const WindowsFacts& f, std::string& osName, std::string& osVersion) {
  const bool workstation = f.productType == kProductWorkstation;
  auto pick = [workstation](const char* forWorkstation, const char* forServer) {
    return std::string(workstation ? forWorkstation : forServer);
  };
  switch (f.major) {
    case 3:
    case 4:
      osName += "NT ";
      return;
    case 5:
      if (f.minor == 0) {
        osName += "2000 ";
      } else if (f.minor == 1) {
        osName += "XP ";
      } else if (f.minor == 2) {
        if (f.serverR2)
          osName += "Server 2003 R2 ";
        else if (f.suiteMask == kSuiteStorageServer)
          osName += "Storage Server 2003";
        else if (workstation && f.architecture == kArchitectureX64)
          osName += "XP ";
        else
          osName += "Server 2003 ";
      } else {
        osName += "Unknown version ";
      }
      return;
    case 6:
      if (f.minor == 0) {
        osName += pick("Vista ", "Server 2008 ");
      } else if (f.minor == 1) {
        osName += pick("7 ", "Server 2008 R2 ");
      } else if (f.minor == 2) {
        // Without a compatibility manifest every release from 8 on reports
        // 6.2; only the interpreter's own banner tells them apart.
        const std::string text = VerOutput(f);
        struct Release {
          const char* marker;
          const char* workstation;
          const char* server;
        };
        static const Release releases[] = {
            {" 6.2", "8 ", "Server 2012 "},
            {" 6.3", "8.1 ", "Server 2012 R2 "},
            {" 10", "10 ", "Server 10 "},
        };
        for (const Release& release : releases) {
          const long p = Find(text, release.marker);
          if (p != 0) {
            osName += pick(release.workstation, release.server);
            osVersion = TextFromUpTo(text, p, Find(text, "]"));
            return;
          }
        }
        AppendNumberFallback(f, text, osName, osVersion);
      } else if (f.minor == 3) {
        osName += pick("8.1 ", "Server 2012 R2 ");
      }
      return;
    case 10:
      if (f.minor == 0) osName += pick("10 ", "Server 2016 ");
      return;
    default:
      AppendNumberFallback(f, VerOutput(f), osName, osVersion);
      return;
  }
}

std::string ServerEdition52(const WindowsFacts& f) {
  const std::uint16_t suite = f.suiteMask;
  switch (f.architecture) {
    case kArchitectureX86:
      if (suite & kSuiteComputeServer) return "Computer Cluster";
      if (suite & kSuiteDatacenter) return "Datacenter";
      if (suite & kSuiteEnterprise) return "Enterprise";
      if (suite == kSuiteBlade) return "Web";
      return "Standard";
    case kArchitectureItanium:
      if (suite & kSuiteDatacenter) return "Datacenter for Itanium-based Systems";
      if (suite & kSuiteEnterprise) return "Enterprise for Itanium-based Systems";
      return "Standard Itanium-based";
    case kArchitectureX64:
      if (suite & kSuiteDatacenter) return "Datacenter x64";
      if (suite & kSuiteEnterprise) return "Enterprise x64";
      return "Standard x64";
    default:
      return "Unknown on Architecture 0x" + UpperHexText(f.architecture);
  }
}

std::string Edition(const WindowsFacts& f) {
  const std::uint16_t suite = f.suiteMask;
  if (f.productType == kProductWorkstation) {
    if (f.major == 4) return "Workstation";
    if (f.major != 5) return "Unknown Workstation";
    if (f.minor == 2 && f.architecture == kArchitectureX64) return "Professional x64";
    if (f.starter) return "Starter";
    if (f.mediaCenter) return "Media Center";
    if (f.tabletPc) return "Tablet PC";
    if (suite & kSuitePersonal) return "Home";
    if (suite & kSuiteEmbeddedNt) return "Embedded";
    return "Professional";
  }
  if (f.productType != kProductDomainController && f.productType != kProductServer)
    return "Unknown";
  if (f.major == 4) return (suite & kSuiteEnterprise) ? "Server 4.0 Enterprise" : "Server 4.0";
  if (f.major == 5 && f.minor == 0) {
    if (suite & kSuiteDatacenter) return "Datacenter Server";
    if (suite & kSuiteEnterprise) return "Advanced Server";
    return "Server";
  }
  if (f.major == 5 && f.minor == 2) return ServerEdition52(f);
  return f.productType == kProductServer ? "Unknown Server" : "Unknown Domain controller";
}

// Systems that give only the basic record (NT 4 before SP6) keep the edition
// in the registry instead.
std::string EditionFromProductOptions(const WindowsFacts& f) {
  if (!f.queries) return std::string();
  const std::optional<std::string> type = f.queries->ProductOptionsType();
  if (!type) return std::string();
  std::string upper = *type;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (upper == "WINNT") return "Workstation";
  if (upper == "LANMANNT") return "Server";
  if (upper == "SERVERNT") return "Advanced Server";
  return "Unknown";
}

void AppendEdition(const WindowsFacts& f, std::string& osName) {
  if (f.record != VersionRecord::kExtended) {
    osName += EditionFromProductOptions(f);
    return;
  }
  if (f.major != 6) {
    osName += Edition(f);
    return;
  }
  // The marketing name (with edition) is only in the registry from Vista on.
  if (f.queries) {
    const std::optional<std::string> name = f.queries->ProductName();
    if (name) osName = *name;
  }
  if (f.architecture == kArchitectureX64)
    osName += " 64-bit";
  else if (f.architecture == kArchitectureX86)
    osName += " 32-bit";
}

std::string ServicePack(const WindowsFacts& f) {
  // SP6 had to be reissued as SP6a, which left the version record unchanged
  // and only added this hotfix key.
  if (f.major == 4 && f.servicePack == "Service Pack 6" && f.queries &&
      f.queries->HasHotfixQ246009())
    return "Service Pack 6a";
  return f.servicePack;
}

}  // namespace

bool NeedsSystemMetrics(const WindowsFacts& facts) { return facts.major == 5; }

bool GetWindowsVersionParts(const WindowsFacts& facts, std::string& osName,
                            std::string& osVersion, std::string& osServicePack) {
  osName.clear();
  osVersion.clear();
  osServicePack.clear();
  if (facts.record == VersionRecord::kNone) return false;
  if (facts.platformId != kPlatformWin9x && facts.platformId != kPlatformNt) return false;

  osName = "Microsoft Windows ";
  if (facts.platformId == kPlatformWin9x) {
    osName += Win9xName(facts);
    osVersion = Number(facts.major, facts.minor, facts.build);
    osServicePack = facts.servicePack;
    return true;
  }

  AppendNtName(facts, osName, osVersion);
  AppendEdition(facts, osName);
  osServicePack = ServicePack(facts);
  if (osVersion.empty()) osVersion = Number(facts.major, facts.minor, facts.build);
  return true;
}

std::string DescribeWindows(const WindowsFacts& facts, bool includeVersion,
                            bool* is64BitWindows) {
  std::string osName, osVersion, osServicePack;
  if (!GetWindowsVersionParts(facts, osName, osVersion, osServicePack)) return "unknown";

  std::string description = osName;
  const bool hasServicePack = !IsBlank(osServicePack);
  if (includeVersion && !IsBlank(osVersion)) {
    description += " " + osVersion;
    if (hasServicePack) description += " " + osServicePack;
  } else if (hasServicePack) {
    description += " " + osServicePack;
  }
  if (is64BitWindows) *is64BitWindows = description.find(" 64") != std::string::npos;
  return description;
}

std::string JoinConsoleLines(const std::string& output) {
  std::string joined;
  std::size_t i = 0;
  const std::size_t n = output.size();
  do {
    const std::size_t end = output.find_first_of("\r\n", i);
    const std::size_t stop = end == std::string::npos ? n : end;
    joined.append(output, i, stop - i);
    joined += "\r\n";
    i = stop;
    if (i < n && output[i++] == '\r' && i < n && output[i] == '\n') ++i;
  } while (i < n);
  return joined;
}

}  // namespace vespodar
