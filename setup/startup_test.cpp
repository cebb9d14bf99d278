#include "setup/startup.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

TEST(StartupTest, CyrillicLocalesAreExactlyTheSevenIdentifiers) {
  for (std::uint32_t lcid : {0x0402u, 0x0419u, 0x0422u, 0x0423u, 0x043Fu, 0x0444u, 0x0819u})
    EXPECT_TRUE(IsCyrillicLocale(lcid)) << std::hex << lcid;
  // English, Serbian Cyrillic, and Russian with another sort order or sub
  // language: the whole identifier counts.
  for (std::uint32_t lcid : {0x0409u, 0x0C1Au, 0x0019u, 0x10419u, 0x0000u})
    EXPECT_FALSE(IsCyrillicLocale(lcid)) << std::hex << lcid;
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

}  // namespace

}  // namespace vespodar
