#ifndef VESPODAR_DISCOVERY_WINDOWS_VERSION_H_
#define VESPODAR_DISCOVERY_WINDOWS_VERSION_H_

#include <cstdint>
#include <optional>
#include <string>

namespace vespodar {

// Which version record the system gave: the extended one carries the suite
// mask and product type; with only the basic one the edition comes from the
// registry; with neither there is nothing to describe.
enum class VersionRecord { kNone, kBasic, kExtended };

constexpr std::uint32_t kPlatformWin9x = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr std::uint32_t kPlatformNt = 2;     // VER_PLATFORM_WIN32_NT

constexpr std::uint8_t kProductWorkstation = 1;        // VER_NT_WORKSTATION
constexpr std::uint8_t kProductDomainController = 2;   // VER_NT_DOMAIN_CONTROLLER
constexpr std::uint8_t kProductServer = 3;             // VER_NT_SERVER

constexpr std::uint16_t kSuiteEnterprise = 0x0002;
constexpr std::uint16_t kSuiteEmbeddedNt = 0x0040;
constexpr std::uint16_t kSuiteDatacenter = 0x0080;
constexpr std::uint16_t kSuitePersonal = 0x0200;
constexpr std::uint16_t kSuiteBlade = 0x0400;
constexpr std::uint16_t kSuiteStorageServer = 0x2000;
constexpr std::uint16_t kSuiteComputeServer = 0x4000;

constexpr std::uint16_t kArchitectureX86 = 0;      // PROCESSOR_ARCHITECTURE_INTEL
constexpr std::uint16_t kArchitectureItanium = 6;  // PROCESSOR_ARCHITECTURE_IA64
constexpr std::uint16_t kArchitectureX64 = 9;      // PROCESSOR_ARCHITECTURE_AMD64

// What only some releases need to be described, asked of the system only
// where the description depends on it, each at most once per description:
// the ProductName key's open asks for rights that a plain user lacks, and
// "ver" costs a process start.
class WindowsQueries {
 public:
  // HKLM ...\Windows NT\CurrentVersion "ProductName"; nullopt when the key
  // does not open or the value is missing or not a text.
  virtual std::optional<std::string> ProductName() = 0;
  // HKLM ...\Control\ProductOptions "ProductType"; nullopt when the key does
  // not open, the read fails or the value is not REG_SZ.
  virtual std::optional<std::string> ProductOptionsType() = 0;
  // Whether the NT 4 hotfix key Q246009 (Service Pack 6a) opens.
  virtual bool HasHotfixQ246009() = 0;
  // What the command interpreter's "ver" prints; empty without one.
  virtual std::string VerOutput() = 0;

 protected:
  ~WindowsQueries() = default;
};

// What the running system reported about itself, as UTF-8.
struct WindowsFacts {
  VersionRecord record = VersionRecord::kNone;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;  // the whole field; 9x keeps more than the number in its high word
  std::uint32_t platformId = 0;
  std::string servicePack;
  std::uint16_t suiteMask = 0;   // 0 with the basic record
  std::uint8_t productType = 0;  // 0 with the basic record
  std::uint16_t architecture = kArchitectureX86;  // native, not the process's own
  bool tabletPc = false;     // SM_TABLETPC
  bool mediaCenter = false;  // SM_MEDIACENTER
  bool starter = false;      // SM_STARTER
  bool serverR2 = false;     // SM_SERVERR2

  // The rest; none asked when null.
  WindowsQueries* queries = nullptr;
};

// Whether the description of this system can depend on the four system
// metrics (tablet, media center, starter, R2): only the releases numbered 5
// (2000, XP, Server 2003) are told apart by them. The metrics live in user32,
// which the setup otherwise loads only to show something, so they are asked
// only where this is true and stay false elsewhere.
bool NeedsSystemMetrics(const WindowsFacts& facts);

// Fills the three parts of the description from the facts; false when the
// system cannot be described (no version record, or neither the 9x nor the
// NT platform). The outputs are cleared first.
bool GetWindowsVersionParts(const WindowsFacts& facts, std::string& osName,
                            std::string& osVersion, std::string& osServicePack);

// The one-line description, or "unknown". *is64BitWindows is set to whether
// the description contains " 64" when one could be made, else left alone.
std::string DescribeWindows(const WindowsFacts& facts, bool includeVersion,
                            bool* is64BitWindows);

// A console program's redirected output as the description reads it: each
// line (ended by CR LF, LF or a lone CR) followed by CR LF. At least one line
// is taken, so an empty output gives a single CR LF.
std::string JoinConsoleLines(const std::string& output);

}  // namespace vespodar

#endif  // VESPODAR_DISCOVERY_WINDOWS_VERSION_H_
