#include "discovery/windows_version.h"

#include <gtest/gtest.h>

#include <vector>

namespace vespodar {

namespace {

// A source that the description must not consult for the row's system.
const char* const kNotRead = "<not read>";

// What a system reports, written as a row of the table below. Every source
// that is given must be consulted exactly once, and no other.
struct Facts {
  WindowsFacts raw;
  const char* ver = kNotRead;
  const char* productName = kNotRead;     // nullptr: key or value missing
  const char* productOptions = kNotRead;  // nullptr: key or value missing
  int hotfix = -1;                        // -1 not read, 0 absent, 1 present

  Facts& Sp(const char* text) { raw.servicePack = text; return *this; }
  Facts& Suite(std::uint16_t mask) { raw.suiteMask = mask; return *this; }
  Facts& Arch(std::uint16_t architecture) { raw.architecture = architecture; return *this; }
  Facts& Tablet() { raw.tabletPc = true; return *this; }
  Facts& Media() { raw.mediaCenter = true; return *this; }
  Facts& Starter() { raw.starter = true; return *this; }
  Facts& R2() { raw.serverR2 = true; return *this; }
  Facts& Ver(const char* text) { ver = text; return *this; }
  Facts& Name(const char* text) { productName = text; return *this; }
  Facts& Options(const char* text) { productOptions = text; return *this; }
  Facts& Hotfix(bool present) { hotfix = present ? 1 : 0; return *this; }
  Facts& Basic() {
    raw.record = VersionRecord::kBasic;
    raw.suiteMask = 0;
    raw.productType = 0;
    return *this;
  }
};

Facts Win9x(std::uint32_t major, std::uint32_t minor, std::uint32_t build, const char* sp = "") {
  Facts f;
  f.raw.record = VersionRecord::kBasic;
  f.raw.platformId = kPlatformWin9x;
  f.raw.major = major;
  f.raw.minor = minor;
  f.raw.build = build;
  f.raw.servicePack = sp;
  return f;
}

Facts Nt(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint8_t type) {
  Facts f;
  f.raw.record = VersionRecord::kExtended;
  f.raw.platformId = kPlatformNt;
  f.raw.major = major;
  f.raw.minor = minor;
  f.raw.build = build;
  f.raw.productType = type;
  return f;
}

const std::uint8_t kWs = kProductWorkstation;
const std::uint8_t kDc = kProductDomainController;
const std::uint8_t kSrv = kProductServer;

struct Calls {
  int ver = 0, name = 0, options = 0, hotfix = 0;
};

std::optional<std::string> Optional(const char* text) {
  if (!text) return std::nullopt;
  return std::string(text);
}

// Answers the queries from the case and counts them.
class CountingQueries : public WindowsQueries {
 public:
  CountingQueries(const Facts& f, Calls& calls) : f_(f), calls_(calls) {}
  std::optional<std::string> ProductName() override {
    ++calls_.name;
    return Optional(f_.productName);
  }
  std::optional<std::string> ProductOptionsType() override {
    ++calls_.options;
    return Optional(f_.productOptions);
  }
  bool HasHotfixQ246009() override {
    ++calls_.hotfix;
    return f_.hotfix == 1;
  }
  std::string VerOutput() override {
    ++calls_.ver;
    return std::string(f_.ver ? f_.ver : "");
  }

 private:
  Facts f_;
  Calls& calls_;
};

// The facts of a case, with its queries; lives as long as the facts are used.
struct Made {
  Made(const Facts& f, Calls& calls) : queries(f, calls), facts(f.raw) {
    facts.queries = &queries;
  }
  CountingQueries queries;
  WindowsFacts facts;
};

void ExpectSourcesUsed(const Facts& f, const Calls& calls) {
  EXPECT_EQ(calls.ver, f.ver == kNotRead ? 0 : 1) << "ver";
  EXPECT_EQ(calls.name, f.productName == kNotRead ? 0 : 1) << "ProductName";
  EXPECT_EQ(calls.options, f.productOptions == kNotRead ? 0 : 1) << "ProductOptions";
  EXPECT_EQ(calls.hotfix, f.hotfix == -1 ? 0 : 1) << "Q246009";
}

struct PartsCase {
  const char* label;
  Facts facts;
  const char* name;
  const char* version;
  const char* servicePack;
};

const char kVer8[] = "\r\nMicrosoft Windows [Version 6.2.9200]\r\n";
const char kVer81[] = "\r\nMicrosoft Windows [Version 6.3.9600]\r\n";
const char kVer10[] = "\r\nMicrosoft Windows [Version 10.0.19045.3803]\r\n";
const char kVer11[] = "\r\nMicrosoft Windows [Version 11.0.22000]\r\n";
const char kWineVer8[] = "\r\nMicrosoft Windows 6.2.9200\r\n";

TEST(GetWindowsVersionParts, DescribesEveryRowOfTheVersionTables) {
  const std::vector<PartsCase> cases = {
      // The 9x family: the build's high word is not part of the number.
      {"95", Win9x(4, 0, 950), "Microsoft Windows 95", "4.0.950", ""},
      {"95 high word", Win9x(4, 0, 0x040003B6), "Microsoft Windows 95", "4.0.950", ""},
      {"95 OSR 1 A", Win9x(4, 0, 950, " A "), "Microsoft Windows 95 OSR 1", "4.0.950", " A "},
      {"95 OSR 1 W at 1080", Win9x(4, 0, 1080, " W"), "Microsoft Windows 95 OSR 1", "4.0.1080", " W"},
      {"95 OSR 2.0", Win9x(4, 0, 1111, " B"), "Microsoft Windows 95 OSR 2.0", "4.0.1111", " B"},
      {"95 OSR 2.1 1212", Win9x(4, 0, 1212), "Microsoft Windows 95 OSR 2.1", "4.0.1212", ""},
      {"95 OSR 2.1 minor 3", Win9x(4, 3, 1213), "Microsoft Windows 95 OSR 2.1", "4.3.1213", ""},
      {"95 OSR 2.5", Win9x(4, 0, 1214, " C"), "Microsoft Windows 95 OSR 2.5", "4.0.1214", " C"},
      {"95 OSR 2.1 1214", Win9x(4, 0, 1214, " B"), "Microsoft Windows 95 OSR 2.1", "4.0.1214", " B"},
      {"95 OSR 2.x", Win9x(4, 0, 1081, " A"), "Microsoft Windows 95 OSR 2.x", "4.0.1081", " A"},
      {"98", Win9x(4, 10, 1998), "Microsoft Windows 98", "4.10.1998", ""},
      {"98 SE by build", Win9x(4, 10, 2222), "Microsoft Windows 98 SE", "4.10.2222", ""},
      {"98 SE needs the whole field", Win9x(4, 10, 0x040A08AE), "Microsoft Windows 98",
       "4.10.2222", ""},
      {"98 SE by A", Win9x(4, 10, 1998, " A "), "Microsoft Windows 98 SE", "4.10.1998", " A "},
      {"98 SE by B", Win9x(4, 10, 1998, " B"), "Microsoft Windows 98 SE", "4.10.1998", " B"},
      {"Me", Win9x(4, 90, 3000), "Microsoft Windows Millennium", "4.90.3000", ""},
      {"9x minor 20", Win9x(4, 20, 1), "Microsoft Windows Unknown 9x", "4.20.1", ""},
      {"9x major 5", Win9x(5, 0, 1111), "Microsoft Windows Unknown 9x", "5.0.1111", ""},

      // NT 3 and 4, with the Service Pack 6a hotfix.
      {"NT 3.51", Nt(3, 51, 1057, kWs), "Microsoft Windows NT Unknown Workstation", "3.51.1057",
       ""},
      {"NT 4 SP6a", Nt(4, 0, 1381, kWs).Sp("Service Pack 6").Hotfix(true),
       "Microsoft Windows NT Workstation", "4.0.1381", "Service Pack 6a"},
      {"NT 4 SP6", Nt(4, 0, 1381, kWs).Sp("Service Pack 6").Hotfix(false),
       "Microsoft Windows NT Workstation", "4.0.1381", "Service Pack 6"},
      {"NT 4 SP6 other text", Nt(4, 0, 1381, kWs).Sp("Service Pack 6, RC 1.2"),
       "Microsoft Windows NT Workstation", "4.0.1381", "Service Pack 6, RC 1.2"},
      {"NT 4 Enterprise", Nt(4, 0, 1381, kSrv).Suite(kSuiteEnterprise).Sp("Service Pack 5"),
       "Microsoft Windows NT Server 4.0 Enterprise", "4.0.1381", "Service Pack 5"},
      {"NT 4 DC", Nt(4, 0, 1381, kDc), "Microsoft Windows NT Server 4.0", "4.0.1381", ""},
      {"not NT 4: no 6a", Nt(5, 0, 2195, kWs).Sp("Service Pack 6"),
       "Microsoft Windows 2000 Professional", "5.0.2195", "Service Pack 6"},

      // Only the basic record: the edition comes from ProductOptions.
      {"basic winnt", Nt(4, 0, 1381, kWs).Basic().Options("winnt"),
       "Microsoft Windows NT Workstation", "4.0.1381", ""},
      {"basic LanmanNT", Nt(4, 0, 1381, kWs).Basic().Options("LanmanNT"),
       "Microsoft Windows NT Server", "4.0.1381", ""},
      {"basic ServerNT", Nt(4, 0, 1381, kWs).Basic().Options("ServerNT"),
       "Microsoft Windows NT Advanced Server", "4.0.1381", ""},
      {"basic other", Nt(4, 0, 1381, kWs).Basic().Options("WINNT "),
       "Microsoft Windows NT Unknown", "4.0.1381", ""},
      {"basic missing", Nt(4, 0, 1381, kWs).Basic().Options(nullptr),
       "Microsoft Windows NT ", "4.0.1381", ""},
      {"basic SP6a", Nt(4, 0, 1381, kWs).Basic().Options("WinNT").Sp("Service Pack 6").Hotfix(true),
       "Microsoft Windows NT Workstation", "4.0.1381", "Service Pack 6a"},
      // Product type 0 is no workstation; ProductName is not read.
      {"basic 6.1", Nt(6, 1, 7601, kWs).Basic().Options("WinNT"),
       "Microsoft Windows Server 2008 R2 Workstation", "6.1.7601", ""},

      // 2000 and XP.
      {"2000 Pro", Nt(5, 0, 2195, kWs), "Microsoft Windows 2000 Professional", "5.0.2195", ""},
      {"2000 Datacenter", Nt(5, 0, 2195, kSrv).Suite(kSuiteDatacenter | kSuiteEnterprise),
       "Microsoft Windows 2000 Datacenter Server", "5.0.2195", ""},
      {"2000 Advanced", Nt(5, 0, 2195, kDc).Suite(kSuiteEnterprise),
       "Microsoft Windows 2000 Advanced Server", "5.0.2195", ""},
      {"2000 Server", Nt(5, 0, 2195, kSrv), "Microsoft Windows 2000 Server", "5.0.2195", ""},
      {"XP Pro SP3", Nt(5, 1, 2600, kWs).Sp("Service Pack 3"),
       "Microsoft Windows XP Professional", "5.1.2600", "Service Pack 3"},
      {"XP Starter first", Nt(5, 1, 2600, kWs).Starter().Media().Tablet().Suite(kSuitePersonal),
       "Microsoft Windows XP Starter", "5.1.2600", ""},
      {"XP MCE before Home", Nt(5, 1, 2600, kWs).Media().Tablet().Suite(kSuitePersonal),
       "Microsoft Windows XP Media Center", "5.1.2600", ""},
      {"XP Tablet", Nt(5, 1, 2600, kWs).Tablet().Suite(kSuitePersonal),
       "Microsoft Windows XP Tablet PC", "5.1.2600", ""},
      {"XP Home", Nt(5, 1, 2600, kWs).Suite(kSuitePersonal | kSuiteEmbeddedNt),
       "Microsoft Windows XP Home", "5.1.2600", ""},
      {"XP Embedded", Nt(5, 1, 2600, kWs).Suite(kSuiteEmbeddedNt),
       "Microsoft Windows XP Embedded", "5.1.2600", ""},
      {"5.1 server", Nt(5, 1, 2600, kSrv), "Microsoft Windows XP Unknown Server", "5.1.2600", ""},
      {"5.1 DC", Nt(5, 1, 2600, kDc), "Microsoft Windows XP Unknown Domain controller",
       "5.1.2600", ""},
      {"product type 4", Nt(5, 1, 2600, 4), "Microsoft Windows XP Unknown", "5.1.2600", ""},
      {"5.3", Nt(5, 3, 1, kSrv), "Microsoft Windows Unknown version Unknown Server", "5.3.1", ""},

      // 5.2: Server 2003 and its kin, and XP x64.
      {"XP x64", Nt(5, 2, 3790, kWs).Arch(kArchitectureX64).Sp("Service Pack 2"),
       "Microsoft Windows XP Professional x64", "5.2.3790", "Service Pack 2"},
      {"R2 wins over storage", Nt(5, 2, 3790, kSrv).R2().Suite(kSuiteStorageServer),
       "Microsoft Windows Server 2003 R2 Standard", "5.2.3790", ""},
      {"Storage Server", Nt(5, 2, 3790, kSrv).Suite(kSuiteStorageServer),
       "Microsoft Windows Storage Server 2003Standard", "5.2.3790", ""},
      {"storage bit alone is not storage",
       Nt(5, 2, 3790, kSrv).Suite(kSuiteStorageServer | kSuiteEnterprise),
       "Microsoft Windows Server 2003 Enterprise", "5.2.3790", ""},
      {"5.2 workstation x86", Nt(5, 2, 3790, kWs),
       "Microsoft Windows Server 2003 Professional", "5.2.3790", ""},
      {"Cluster", Nt(5, 2, 3790, kSrv).Suite(kSuiteComputeServer | kSuiteDatacenter),
       "Microsoft Windows Server 2003 Computer Cluster", "5.2.3790", ""},
      {"Datacenter", Nt(5, 2, 3790, kSrv).Suite(kSuiteDatacenter | kSuiteEnterprise),
       "Microsoft Windows Server 2003 Datacenter", "5.2.3790", ""},
      {"Enterprise", Nt(5, 2, 3790, kDc).Suite(kSuiteEnterprise),
       "Microsoft Windows Server 2003 Enterprise", "5.2.3790", ""},
      {"Web", Nt(5, 2, 3790, kSrv).Suite(kSuiteBlade),
       "Microsoft Windows Server 2003 Web", "5.2.3790", ""},
      {"Web needs the exact mask", Nt(5, 2, 3790, kSrv).Suite(kSuiteBlade | 0x0010),
       "Microsoft Windows Server 2003 Standard", "5.2.3790", ""},
      {"Itanium Datacenter", Nt(5, 2, 3790, kSrv).Arch(6).Suite(kSuiteDatacenter),
       "Microsoft Windows Server 2003 Datacenter for Itanium-based Systems", "5.2.3790", ""},
      {"Itanium Enterprise", Nt(5, 2, 3790, kSrv).Arch(6).Suite(kSuiteEnterprise),
       "Microsoft Windows Server 2003 Enterprise for Itanium-based Systems", "5.2.3790", ""},
      {"Itanium Standard", Nt(5, 2, 3790, kSrv).Arch(6).Suite(kSuiteComputeServer),
       "Microsoft Windows Server 2003 Standard Itanium-based", "5.2.3790", ""},
      {"x64 Datacenter", Nt(5, 2, 3790, kSrv).Arch(9).Suite(kSuiteDatacenter),
       "Microsoft Windows Server 2003 Datacenter x64", "5.2.3790", ""},
      {"x64 Enterprise", Nt(5, 2, 3790, kSrv).Arch(9).Suite(kSuiteEnterprise),
       "Microsoft Windows Server 2003 Enterprise x64", "5.2.3790", ""},
      {"x64 Standard", Nt(5, 2, 3790, kSrv).Arch(9).R2(),
       "Microsoft Windows Server 2003 R2 Standard x64", "5.2.3790", ""},
      {"ARM64", Nt(5, 2, 3790, kSrv).Arch(12),
       "Microsoft Windows Server 2003 Unknown on Architecture 0xC", "5.2.3790", ""},
      {"unknown architecture", Nt(5, 2, 3790, kDc).Arch(0xFFFF),
       "Microsoft Windows Server 2003 Unknown on Architecture 0xFFFF", "5.2.3790", ""},

      // 6.x: ProductName replaces the name; then the bitness.
      {"Vista no name", Nt(6, 0, 6002, kWs).Name(nullptr).Sp("Service Pack 2"),
       "Microsoft Windows Vista  32-bit", "6.0.6002", "Service Pack 2"},
      {"2008 no name", Nt(6, 0, 6002, kSrv).Name(nullptr).Arch(9),
       "Microsoft Windows Server 2008  64-bit", "6.0.6002", ""},
      {"7 named", Nt(6, 1, 7601, kWs).Name("Windows 7 Professional").Arch(9).Sp("Service Pack 1"),
       "Windows 7 Professional 64-bit", "6.1.7601", "Service Pack 1"},
      {"empty name", Nt(6, 1, 7601, kWs).Name(""), " 32-bit", "6.1.7601", ""},
      {"2008 R2 Itanium", Nt(6, 1, 7601, kSrv).Name(nullptr).Arch(6),
       "Microsoft Windows Server 2008 R2 ", "6.1.7601", ""},
      {"8", Nt(6, 2, 9200, kWs).Ver(kVer8).Name(nullptr),
       "Microsoft Windows 8  32-bit", " 6.2.9200", ""},
      {"2012", Nt(6, 2, 9200, kDc).Ver(kVer8).Name(nullptr).Arch(9),
       "Microsoft Windows Server 2012  64-bit", " 6.2.9200", ""},
      {"8.1", Nt(6, 2, 9200, kWs).Ver(kVer81).Name(nullptr).Arch(9),
       "Microsoft Windows 8.1  64-bit", " 6.3.9600", ""},
      {"2012 R2", Nt(6, 2, 9200, kSrv).Ver(kVer81).Name(nullptr),
       "Microsoft Windows Server 2012 R2  32-bit", " 6.3.9600", ""},
      {"10 admin", Nt(6, 2, 9200, kWs).Ver(kVer10).Name("Windows 10 Pro").Arch(9),
       "Windows 10 Pro 64-bit", " 10.0.19045.3803", ""},
      {"10 no rights", Nt(6, 2, 9200, kWs).Ver(kVer10).Name(nullptr).Arch(9),
       "Microsoft Windows 10  64-bit", " 10.0.19045.3803", ""},
      {"Server 10", Nt(6, 2, 9200, kSrv).Ver(kVer10).Name(nullptr).Arch(9),
       "Microsoft Windows Server 10  64-bit", " 10.0.19045.3803", ""},
      // Wine's banner has no "]": the number comes from the record.
      {"8 on Wine", Nt(6, 2, 9200, kWs).Ver(kWineVer8).Name(nullptr),
       "Microsoft Windows 8  32-bit", "6.2.9200", ""},
      {"6.2 fallback", Nt(6, 2, 9200, kWs).Ver(kVer11).Name(nullptr),
       "Microsoft Windows 11  32-bit", "11.0.22000", ""},
      {"6.2 no ComSpec", Nt(6, 2, 9200, kWs).Ver("").Name(nullptr),
       "Microsoft Windows   32-bit", "6.2.9200", ""},
      {"6.2 server no ComSpec", Nt(6, 2, 9200, kSrv).Ver("").Name(nullptr),
       "Microsoft Windows Server   32-bit", "6.2.9200", ""},
      {"6.3", Nt(6, 3, 9600, kWs).Name(nullptr).Arch(9),
       "Microsoft Windows 8.1  64-bit", "6.3.9600", ""},
      {"2012 R2 as 6.3", Nt(6, 3, 9600, kSrv).Name(nullptr),
       "Microsoft Windows Server 2012 R2  32-bit", "6.3.9600", ""},
      {"6.4", Nt(6, 4, 9841, kWs).Name(nullptr).Arch(5), "Microsoft Windows ", "6.4.9841", ""},

      // 10 as the record reports it, and the fallback for other majors.
      {"10.0", Nt(10, 0, 19045, kWs).Arch(9), "Microsoft Windows 10 Unknown Workstation",
       "10.0.19045", ""},
      {"2016", Nt(10, 0, 14393, kSrv), "Microsoft Windows Server 2016 Unknown Server",
       "10.0.14393", ""},
      {"10.1", Nt(10, 1, 1, kDc), "Microsoft Windows Unknown Domain controller", "10.1.1", ""},
      {"major 11 server", Nt(11, 0, 22000, kSrv).Ver(kVer11),
       "Microsoft Windows Server 11 Unknown Server", "11.0.22000", ""},
      // No "ion": the text starts at the fourth character.
      {"fallback without ion", Nt(7, 1, 100, kWs).Ver(kWineVer8),
       "Microsoft Windows icrosoft Windows 6 Unknown Workstation", "7.1.100", ""},
      {"fallback no ComSpec", Nt(2, 0, 1, kWs).Ver(""),
       "Microsoft Windows  Unknown Workstation", "2.0.1", ""},
  };
  for (const PartsCase& c : cases) {
    SCOPED_TRACE(c.label);
    Calls calls;
    std::string name = "stale", version = "stale", servicePack = "stale";
    EXPECT_TRUE(GetWindowsVersionParts(Made(c.facts, calls).facts, name, version, servicePack));
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(servicePack, c.servicePack);
    ExpectSourcesUsed(c.facts, calls);

    // The system metrics are asked only where they can tell editions apart;
    // everywhere else the description is the same whatever they would say.
    const WindowsFacts& raw = c.facts.raw;
    if (raw.tabletPc || raw.mediaCenter || raw.starter || raw.serverR2)
      EXPECT_TRUE(NeedsSystemMetrics(raw));
    if (!NeedsSystemMetrics(raw)) {
      Facts metrics = c.facts;
      metrics.Tablet().Media().Starter().R2();
      Calls more;
      EXPECT_TRUE(GetWindowsVersionParts(Made(metrics, more).facts, name, version, servicePack));
      EXPECT_EQ(name + "|" + version + "|" + servicePack,
                std::string(c.name) + "|" + c.version + "|" + c.servicePack);
    }
  }
}

TEST(GetWindowsVersionParts, FailsAndClearsWhenNothingCanBeDescribed) {
  Facts noRecord = Nt(6, 1, 7601, kWs);
  noRecord.raw.record = VersionRecord::kNone;
  Facts otherPlatform = Nt(6, 1, 7601, kWs);
  otherPlatform.raw.platformId = 3;  // Windows CE
  Facts win32s = Win9x(3, 10, 1);
  win32s.raw.platformId = 0;
  for (const Facts& f : {noRecord, otherPlatform, win32s}) {
    Calls calls;
    std::string name = "stale", version = "stale", servicePack = "stale";
    EXPECT_FALSE(GetWindowsVersionParts(Made(f, calls).facts, name, version, servicePack));
    EXPECT_EQ(name + version + servicePack, "");
    ExpectSourcesUsed(Facts(), calls);
  }
}

struct DescriptionCase {
  const char* label;
  Facts facts;
  bool includeVersion;
  const char* description;
  bool is64;
};

TEST(DescribeWindows, JoinsThePartsAndSetsThe64BitFlag) {
  const Facts win7 = Nt(6, 1, 7601, kWs).Name("Windows 7 Ultimate").Sp("Service Pack 1");
  const Facts win10 = Nt(6, 2, 9200, kWs).Ver(kVer10).Name("Windows 10 Pro").Arch(9);
  const std::vector<DescriptionCase> cases = {
      {"7 SP1", win7, false, "Windows 7 Ultimate 32-bit Service Pack 1", false},
      {"7 SP1 with version", win7, true, "Windows 7 Ultimate 32-bit 6.1.7601 Service Pack 1",
       false},
      {"10 admin", win10, false, "Windows 10 Pro 64-bit", true},
      // The number from "ver" keeps its leading blank.
      {"10 admin with version", win10, true, "Windows 10 Pro 64-bit  10.0.19045.3803", true},
      {"10 no rights", Nt(6, 2, 9200, kWs).Ver(kVer10).Name(nullptr).Arch(9), false,
       "Microsoft Windows 10  64-bit", true},
      {"XP x64 says x64, not 64",
       Nt(5, 2, 3790, kWs).Arch(kArchitectureX64).Sp("Service Pack 2"), false,
       "Microsoft Windows XP Professional x64 Service Pack 2", false},
      {"blank service pack is none", Win9x(4, 0, 950, " \t "), false, "Microsoft Windows 95",
       false},
      {"blank service pack with version", Win9x(4, 0, 950, " "), true,
       "Microsoft Windows 95 4.0.950", false},
      {"service pack kept untrimmed", Win9x(4, 0, 950, " A "), true,
       "Microsoft Windows 95 OSR 1 4.0.950  A ", false},
      // A version of blanks alone counts as none.
      {"blank version", Nt(7, 0, 1, kWs).Ver("ion    ]").Sp("SP"), true,
       "Microsoft Windows  Unknown Workstation SP", false},
      {"10.0 record", Nt(10, 0, 19045, kWs).Arch(9), false,
       "Microsoft Windows 10 Unknown Workstation", false},
  };
  for (const DescriptionCase& c : cases) {
    SCOPED_TRACE(c.label);
    Calls calls;
    bool is64 = !c.is64;
    EXPECT_EQ(DescribeWindows(Made(c.facts, calls).facts, c.includeVersion, &is64), c.description);
    EXPECT_EQ(is64, c.is64);
    ExpectSourcesUsed(c.facts, calls);
  }
}

TEST(DescribeWindows, UnknownLeavesTheFlagAlone) {
  Facts f = Nt(6, 1, 7601, kWs);
  f.raw.record = VersionRecord::kNone;
  for (bool before : {false, true}) {
    Calls calls;
    bool is64 = before;
    EXPECT_EQ(DescribeWindows(Made(f, calls).facts, true, &is64), "unknown");
    EXPECT_EQ(is64, before);
  }
  Calls calls;
  EXPECT_EQ(DescribeWindows(Made(Nt(10, 0, 1, kWs), calls).facts, false, nullptr),
            "Microsoft Windows 10 Unknown Workstation");
}

TEST(JoinConsoleLines, EndsEveryLineWithCrLf) {
  const struct {
    const char* output;
    const char* joined;
  } cases[] = {
      {"", "\r\n"},
      {"\r\nMicrosoft Windows 6.1.7601\r\n", "\r\nMicrosoft Windows 6.1.7601\r\n"},
      {"no end", "no end\r\n"},
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\rb\r\n\r\nc", "a\r\nb\r\n\r\nc\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"\n\r", "\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(JoinConsoleLines(c.output), c.joined);
  }
}

}  // namespace

}  // namespace vespodar
