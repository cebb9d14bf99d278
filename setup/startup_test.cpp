#include "setup/startup.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(StartupTest, CyrillicLocalesAreExactlyTheSevenIdentifiers) {
  for (std::uint32_t lcid : {0x0402u, 0x0419u, 0x0422u, 0x0423u, 0x043Fu, 0x0444u, 0x0819u})
    EXPECT_TRUE(IsCyrillicLocale(lcid)) << std::hex << lcid;
  // English, Serbian Cyrillic, and Russian with another sort order or sub
  // language: the whole identifier counts.
  for (std::uint32_t lcid : {0x0409u, 0x0C1Au, 0x0019u, 0x10419u, 0x0000u})
    EXPECT_FALSE(IsCyrillicLocale(lcid)) << std::hex << lcid;
}

TEST(StartupTest, LowerAsciiLeavesOtherBytes) {
  EXPECT_EQ("modest", LowerAscii("MODEST"));
  EXPECT_EQ("runapp", LowerAscii("RunApp"));
  EXPECT_EQ("ТЕСТ@[`{", LowerAscii("ТЕСТ@[`{"));
}

TEST(StartupTest, SplitsAtBlanksAndControlsKeepingQuotedTextTogether) {
  using V = std::vector<std::string>;
  EXPECT_EQ((V{"C:\\setup.exe"}), SplitCommandLine("C:\\setup.exe"));
  EXPECT_EQ((V{"C:\\My Files\\setup.exe", "MODEST", "runapp"}),
            SplitCommandLine("\"C:\\My Files\\setup.exe\"  MODEST\truna\"pp\""));
  EXPECT_EQ((V{"x", "modest"}), SplitCommandLine("x \"modest\"\r\n"));
  EXPECT_EQ((V{"x", "a b", ""}), SplitCommandLine("x \"a b\" \"\""));
  EXPECT_EQ((V{}), SplitCommandLine("   "));
  EXPECT_EQ((V{"x", "Весподар"}), SplitCommandLine("x Весподар"));
}

TEST(StartupTest, RandomLettersAreLowerCaseAndVary) {
  SeedRandom(12345);
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) {
    const std::string name = RandomLetters(8);
    ASSERT_EQ(8u, name.size());
    for (char c : name) ASSERT_TRUE(c >= 'a' && c <= 'z') << name;
    names.insert(name);
  }
  EXPECT_EQ(100u, names.size());
  // The same seed gives the same names; a zero seed does not get stuck.
  SeedRandom(12345);
  const std::string first = RandomLetters(8);
  SeedRandom(12345);
  EXPECT_EQ(first, RandomLetters(8));
  SeedRandom(0);
  EXPECT_NE(RandomLetters(8), RandomLetters(8));
}

}  // namespace
